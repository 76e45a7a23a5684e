#include "software/rpm_library.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "base/shared_library.h"
#include "scan_text.h"

namespace {

const std::vector<std::string> kFields = {"name",     "version", "vendor", "source",
                                          "URL",      "group",   "packager", "date"};

// One row per package, the fields of kFields.
scanunix_test::Rows Read(const std::vector<std::string>& paths) {
  setenv("TZ", "UTC", 1);
  tzset();
  scanunix_test::Rows rows;
  const Result<size_t> count = ReadRpmPackages(paths, [&](const PackageRecord& r) {
    rows.push_back({r.productName, r.versionString, r.publisher, r.installSource, r.helpLink,
                    r.installLocation, r.userName, r.installDate});
  });
  EXPECT_EQ(count ? *count : 0, rows.size());
  return rows;
}

const std::string kAlphaBeta =
    "alpha|1.0|Acme & Sons <dev>|alpha-1.0-1.src.rpm|http://example.com/?a=\"1\"|System/Base|Pat|"
    "14.11.2023 22:13:20|\nbeta|2.5|||||||\n";
// Through headerGetEntry an install time of 0 is still a time; a zero from
// rpmtdGetNumber cannot be told from a missing one.
const std::string kGamma = "gamma|0.1|Vendor|||Apps/Text||01.01.1970 00:00:00|\n";
const std::string kGammaNoDate = "gamma|0.1|Vendor|||Apps/Text|||\n";

TEST(RpmLibrary, EachGenerationReadsAndReleasesEverything) {
  const struct {
    const char* library;
    std::string packages, logStart, logEnd;
  } generations[] = {
      // Every function present: the transaction set with headerGetEntry.
      {FAKE_RPM_ALL_PATH, kAlphaBeta + kGamma, "config expand tsCreate tsInit next link getEntry:",
       "free next freeIter tsFree "},
      {FAKE_RPM_TDGET_PATH, kAlphaBeta + kGammaNoDate, "config expand tsCreate tsInit tdNew",
       "next tdFree tdFree tdFree tdFree tdFree tdFree tdFree tdFree freeIter tsFree "},
      // Each value released with the type it came with.
      {FAKE_RPM_DB_PATH, kAlphaBeta + kGamma,
       "config expand dbOpen dbInit next getEntry:1000 getEntry:1001 getEntry:1011 getEntry:1044 "
       "getEntry:1020 getEntry:1016 getEntry:1015 getEntry:1008 freeTag:6 freeTag:6 freeTag:6 "
       "freeTag:6 freeTag:6 freeTag:4 freeTag:8 freeTag:6 next",
       "next freeIter dbClose "},
      {FAKE_RPM_TOO_FEW_PATH, "", "config expand ", "config expand "},
      {FAKE_RPM_EMPTY_PATH, "", "config expand tsCreate tsInit next freeIter tsFree ", "tsFree "},
      {FAKE_RPM_DB_CLOSED_PATH, "", "config expand dbOpen ", "config expand dbOpen "},
      // No database where the configuration says: nothing is opened, which
      // would create one.
      {FAKE_RPM_NO_DB_PATH, "", "config expand ", "config expand "},
  };
  for (const auto& g : generations) {
    SCOPED_TRACE(g.library);
    SharedLibrary fake;  // held, so that its log outlives the scanner's dlclose
    ASSERT_TRUE(fake.Open(g.library));
    scanunix_test::ExpectRows(Read({g.library}), scanunix_test::RowsFrom(g.packages), kFields);
    const std::string log = fake.Find<const char* (*)()>("fake_rpm_log")();
    EXPECT_TRUE(log.starts_with(g.logStart) && log.ends_with(g.logEnd) &&
                log.find("BAD") == std::string::npos)
        << log;
  }
  // Only the first path that loads is used, even when it holds no package.
  EXPECT_EQ(Read({"/etc/passwd", FAKE_RPM_EMPTY_PATH, FAKE_RPM_DB_PATH}).size(), 0u);
}

}  // namespace
