#include "files/page_cache.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace {

// An older kernel has no cachestat; a system call filter that predates it
// (systemd's SystemCallFilter) refuses it with its error number.
bool CachestatRefused(int error) { return error == ENOSYS || error == EPERM; }

// cachestat(2), 6.5 on; the C library has no wrapper yet.
#ifdef __NR_cachestat
constexpr long kCachestat = __NR_cachestat;
#else
constexpr long kCachestat = 451;  // the same number on every architecture we build for
#endif

struct CachestatRange {
  uint64_t off, len;
};
struct Cachestat {
  uint64_t nrCache, nrDirty, nrWriteback, nrEvicted, nrRecentlyEvicted;
};

// Cached heads in a row after which ReadHead trusts the cache again.
constexpr int kCachedHeadsToWarm = 64;

ssize_t PreadNoWait(int fd, void* buffer, size_t size, uint64_t offset) {
  struct iovec part {buffer, size};
  ssize_t n;
  do {
    n = preadv2(fd, &part, 1, static_cast<off_t>(offset), RWF_NOWAIT);
  } while (n < 0 && errno == EINTR);
  return n;
}

ssize_t PreadWaiting(int fd, void* buffer, size_t size, uint64_t offset) {
  ssize_t n;
  do {
    n = pread(fd, buffer, size, static_cast<off_t>(offset));
  } while (n < 0 && errno == EINTR);
  return n;
}

// Each read brings in only the pages it asks for.
void ReadAheadOff(int fd) { posix_fadvise(fd, 0, 0, POSIX_FADV_RANDOM); }

void Drop(int fd, uint64_t begin, uint64_t length) {
  posix_fadvise(fd, static_cast<off_t>(begin), static_cast<off_t>(length), POSIX_FADV_DONTNEED);
}

uint64_t RoundUp(uint64_t value, uint64_t unit) { return (value + unit - 1) / unit * unit; }

}  // namespace

PageCache::PageCache() {
  const long size = sysconf(_SC_PAGESIZE);
  pageSize_ = size > 0 ? static_cast<size_t>(size) : 4096;
}

CachedPages PageCache::Cached(int fd, uint64_t begin, uint64_t end) {
  CachedPages range;
  range.begin = begin - begin % pageSize_;
  range.end = std::min(std::max(end, range.begin), range.begin + CachedPages::kMaxDetail * pageSize_);
  range.pages = RoundUp(range.end - range.begin, pageSize_) / pageSize_;
  if (range.pages == 0) return range;
  if (haveCachestat_) {
    const CachestatRange asked{range.begin, range.pages * pageSize_};
    Cachestat stat{};
    if (syscall(kCachestat, fd, &asked, &stat, 0) == 0) {
      range.cached = std::min(stat.nrCache, range.pages);
      if (range.cached == 0 || range.All()) return range;
    } else if (CachestatRefused(errno)) {
      haveCachestat_ = false;
    }
  }
  if (!MapResidency(fd, range)) range.cached = range.pages;  // unknown: keep it all
  return range;
}

bool PageCache::AllCached(int fd, uint64_t begin, uint64_t end) {
  if (!haveCachestat_ || end <= begin) return end <= begin;
  const uint64_t first = begin - begin % pageSize_;
  const CachestatRange asked{first, RoundUp(end - first, pageSize_)};
  Cachestat stat{};
  if (syscall(kCachestat, fd, &asked, &stat, 0) != 0) {
    if (CachestatRefused(errno)) haveCachestat_ = false;
    return false;
  }
  return stat.nrCache >= asked.len / pageSize_;
}

