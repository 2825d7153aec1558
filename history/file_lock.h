#pragma once
// An advisory, exclusive lock between the processes that share one history file (the window
// and the command-line runner). It is held on a separate lock file, because history.json itself
// is replaced by rename on every save and a lock on the old inode would guard nothing.
#include <string>

class FileLock {
 public:
  // Blocks until the lock is held. `held()` is false when the lock file cannot be opened (for
  // example a read-only directory); callers then go on without it.
  explicit FileLock(const std::string& lock_path);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};
