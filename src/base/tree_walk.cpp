#include "base/tree_walk.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "base/dir_search.h"
#include "base/unique_fd.h"

namespace {

constexpr int kDirFlags = O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC;

// A name read ahead and its type as the directory reported it.
struct ReadAheadName {
  std::string name;
  unsigned char type;
};

// One directory on the walk's stack. While open it is read through its
// live DirSearch, or, once it had to give up its descriptor and was
// reopened, from the names read ahead before that.
struct Frame {
  std::unique_ptr<DirSearch> search;  // live stream, or none
  UniqueFd fd;                         // descriptor after a reopen
  bool primed = false;                 // search holds an unreturned first entry
  std::vector<ReadAheadName> readAhead;  // names still to visit once closed
  size_t nextReadAhead = 0;
  size_t pathEnd = 0;    // this directory's path is path[0, pathEnd)
  size_t nameBegin = 0;  // its own name is path[nameBegin, pathEnd)
  dev_t dev = 0;         // identity, recorded when the descriptor is given up
  ino_t ino = 0;

  int Get() const { return search ? search->Get() : fd.Get(); }
  bool Open() const { return Get() >= 0; }
};

bool SameDirectory(int fd, const Frame& frame) {
  struct stat st {};
  return fstat(fd, &st) == 0 && st.st_dev == frame.dev && st.st_ino == frame.ino;
}

class Walker {
 public:
  Walker(const std::string& root, TreeVisitor& visitor, size_t maxOpenDirs)
      : root_(root), visitor_(visitor), maxOpen_(std::max<size_t>(maxOpenDirs, 2)), path_(root) {}

  WalkSummary Run();

 private:
  bool NextName(Frame& frame, std::string_view& name, unsigned char& type);
  void Push(std::unique_ptr<DirSearch> search);
  void GiveUpDescriptor(Frame& frame);
  void Pop();
  bool Reopen(size_t index, int childFd);
  UniqueFd ReopenFromRoot(size_t index);

  const std::string& root_;
  TreeVisitor& visitor_;
  const size_t maxOpen_;
  std::string path_;
  std::vector<Frame> stack_;
  size_t lowestOpen_ = 0;  // frames [lowestOpen_, top] hold a descriptor
  WalkSummary summary_;
};

WalkSummary Walker::Run() {
  if (!visitor_.EnterDirectory(root_)) return summary_;
  auto search = std::make_unique<DirSearch>();
  if (!search->First(root_.c_str(), "*") || !visitor_.OpenedDirectory(search->Get(), root_))
    return summary_;
  Push(std::move(search));

  while (!stack_.empty()) {
    Frame& top = stack_.back();
    std::string_view name;
    unsigned char type;
    if (!NextName(top, name, type)) {
      Pop();
      continue;
    }
    if (name == "." || name == "..") continue;
    path_.resize(top.pathEnd);
    if (path_.empty() || path_.back() != '/') path_ += '/';
    const size_t nameBegin = path_.size();
    path_.append(name);
    if (path_.size() > kMaxWalkPath) {
      ++summary_.longPaths;
      continue;
    }
    const WalkEntry entry{top.Get(), std::string_view(path_.data(), top.pathEnd),
                          std::string_view(path_).substr(nameBegin), path_, type};
    if (!visitor_.VisitEntry(entry)) continue;
    if (!visitor_.EnterDirectory(path_)) continue;
    auto child = std::make_unique<DirSearch>();
    if (!child->FirstAt(top.Get(), path_.c_str() + nameBegin, "*") ||
        !visitor_.OpenedDirectory(child->Get(), path_))
      continue;
    Push(std::move(child));
    stack_.back().nameBegin = nameBegin;
  }
  return summary_;
}

bool Walker::NextName(Frame& frame, std::string_view& name, unsigned char& type) {
  if (frame.search) {
    if (frame.primed) {
      frame.primed = false;
    } else if (!frame.search->Next()) {
      return false;
    }
    name = frame.search->name();
    type = frame.search->type();
    return true;
  }
  if (!frame.fd || frame.nextReadAhead >= frame.readAhead.size()) return false;
  const ReadAheadName& next = frame.readAhead[frame.nextReadAhead++];
  name = next.name;
  type = next.type;
  return true;
}

void Walker::Push(std::unique_ptr<DirSearch> search) {
  Frame frame;
  frame.search = std::move(search);
  frame.primed = true;
  frame.pathEnd = path_.size();
  stack_.push_back(std::move(frame));
  // The frame being read (the top) always keeps its descriptor.
  while (stack_.size() - lowestOpen_ > maxOpen_ && lowestOpen_ + 1 < stack_.size())
    GiveUpDescriptor(stack_[lowestOpen_++]);
}

void Walker::GiveUpDescriptor(Frame& frame) {
  struct stat st {};
  if (fstat(frame.Get(), &st) == 0) {
    frame.dev = st.st_dev;
    frame.ino = st.st_ino;
  }
  if (frame.search) {
    // The rest of the stream is read now, in its order, so the walk can
    // resume from it without the descriptor.
    std::vector<ReadAheadName> rest;
    const auto take = [&] {
      rest.push_back({std::string(frame.search->name()), frame.search->type()});
    };
    if (frame.primed) take();
    while (frame.search->Next()) take();
    frame.readAhead = std::move(rest);
    frame.nextReadAhead = 0;
    frame.primed = false;
    frame.search.reset();
  }
  frame.fd.Reset();
}

void Walker::Pop() {
  Frame popped = std::move(stack_.back());
  stack_.pop_back();
  if (stack_.empty()) return;
  const size_t top = stack_.size() - 1;
  if (top >= lowestOpen_) return;
  // The directory below was closed on the way down; take it up again
  // only when it is still the very directory that was left.
  lowestOpen_ = top;
  if (!Reopen(top, popped.Get())) {
    stack_[top].readAhead.clear();
    stack_[top].nextReadAhead = 0;
  }
}

bool Walker::Reopen(size_t index, int childFd) {
  Frame& frame = stack_[index];
  // Through ".." of the directory just left: one call per level, so even
  // the deepest chain unwinds in linear time.
  if (childFd >= 0) {
    UniqueFd up(openat(childFd, "..", kDirFlags));
    if (up && SameDirectory(up.Get(), frame)) {
      frame.fd = std::move(up);
      return true;
    }
  }
  if (frame.nextReadAhead >= frame.readAhead.size()) return false;  // nothing left to visit
  frame.fd = ReopenFromRoot(index);
  return frame.fd.Valid();
}

UniqueFd Walker::ReopenFromRoot(size_t index) {
  // Every frame up to `index` is closed and knows its identity; walk the
  // names down from the root, refusing links and changed directories.
  UniqueFd fd(open(root_.c_str(), kDirFlags));
  if (!fd || !SameDirectory(fd.Get(), stack_[0])) return {};
  for (size_t i = 1; i <= index; ++i) {
    const Frame& frame = stack_[i];
    const std::string name = path_.substr(frame.nameBegin, frame.pathEnd - frame.nameBegin);
    UniqueFd next(openat(fd.Get(), name.c_str(), kDirFlags | O_NOFOLLOW));
    if (!next || !SameDirectory(next.Get(), frame)) return {};
    fd = std::move(next);
  }
  return fd;
}

}  // namespace

WalkSummary WalkTree(const std::string& root, TreeVisitor& visitor, size_t maxOpenDirs) {
  return Walker(root, visitor, maxOpenDirs).Run();
}
