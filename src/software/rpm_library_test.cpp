#include "software/rpm_library.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <vector>

#include "software/shared_library.h"
#include "software/test_support.h"

namespace {

// Holds a fake library open for the test, so the state it logs survives the
// scanner's own dlopen and dlclose.
class FakeLibrary {
 public:
  explicit FakeLibrary(const char* path) {
    EXPECT_TRUE(library_.Open(path)) << path;
    library_.Find<void (*)()>("fake_rpm_reset")();
  }
  std::string Log() const { return library_.Find<const char* (*)()>("fake_rpm_log")(); }
  int HeaderRefs() const { return library_.Find<int (*)()>("fake_rpm_header_refs")(); }

 private:
  SharedLibrary library_;
};

std::vector<PackageRecord> Read(const std::vector<std::string>& paths, size_t* count = nullptr) {
  std::vector<PackageRecord> records;
  const size_t n = ReadRpmPackages(paths, [&](const PackageRecord& r) { records.push_back(r); });
  if (count) *count = n;
  EXPECT_EQ(n, records.size());
  return records;
}

class RpmLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "UTC", 1);
    tzset();
  }
};

TEST_F(RpmLibrary, EveryFunctionPresentUsesTransactionSetWithGetEntry) {
  FakeLibrary fake(FAKE_RPM_ALL_PATH);
  const auto records = Read({FAKE_RPM_ALL_PATH});
  ASSERT_EQ(records.size(), 3u);

  EXPECT_EQ(records[0].productName, "alpha");
  EXPECT_EQ(records[0].versionString, "1.0");
  EXPECT_EQ(records[0].publisher, "Acme & Sons <dev>");
  EXPECT_EQ(records[0].installSource, "alpha-1.0-1.src.rpm");
  EXPECT_EQ(records[0].helpLink, "http://example.com/?a=\"1\"");
  EXPECT_EQ(records[0].installLocation, "System/Base");  // first of the array
  EXPECT_EQ(records[0].userName, "Pat");
  EXPECT_EQ(records[0].installDate, "14.11.2023 22:13:20");
  EXPECT_EQ(records[1].productName, "beta");
  EXPECT_EQ(records[1].publisher + records[1].installDate + records[1].installLocation, "");
  // Through headerGetEntry an install time of 0 is still a time.
  EXPECT_EQ(records[2].installDate, "01.01.1970 00:00:00");

  const std::string log = fake.Log();
  EXPECT_EQ(log.find("BAD"), std::string::npos) << log;
  EXPECT_EQ(log.rfind("config tsCreate tsInit next link getEntry:1000 getEntry:1001 "
                      "getEntry:1011 getEntry:1044 getEntry:1020 getEntry:1016 "
                      "getEntry:1015 getEntry:1008 free next",
                      0),
            0u)
      << log;
  EXPECT_EQ(log.find("dbOpen"), std::string::npos);
  EXPECT_EQ(log.find("get:"), std::string::npos);
  EXPECT_EQ(log.find("tdNew"), std::string::npos);
  EXPECT_NE(log.find("next freeIter tsFree "), std::string::npos) << log;
  EXPECT_EQ(fake.HeaderRefs(), 0);
}

TEST_F(RpmLibrary, TagContainersWhenGetEntryIsMissing) {
  FakeLibrary fake(FAKE_RPM_TDGET_PATH);
  const auto records = Read({FAKE_RPM_TDGET_PATH});
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].installDate, "14.11.2023 22:13:20");
  EXPECT_EQ(records[0].installLocation, "System/Base");
  EXPECT_EQ(records[1].installDate, "");
  EXPECT_EQ(records[1].userName, "");
  // A zero from rpmtdGetNumber cannot be told from a missing time.
  EXPECT_EQ(records[2].installDate, "");

  const std::string log = fake.Log();
  EXPECT_EQ(log.find("BAD"), std::string::npos) << log;
  EXPECT_NE(log.find("link get:1000 get:1001 get:1011 get:1044 get:1008 get:1020 get:1016 "
                     "get:1015 free"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("next tdFree tdFree tdFree tdFree tdFree tdFree tdFree tdFree freeIter tsFree "),
            std::string::npos)
      << log;
  EXPECT_EQ(fake.HeaderRefs(), 0);
}

TEST_F(RpmLibrary, DatabaseInterfaceReleasesEveryValue) {
  FakeLibrary fake(FAKE_RPM_DB_PATH);
  const auto records = Read({FAKE_RPM_DB_PATH});
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].publisher, "Acme & Sons <dev>");

  const std::string log = fake.Log();
  EXPECT_EQ(log.find("BAD"), std::string::npos) << log;
  EXPECT_EQ(log.rfind("config dbOpen dbInit next getEntry:1000", 0), 0u) << log;
  // The first package's values released in tag order 1000 1001 1011 1044
  // 1020 1008 1016 1015, each with the type it came with.
  EXPECT_NE(log.find("getEntry:1008 freeTag:6 freeTag:6 freeTag:6 freeTag:6 freeTag:6 "
                     "freeTag:4 freeTag:8 freeTag:6 next"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("next freeIter dbClose "), std::string::npos) << log;
  EXPECT_EQ(log.find("link"), std::string::npos);
}

TEST_F(RpmLibrary, UnusableOrEmptyLibrariesYieldNothing) {
  for (const char* path : {FAKE_RPM_TOO_FEW_PATH, FAKE_RPM_EMPTY_PATH, FAKE_RPM_DB_CLOSED_PATH}) {
    FakeLibrary fake(path);
    EXPECT_TRUE(Read({path}).empty()) << path;
    EXPECT_EQ(fake.Log().find("BAD"), std::string::npos) << fake.Log();
  }
  FakeLibrary tooFew(FAKE_RPM_TOO_FEW_PATH);
  Read({FAKE_RPM_TOO_FEW_PATH});
  EXPECT_EQ(tooFew.Log(), "config ");

  FakeLibrary closed(FAKE_RPM_DB_CLOSED_PATH);
  Read({FAKE_RPM_DB_CLOSED_PATH});
  EXPECT_EQ(closed.Log(), "config dbOpen ");
}

TEST_F(RpmLibrary, FirstPathThatLoadsIsTheOnlyOneUsed) {
  software_test::TempDir dir;
  software_test::WriteFile(dir / "not-a-library.so", "text, not ELF");
  FakeLibrary empty(FAKE_RPM_EMPTY_PATH);
  FakeLibrary db(FAKE_RPM_DB_PATH);
  // The empty library loads, so the second is never tried.
  EXPECT_TRUE(Read({(dir / "missing.so").string(), (dir / "not-a-library.so").string(),
                    FAKE_RPM_EMPTY_PATH, FAKE_RPM_DB_PATH})
                  .empty());
  EXPECT_EQ(db.Log(), "");
  EXPECT_EQ(Read({(dir / "missing.so").string(), FAKE_RPM_DB_PATH}).size(), 3u);
  EXPECT_TRUE(Read({}).empty());
}

}  // namespace
