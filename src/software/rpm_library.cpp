#include "software/rpm_library.h"

#include <sys/stat.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <utility>

#include "base/shared_library.h"

namespace {

using Handle = void*;

// Header tags read from each package.
enum Tag : std::int32_t {
  kName = 1000,
  kVersion = 1001,
  kInstallTime = 1008,
  kVendor = 1011,
  kPackager = 1015,
  kGroup = 1016,
  kUrl = 1020,
  kSourceRpm = 1044,
};

// Data types headerGetEntry reports for values held as arrays of strings.
constexpr std::int32_t kStringArrayType = 8;
constexpr std::int32_t kI18nStringType = 9;

// Asks headerGet for extension tags as well.
constexpr std::uint32_t kHeaderGetExt = 2;

// Runs `f` when the scope ends, so every library object is released once.
template <typename F>
class OnExit {
 public:
  explicit OnExit(F f) : f_(std::move(f)) {}
  ~OnExit() { f_(); }
  OnExit(const OnExit&) = delete;
  OnExit& operator=(const OnExit&) = delete;

 private:
  F f_;
};

// The library functions used; a missing one stays null.
struct RpmApi {
  int (*readConfigFiles)(const char*, const char*) = nullptr;
  char* (*expand)(const char*, ...) = nullptr;
  int (*dbOpen)(const char*, Handle*, int, int) = nullptr;
  Handle (*dbInitIterator)(Handle, std::int32_t, const void*, size_t) = nullptr;
  int (*dbClose)(Handle) = nullptr;
  int (*headerGetEntry)(Handle, std::int32_t, std::int32_t*, const void**, std::int32_t*) = nullptr;
  Handle (*headerFreeTag)(Handle, const void*, std::int32_t) = nullptr;
  Handle (*tdNew)() = nullptr;
  Handle (*tsCreate)() = nullptr;
  Handle (*tsInitIterator)(Handle, std::int32_t, const void*, size_t) = nullptr;
  Handle (*dbNextIterator)(Handle) = nullptr;
  Handle (*dbFreeIterator)(Handle) = nullptr;
  Handle (*tsFree)(Handle) = nullptr;
  int (*headerGet)(Handle, std::int32_t, Handle, std::uint32_t) = nullptr;
  const char* (*tdGetString)(Handle) = nullptr;
  Handle (*headerLink)(Handle) = nullptr;
  Handle (*headerFree)(Handle) = nullptr;
  void (*tdReset)(Handle) = nullptr;
  std::uint64_t (*tdGetNumber)(Handle) = nullptr;
  // Not needed to read; when present the tag containers are released, and
  // data the library made for a value (a translated group, say) with them.
  Handle (*tdFree)(Handle) = nullptr;
  void (*tdFreeData)(Handle) = nullptr;

