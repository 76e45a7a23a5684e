// Scanning a file without evicting the host's working set: which of its
// pages the page cache held before the scan read them, and dropping the
// others once read. A page cached before is never dropped.
#pragma once

#include <sys/types.h>

#include <bitset>
#include <cstddef>
#include <cstdint>

// The pages a byte range of a file touches and which of them were cached.
struct CachedPages {
  static constexpr size_t kMaxDetail = 512;  // pages known one by one
  uint64_t begin = 0, end = 0;  // bytes; begin on a page boundary
  uint64_t pages = 0;           // pages in [begin, end)
  uint64_t cached = 0;          // of them in the cache
  // Where only some were cached and the range has at most kMaxDetail
  // pages, which ones.
  bool detailed = false;
  std::bitset<kMaxDetail> resident;

  bool All() const { return cached >= pages; }
};

class PageCache {
 public:
  PageCache();

  size_t PageSize() const { return pageSize_; }

  // What of [begin, end) of `fd` is cached now: counted by cachestat()
  // where the kernel has it (6.5 on), else by mincore() on a mapping; page
  // by page when only some are and the range is short enough. When nothing
  // can tell, every page counts as cached, so nothing is dropped.
  // At most kMaxDetail pages from `begin` are looked at.
  CachedPages Cached(int fd, uint64_t begin, uint64_t end);

  // Whether every page of [begin, end) is cached; false where only a
  // mapping could tell, which is too dear for a whole file.
  bool AllCached(int fd, uint64_t begin, uint64_t end);

  // Drops the pages of `before`'s range that were not cached then.
  void GiveBack(int fd, const CachedPages& before) const;

  // Reads up to `size` bytes (at most a page) at the start of `fd`, and no
  // more from the disk than that one page; `before` gets whether it was
  // cached. Hand it to GiveBack once done with the file.
  ssize_t ReadHead(int fd, void* buffer, size_t size, CachedPages& before);

 private:
  bool MapResidency(int fd, CachedPages& range) const;

  size_t pageSize_;
  bool haveCachestat_ = true;
  // Whether the recent heads were cached: see ReadHead.
  bool cold_ = true;
  int cachedInARow_ = 0;
};

// Reads of one file front to back that leave the page cache as they found
// it. Before a window of the file is read its cached pages are noted; once
// the reads have left it, the others are dropped. Read-ahead is off and
// the next window is fetched while one is read, so a cold file still
// streams and the cache never holds more than two windows of it.
class DropBehind {
 public:
  static constexpr uint64_t kWindow = 2 << 20;  // at most kMaxDetail pages

  // Reads from `offset` on, up to `end`. A file cached whole is left alone.
  DropBehind(PageCache& cache, int fd, uint64_t offset, uint64_t end);
  ~DropBehind();
  DropBehind(const DropBehind&) = delete;
  DropBehind& operator=(const DropBehind&) = delete;

  // Before a read at `pos`; the caller reads no further than `until`
  // before the next call, so nothing past it is fetched ahead.
  // Returns how far the read may go within the windows noted.
  uint64_t Before(uint64_t pos, uint64_t until);

 private:
  CachedPages Note(uint64_t begin, uint64_t until);

  PageCache& cache_;
  const int fd_;
  const bool active_;
  CachedPages current_, next_;
  bool haveCurrent_ = false, haveNext_ = false;
};