// mincore() on a mapping of the range: a page already cached shows without
// being read, and none is brought in.
bool PageCache::MapResidency(int fd, CachedPages& range) const {
  const size_t length = range.pages * pageSize_;
  void* map = mmap(nullptr, length, PROT_READ, MAP_SHARED, fd, static_cast<off_t>(range.begin));
  if (map == MAP_FAILED) return false;
  unsigned char pages[CachedPages::kMaxDetail];
  const bool known = mincore(map, length, pages) == 0;
  munmap(map, length);
  if (!known) return false;
  range.cached = 0;
  for (size_t i = 0; i < range.pages; ++i) {
    range.resident[i] = pages[i] & 1;
    range.cached += pages[i] & 1;
  }
  range.detailed = true;
  return true;
}

void PageCache::GiveBack(int fd, const CachedPages& before) const {
  if (before.cached == 0) {
    if (before.pages > 0) Drop(fd, before.begin, before.pages * pageSize_);
    return;
  }
  if (before.All() || !before.detailed) return;
  for (size_t i = 0; i < before.pages;) {
    if (before.resident[i]) {
      ++i;
      continue;
    }
    size_t run = i;
    while (run < before.pages && !before.resident[run]) ++run;
    Drop(fd, before.begin + i * pageSize_, (run - i) * pageSize_);
    i = run;
  }
}

// A plain first read of a file whose head is not cached sets off the
// kernel's read-ahead, several pages where one is asked for; with it off,
// one page comes from the disk. Turning it off and asking whether the head
// is cached costs two calls per file, paid only while heads are found cold.
// Once many in a row were cached, a read that must not wait tells whether
// the head is; when it is not, that read has set off the read-ahead
// already, and since a cached head can refuse such a read too, the pages
// it brings stay: only the next files are read with read-ahead off.
ssize_t PageCache::ReadHead(int fd, void* buffer, size_t size, CachedPages& before) {
  size = std::min(size, pageSize_);
  before = CachedPages{};
  before.end = pageSize_;
  before.pages = before.cached = 1;  // unknown until told otherwise: kept
  if (!cold_) {
    const ssize_t n = PreadNoWait(fd, buffer, size, 0);
    if (n >= 0) return n;
    if (errno == EAGAIN) {
      cold_ = true;
      cachedInARow_ = 0;
      return PreadWaiting(fd, buffer, size, 0);
    }
  }
  ReadAheadOff(fd);
  before = Cached(fd, 0, pageSize_);
  if (before.cached == 0) cachedInARow_ = 0;
  else if (++cachedInARow_ >= kCachedHeadsToWarm) cold_ = false;
  return PreadWaiting(fd, buffer, size, 0);
}

DropBehind::DropBehind(PageCache& cache, int fd, uint64_t offset, uint64_t end)
    : cache_(cache), fd_(fd), active_(!cache.AllCached(fd, offset, end)) {
  if (active_) ReadAheadOff(fd);
}

DropBehind::~DropBehind() {
  if (haveCurrent_) cache_.GiveBack(fd_, current_);
  if (haveNext_) cache_.GiveBack(fd_, next_);
}

uint64_t DropBehind::Before(uint64_t pos, uint64_t until) {
  if (!active_) return until;
  if (!haveCurrent_ || pos < current_.begin || pos >= current_.end) {
    if (haveCurrent_) cache_.GiveBack(fd_, current_);
    if (haveNext_ && pos >= next_.begin && pos < next_.end) {
      current_ = next_;
    } else {
      if (haveNext_) cache_.GiveBack(fd_, next_);
      current_ = Note(pos, until);
    }
    haveCurrent_ = true;
    haveNext_ = current_.end < until;
    if (haveNext_) next_ = Note(current_.end, until);
  }
  return std::min(until, haveNext_ ? next_.end : current_.end);
}

// The window from `begin` on: its cached pages noted, the others fetched
// without waiting.
CachedPages DropBehind::Note(uint64_t begin, uint64_t until) {
  CachedPages window = cache_.Cached(fd_, begin, std::min(until, begin + kWindow));
  if (!window.All())
    posix_fadvise(fd_, static_cast<off_t>(window.begin),
                  static_cast<off_t>(window.end - window.begin), POSIX_FADV_WILLNEED);
  return window;
}
