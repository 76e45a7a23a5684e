#include "files/file_scan.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

#include "base/fd_io.h"
#include "base/progress_line.h"
#include "base/read_file.h"
#include "base/regular_file.h"
#include "files/crc32.h"
#include "files/file_crc.h"
#include "files/file_row.h"
#include "files/ignore_rules.h"
#include "files/mount_table.h"
#include "files/owner_names.h"
#include "base/tree_walk.h"
#include "files/page_cache.h"

size_t OpenDirectoryBudget() {
  constexpr size_t kDefault = 64;
  struct rlimit limit {};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return kDefault;
  return std::clamp<size_t>(static_cast<size_t>(limit.rlim_cur) / 4, 2, kDefault);
}

namespace {

constexpr uint32_t kCrcInit = 0xFFFFFFFFu;
constexpr size_t kRowBatch = 64 * 1024;
constexpr off_t kShortestElf = 9;  // IsElfHeader selects nothing shorter

struct PseudoFileSystem {
  uint32_t magic;  // statfs f_type
  std::string_view name;
};

// Kernel file systems: what they show are kernel objects, never installed
// files, and some (a proc's kcore) are vast.
constexpr PseudoFileSystem kPseudoFileSystems[] = {
    {0x9fa0, "proc"},       {0x62656572, "sysfs"},      {0x64626720, "debugfs"},
    {0x74726163, "tracefs"}, {0x73636673, "securityfs"}, {0x27e0eb, "cgroup"},
    {0x63677270, "cgroup2"}, {0xcafe4a11, "bpf"},        {0x62656570, "configfs"}};

// The name of the kernel file system `dirFd` lies on; empty for any other.
std::string_view PseudoFileSystemOf(int dirFd) {
  struct statfs fs {};
  if (fstatfs(dirFd, &fs) != 0) return {};
  for (const PseudoFileSystem& pseudo : kPseudoFileSystems)
    if (static_cast<uint32_t>(fs.f_type) == pseudo.magic) return pseudo.name;
  return {};
}

// `root` as the mount table writes paths; as given when it cannot be resolved.
std::string CanonicalRoot(const std::string& root) {
  const std::unique_ptr<char, decltype(&std::free)> resolved(realpath(root.c_str(), nullptr),
                                                             &std::free);
  return resolved ? std::string(resolved.get()) : root;
}

// The root as the walk's paths begin with it, without its trailing "/".
std::string_view RootPrefix(const std::string& root) {
  std::string_view prefix = root;
  while (prefix.ends_with('/')) prefix.remove_suffix(1);
  return prefix;
}

class FileScanVisitor : public TreeVisitor {
 public:
  FileScanVisitor(const std::string& root, const FileScanOptions& options,
                  DocumentWriter& document, Log& log, FileScanCounters& counters)
      : options_(options), document_(document), log_(log), counters_(counters),
        ignore_(options.ignoreValues), root_(root), rootPrefix_(RootPrefix(root)),
        mounts_(ReadMounts()) {}

  bool EnterDirectory(const std::string& path) override {
    if (Stopped()) return false;
    if (auto message = ignore_.Check(path)) {
      log_.Print(*message);
      return false;
    }
    return true;
  }

  bool OpenedDirectory(int dirFd, const std::string& path) override {
    const std::string_view pseudo = PseudoFileSystemOf(dirFd);
    if (pseudo.empty()) return true;
    if (log_.directories())
      log_.Message("skip " + path + ": " + std::string(pseudo) + " file system");
    return false;
  }

  // Rows go to the document in batches: one write per row would cost more
  // than the row.
  void FlushRows() {
    document_.Markup(pendingRows_);
    pendingRows_.clear();
  }

