#include "files/scan_tree.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "files/crc32.h"
#include "files/file_crc.h"
#include "files/file_row.h"
#include "files/ignore_rules.h"
#include "files/owner_names.h"
#include "files/regular_file.h"
#include "files/tree_walk.h"

namespace {

// Decimal with at least eight digits, as "%.8u" gives it.
char* PutCounter(char* out, uint32_t value) {
  char digits[10];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (n < 8) digits[n++] = '0';
  while (n > 0) *out++ = digits[--n];
  return out;
}

}  // namespace

// "\r%.8u %.8u %s" followed by 70 spaces, cut to 80 bytes; the prefix alone
// is 19 bytes, so the line is always exactly 80. Formatted by hand: it is
// written for every entry.
void WriteProgressLine(std::ostream& console, uint32_t files, uint32_t exes,
                       std::string_view directory) {
  constexpr size_t kWidth = 80;
  char line[kWidth];
  char* p = line;
  *p++ = '\r';
  p = PutCounter(p, files);
  *p++ = ' ';
  p = PutCounter(p, exes);
  *p++ = ' ';
  const size_t room = kWidth - static_cast<size_t>(p - line);
  const size_t shown = std::min(directory.size(), room);
  std::memcpy(p, directory.data(), shown);
  std::memset(p + shown, ' ', room - shown);
  console.write(line, kWidth);
}

namespace {

constexpr uint32_t kCrcInit = 0xFFFFFFFFu;

class FileScanVisitor : public TreeVisitor {
 public:
  FileScanVisitor(std::ostream& out, std::ostream& console, const FileScanOptions& options,
                  FileScanCounters& counters)
      : out_(out), console_(console), options_(options), counters_(counters),
        ignore_(options.ignoreValues) {}

  bool EnterDirectory(const std::string& path) override {
    if (auto message = ignore_.Check(path)) {
      console_ << *message;
      return false;
    }
    return true;
  }

  bool VisitEntry(int dirFd, std::string_view directory, std::string_view name,
                  const std::string& path) override {
    ++counters_.files;
    if (options_.logLevel == 0) WriteProgressLine(console_, counters_.files, counters_.exes, directory);
    Pause();
    if (options_.logLevel == 2) Log(path);

    struct stat st {};
    const char* bareName = path.c_str() + (path.size() - name.size());  // zero-terminated
    if (fstatat(dirFd, bareName, &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
    if (S_ISDIR(st.st_mode)) {
      if (options_.logLevel >= 1) Log(path);
      return true;
    }
    if (S_ISREG(st.st_mode) && st.st_size > 0 && path != "/proc/kcore")
      Select(dirFd, bareName, directory, name, st);
    return false;
  }

 private:
  void Log(const std::string& text) {
    if (options_.log) options_.log(text);
  }

  void Pause() {
    if (counters_.sleepCount > 10 && options_.pauseMs > 0) {
      counters_.sleepCount = 0;
      if (options_.sleep) options_.sleep(options_.pauseMs);
      else std::this_thread::sleep_for(std::chrono::milliseconds(options_.pauseMs));
    }
    ++counters_.sleepCount;
  }

  // O_NOATIME is refused (one wasted open) for others' files unless we are root.
  bool MayKeepAccessTime(const struct stat& st) const { return euid_ == 0 || st.st_uid == euid_; }

  void Select(int dirFd, const char* bareName, std::string_view directory,
              std::string_view name, const struct stat& st) {
    uint32_t crc = 0;
    if (options_.allFiles) {
      if (options_.crc) {
        UniqueFd fd = OpenRegularAt(dirFd, bareName, MayKeepAccessTime(st));
        if (fd) crc = crcReader_.Continue(fd.Get(), kCrcInit) ^ kCrcInit;
      }
    } else {
      UniqueFd fd = OpenRegularAt(dirFd, bareName, MayKeepAccessTime(st));
      if (!fd) return;
      unsigned char header[10];
      const long n = ReadRetrying(fd.Get(), header, sizeof header);
      if (!IsElfHeader(header, n)) return;
      // The header already read is the start of the checksum.
      if (options_.crc)
        crc = crcReader_.Continue(fd.Get(), Crc32Update(kCrcInit, header, static_cast<size_t>(n))) ^
              kCrcInit;
    }
    ++counters_.exes;
    FileRow row;
    row.name = name;
    row.directory = directory;
    row.size = st.st_size;
    row.changed = st.st_ctime;
    row.modified = st.st_mtime;
    row.accessed = st.st_atime;
    row.owner = owners_.Get(st.st_uid);
    row.crc = crc;
    line_.clear();
    AppendFileRow(line_, row);
    out_.write(line_.data(), static_cast<std::streamsize>(line_.size()));
  }

  std::ostream& out_;
  std::ostream& console_;
  const FileScanOptions& options_;
  FileScanCounters& counters_;
  IgnoreRules ignore_;
  OwnerNames owners_;
  CrcReader crcReader_;
  std::string line_;
  const uid_t euid_ = geteuid();
};

}  // namespace

void ScanTree(std::ostream& out, std::ostream& console, const FileScanOptions& options,
              const std::string& root, FileScanCounters& counters) {
  FileScanVisitor visitor(out, console, options, counters);
  WalkTree(root, visitor, options.maxOpenDirs);
  console.flush();
}