  bool TransactionSetUsable() const {
    return tdNew && tsCreate && tsInitIterator && dbNextIterator && tdReset && dbFreeIterator &&
           tsFree && headerLink && headerFree &&
           (headerGetEntry || (headerGet && tdGetString && tdGetNumber));
  }
  bool DatabaseUsable() const {
    return dbOpen && dbInitIterator && dbNextIterator && headerGetEntry && dbFreeIterator &&
           dbClose;
  }
};

template <typename Fn>
void LookUp(const SharedLibrary& lib, Fn& slot, const char* name) {
  slot = lib.Find<Fn>(name);
}

RpmApi LookUpAll(const SharedLibrary& lib) {
  RpmApi api;
  LookUp(lib, api.readConfigFiles, "rpmReadConfigFiles");
  LookUp(lib, api.expand, "rpmExpand");
  LookUp(lib, api.dbOpen, "rpmdbOpen");
  LookUp(lib, api.dbInitIterator, "rpmdbInitIterator");
  LookUp(lib, api.dbClose, "rpmdbClose");
  LookUp(lib, api.headerGetEntry, "headerGetEntry");
  LookUp(lib, api.headerFreeTag, "headerFreeTag");
  LookUp(lib, api.tdNew, "rpmtdNew");
  LookUp(lib, api.tsCreate, "rpmtsCreate");
  LookUp(lib, api.tsInitIterator, "rpmtsInitIterator");
  LookUp(lib, api.dbNextIterator, "rpmdbNextIterator");
  LookUp(lib, api.dbFreeIterator, "rpmdbFreeIterator");
  LookUp(lib, api.tsFree, "rpmtsFree");
  LookUp(lib, api.headerGet, "headerGet");
  LookUp(lib, api.tdGetString, "rpmtdGetString");
  LookUp(lib, api.headerLink, "headerLink");
  LookUp(lib, api.headerFree, "headerFree");
  LookUp(lib, api.tdReset, "rpmtdReset");
  LookUp(lib, api.tdGetNumber, "rpmtdGetNumber");
  LookUp(lib, api.tdFree, "rpmtdFree");
  LookUp(lib, api.tdFreeData, "rpmtdFreeData");
  return api;
}

// One value as headerGetEntry hands it out.
struct Entry {
  const void* data = nullptr;
  std::int32_t type = 0;
  std::int32_t count = 0;
};

Entry GetEntry(const RpmApi& api, Handle header, std::int32_t tag) {
  Entry entry;
  if (!api.headerGetEntry(header, tag, &entry.type, &entry.data, &entry.count)) entry.data = nullptr;
  return entry;
}

std::string EntryText(const Entry& entry) {
  if (!entry.data) return {};
  const char* text = static_cast<const char*>(entry.data);
  if (entry.type == kStringArrayType || entry.type == kI18nStringType)
    text = entry.count > 0 ? static_cast<const char* const*>(entry.data)[0] : nullptr;
  return text ? text : "";
}

// The eight values of one header, fetched with headerGetEntry in the order
// the library has always been asked for them.
struct HeaderEntries {
  Entry name, version, vendor, sourceRpm, url, group, packager, installTime;

  HeaderEntries(const RpmApi& api, Handle header)
      : name(GetEntry(api, header, kName)),
        version(GetEntry(api, header, kVersion)),
        vendor(GetEntry(api, header, kVendor)),
        sourceRpm(GetEntry(api, header, kSourceRpm)),
        url(GetEntry(api, header, kUrl)),
        group(GetEntry(api, header, kGroup)),
        packager(GetEntry(api, header, kPackager)),
        installTime(GetEntry(api, header, kInstallTime)) {}

  PackageRecord Record() const {
    PackageRecord record;
    record.productName = EntryText(name);
    record.versionString = EntryText(version);
    record.publisher = EntryText(vendor);
    record.installSource = EntryText(sourceRpm);
    record.helpLink = EntryText(url);
    record.installLocation = EntryText(group);
    record.userName = EntryText(packager);
    if (installTime.data) {
      std::int32_t seconds;
      std::memcpy(&seconds, installTime.data, sizeof seconds);
      record.installDate = FormatInstallDate(seconds);
    }
    return record;
  }

  void Release(const RpmApi& api, Handle header) const {
    for (const Entry* entry :
         {&name, &version, &vendor, &sourceRpm, &url, &installTime, &group, &packager})
      api.headerFreeTag(header, entry->data, entry->type);
  }
};

// Tag containers for headerGet, one per tag, reused for every header.
class TagContainers {
 public:
  static constexpr std::array<std::int32_t, 8> kTags = {
      kName, kVersion, kVendor, kSourceRpm, kInstallTime, kUrl, kGroup, kPackager};

  explicit TagContainers(const RpmApi& api) : api_(api) {
    for (Handle& td : tds_) td = api_.tdNew();
  }
  ~TagContainers() {
    if (!api_.tdFree) return;
    for (Handle td : tds_)
      if (td) api_.tdFree(td);
  }
  TagContainers(const TagContainers&) = delete;
  TagContainers& operator=(const TagContainers&) = delete;
  bool Valid() const {
    for (Handle td : tds_)
      if (!td) return false;
    return true;
  }