  bool VisitEntry(const WalkEntry& entry) override {
    if (Stopped()) return false;
    ++counters_.entries;
    if (log_.showsDisplay()) {
      log_.Display(FormatProgressLine(progress_, {counters_.entries, counters_.rows}, entry.directory));
    }
    Pause();
    if (log_.entries()) log_.Message(entry.path);
    // A mount point is known by its path alone: one the walk leaves alone
    // is never opened, nor even stat'ed.
    if (!mounts_.Empty() && SkipsMount(entry.path)) return false;

    // The type the directory reported decides without a call where it can:
    // links, FIFOs, sockets and devices never get a row.
    const int type = options_.useEntryTypes ? int{entry.type} : int{DT_UNKNOWN};
    if (type == DT_DIR) return ListDirectory(entry.path);
    if (type != DT_REG && type != DT_UNKNOWN) return false;
    // A regular file to be read is opened at once: the open refuses a link
    // swapped in since, the descriptor's fstat anything else, and that fstat
    // gives the row its values. The open retries without O_NOATIME where
    // the kernel refuses it (not root, another user's file).
    if (type == DT_REG && mustRead_) {
      OpenAndSelect(entry, true);
      return false;
    }
    // Otherwise lstat decides: the type is unknown, or the values are all a
    // row needs, and one call is cheaper than open, fstat and close.
    struct stat st {};
    if (fstatat(entry.dirFd, entry.name.data(), &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
    if (S_ISDIR(st.st_mode)) return ListDirectory(entry.path);
    if (!S_ISREG(st.st_mode) || st.st_size <= 0) return false;
    if (!options_.allFiles && st.st_size < kShortestElf) return false;
    if (mustRead_) OpenAndSelect(entry, MayKeepAccessTime(st));
    else WriteRow(entry, st, 0);
    return false;
  }

 private:
  MountDecisions ReadMounts() const {
    const Result<FileText> table = ReadFileUpTo(options_.mountInfoPath, kMountInfoLimit);
    const auto ignored = [this](std::string_view relative) {
      // The directory or one above it, as the walk would meet them.
      for (size_t at = relative.find('/', 1);; at = relative.find('/', at + 1)) {
        if (ignore_.Check(rootPrefix_ + std::string(relative.substr(0, at)))) return true;
        if (at == std::string_view::npos) return false;
      }
    };
    return MountDecisions(table ? ParseMountInfo(table->text) : std::vector<MountEntry>{},
                          CanonicalRoot(root_), FileSystemFilter(options_.ignoreFileSystems),
                          ignored);
  }

  bool SkipsMount(const std::string& path) {
    const std::string_view relative = std::string_view(path).substr(rootPrefix_.size());
    if (!mounts_.IsMountPoint(relative)) return false;
    if (auto message = ignore_.Check(path)) {
      log_.Print(*message);
      return true;
    }
    const std::optional<MountSkip> skip = mounts_.Decide(relative);
    if (!skip) return false;
    if (log_.directories()) {
      if (!skip->type.empty())
        log_.Message("skip " + path + ": " + skip->type + " file system");
      else
        log_.Message("skip " + path + ": bind mount of " +
                     (skip->duplicateOf.empty() ? root_ : rootPrefix_ + skip->duplicateOf));
    }
    return true;
  }
  bool Stopped() const { return options_.stopped && options_.stopped(); }

  void Pause() {
    if (counters_.sinceLastPause > 10 && options_.pauseMs > 0) {
      counters_.sinceLastPause = 0;
      if (options_.sleep) options_.sleep(options_.pauseMs);
      else std::this_thread::sleep_for(std::chrono::milliseconds(options_.pauseMs));
    }
    ++counters_.sinceLastPause;
  }

  bool ListDirectory(const std::string& path) {
    if (log_.directories()) log_.Message(path);
    return true;
  }

  // O_NOATIME is refused (a wasted open) for others' files unless we are root.
  bool MayKeepAccessTime(const struct stat& st) const { return euid_ == 0 || st.st_uid == euid_; }

  // The row's values come from the open descriptor.
  void OpenAndSelect(const WalkEntry& entry, bool keepAccessTime) {
    struct stat st {};
    auto opened = OpenRegularAt(entry.dirFd, entry.name.data(),
                                OpenMode{.keepAccessTime = keepAccessTime}, &st);
    if (!opened || st.st_size <= 0) return;
    const UniqueFd fd = opened.TakeValue();
    uint32_t crc = 0;
    if (options_.allFiles) {
      crc = crcReader_.Continue(fd.Get(), kCrcInit, 0, st) ^ kCrcInit;
    } else {
      if (st.st_size < kShortestElf) return;
      unsigned char header[10];
      CachedPages head;
      const long n = pageCache_.ReadHead(fd.Get(), header, sizeof header, head);
      const bool elf = IsElfHeader(header, n);
      // The header already read is the start of the checksum.
      if (elf && options_.crc) {
        const uint32_t headerCrc = Crc32Update(kCrcInit, header, static_cast<size_t>(n));
        crc = crcReader_.Continue(fd.Get(), headerCrc, static_cast<uint64_t>(n), st) ^ kCrcInit;
      }
      pageCache_.GiveBack(fd.Get(), head);
      if (!elf) return;
    }
    WriteRow(entry, st, crc);
  }

  void WriteRow(const WalkEntry& entry, const struct stat& st, uint32_t crc) {
    ++counters_.rows;
    FileRow row;
    row.name = entry.name;
    row.directory = entry.directory;
    row.size = st.st_size;
    row.changed = st.st_ctime;
    row.modified = st.st_mtime;
    row.accessed = st.st_atime;
    row.owner = owners_.Get(st.st_uid);
    row.crc = crc;
    rows_.Append(pendingRows_, row);
    if (pendingRows_.size() >= kRowBatch) FlushRows();
  }

  const FileScanOptions& options_;
  DocumentWriter& document_;
  Log& log_;
  FileScanCounters& counters_;
  ProgressLine progress_;
  IgnoreRules ignore_;
  OwnerNames owners_;
  CrcReader crcReader_;
  PageCache pageCache_;  // the heads' reads
  FileRowFormatter rows_;
  const std::string& root_;
  const std::string rootPrefix_;
  MountDecisions mounts_;
  std::string pendingRows_;
  const uid_t euid_ = geteuid();
  // Selecting needs the contents: the ELF header or the checksum.
  const bool mustRead_ = !options_.allFiles || options_.crc;
};

}  // namespace

FileScanCounters ScanFiles(const std::string& root, const FileScanOptions& options,
                           DocumentWriter& document, Log& log, FileScanCounters counters) {
  FileScanVisitor visitor(root, options, document, log, counters);
  const WalkSummary walk = WalkTree(root, visitor, options.maxOpenDirs);
  visitor.FlushRows();
  if (walk.longPaths > 0) {
    log.Display("\n");  // end the progress line
    log.Message("Entries left out, paths longer than " + std::to_string(kMaxWalkPath) +
                " bytes: " + std::to_string(walk.longPaths));
  }
  return counters;
}