  PackageRecord Read(Handle header) {
    for (size_t i = 0; i < kTags.size(); ++i) api_.headerGet(header, kTags[i], tds_[i], kHeaderGetExt);
    PackageRecord record;
    record.productName = Text(0);
    record.versionString = Text(1);
    record.publisher = Text(2);
    record.installSource = Text(3);
    const auto seconds = static_cast<std::int32_t>(api_.tdGetNumber(tds_[4]));
    if (seconds != 0) record.installDate = FormatInstallDate(seconds);
    record.helpLink = Text(5);
    record.installLocation = Text(6);
    record.userName = Text(7);
    for (Handle td : tds_) (api_.tdFreeData ? api_.tdFreeData : api_.tdReset)(td);
    return record;
  }

 private:
  std::string Text(size_t index) const {
    const char* text = api_.tdGetString(tds_[index]);
    return text ? text : "";
  }

  const RpmApi& api_;
  std::array<Handle, kTags.size()> tds_{};
};

// Whether the database the configuration names is there. Opening one that
// is not would create it, and a scan must leave the host as it found it.
bool DatabaseExists(const RpmApi& api) {
  if (!api.expand) return false;
  char* expanded = api.expand("%{_dbpath}", static_cast<const char*>(nullptr));
  if (!expanded) return false;
  const std::string dir = expanded;
  std::free(expanded);
  if (!dir.starts_with('/')) return false;
  // The files of the sqlite, ndb and Berkeley DB back ends.
  for (const char* file : {"/rpmdb.sqlite", "/Packages.db", "/Packages"}) {
    struct stat st;
    if (::stat((dir + file).c_str(), &st) == 0 && S_ISREG(st.st_mode)) return true;
  }
  return false;
}

size_t ReadByTransactionSet(const RpmApi& api,
                            const std::function<void(const PackageRecord&)>& onPackage) {
  const Handle ts = api.tsCreate();
  if (!ts) return 0;
  OnExit freeSet([&] { api.tsFree(ts); });
  const Handle iterator = api.tsInitIterator(ts, 0, nullptr, 0);
  if (!iterator) return 0;
  OnExit freeIterator([&] { api.dbFreeIterator(iterator); });

  // Containers are only needed when headerGetEntry is missing.
  std::optional<TagContainers> containers;
  if (!api.headerGetEntry) {
    containers.emplace(api);
    if (!containers->Valid()) return 0;
  }
  size_t count = 0;
  while (Handle raw = api.dbNextIterator(iterator)) {
    ++count;
    const Handle linked = api.headerLink(raw);
    const Handle header = linked ? linked : raw;
    const PackageRecord record =
        api.headerGetEntry ? HeaderEntries(api, header).Record() : containers->Read(header);
    onPackage(record);
    if (linked) api.headerFree(linked);
  }
  return count;
}

size_t ReadByDatabase(const RpmApi& api,
                      const std::function<void(const PackageRecord&)>& onPackage) {
  Handle db = nullptr;
  if (api.dbOpen("", &db, 0, 0644) != 0 || !db) return 0;
  OnExit closeDb([&] { api.dbClose(db); });
  const Handle iterator = api.dbInitIterator(db, 0, nullptr, 0);
  if (!iterator) return 0;
  OnExit freeIterator([&] { api.dbFreeIterator(iterator); });

  size_t count = 0;
  while (Handle header = api.dbNextIterator(iterator)) {
    ++count;
    const HeaderEntries entries(api, header);
    onPackage(entries.Record());
    if (api.headerFreeTag) entries.Release(api, header);
  }
  return count;
}

}  // namespace

Result<size_t> ReadRpmPackages(const std::vector<std::string>& paths,
                       const std::function<void(const PackageRecord&)>& onPackage) {
  SharedLibrary library;
  bool loaded = false;
  // librpm keeps its configuration in its own globals and is not made to be
  // unloaded: it stays mapped once loaded.
  for (const std::string& path : paths)
    if ((loaded = library.Open(path, RTLD_LAZY | RTLD_NODELETE))) break;
  if (!loaded) return ReasonFailure("rpm", "no library");

  const RpmApi api = LookUpAll(library);
  if (api.readConfigFiles) api.readConfigFiles(nullptr, nullptr);
  if (!DatabaseExists(api)) return ReasonFailure("rpm", "no database");
  if (api.TransactionSetUsable()) return ReadByTransactionSet(api, onPackage);
  if (api.DatabaseUsable()) return ReadByDatabase(api, onPackage);
  return ReasonFailure("rpm", "no usable interface");
}
