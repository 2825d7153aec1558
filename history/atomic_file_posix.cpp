#include "history/atomic_file.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// What failed and errno's reason; called at once, before anything else can change errno.
std::string failure(const std::string& what) { return what + ": " + std::strerror(errno); }

bool write_all(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

std::string parent_directory(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string write_file_atomically(const std::string& path, const std::string& temp_path, const std::string& contents) {
  // A fresh file: a link or a FIFO left under the temporary name is never written through.
  ::unlink(temp_path.c_str());
  const int fd = ::open(temp_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return failure("cannot create " + temp_path);
  // The new version keeps the permissions the user gave the old one.
  struct stat old {};
  if (::stat(path.c_str(), &old) == 0) ::fchmod(fd, old.st_mode & 07777);
  std::string error;
  if (!write_all(fd, contents.data(), contents.size())) error = failure("cannot write " + temp_path);
  // The data must be on the disk before the rename makes it the file's contents; otherwise a
  // power cut could leave the new name pointing at empty blocks.
  if (error.empty() && ::fsync(fd) != 0) error = failure("cannot flush " + temp_path);
  if (::close(fd) != 0 && error.empty()) error = failure("cannot close " + temp_path);
  if (error.empty() && ::rename(temp_path.c_str(), path.c_str()) != 0) error = failure("cannot replace " + path);
  if (!error.empty()) {
    ::unlink(temp_path.c_str());
    return error;
  }
  // Makes the rename itself durable. A failure here is not reported: the new file is in place.
  const int dir = ::open(parent_directory(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return {};
}

namespace {

std::string kind_of(mode_t mode) {
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISDIR(mode)) return "a directory";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a regular file";
}

// ENOTDIR counts as missing too: with a file where a folder of the path should be, nothing can
// exist at the path, so nothing can be lost.
bool nothing_there(int error) { return error == ENOENT || error == ENOTDIR; }

}  // namespace

FileRead read_whole_file(const std::string& path) {
  FileRead out;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    if (!nothing_there(errno)) {
      out.status = ReadStatus::Failed;
      out.error = std::strerror(errno);
    }
    return out;
  }
  if (!S_ISREG(st.st_mode)) {
    out.status = ReadStatus::NotRegular;
    out.error = kind_of(st.st_mode);
    return out;
  }
  // Non-blocking, and checked again once open: a FIFO put there meanwhile must not hang us.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (!nothing_there(errno)) {
      out.status = ReadStatus::Failed;
      out.error = std::strerror(errno);
    }
    return out;
  }
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    out.status = ReadStatus::NotRegular;
    out.error = kind_of(st.st_mode);
    return out;
  }
  out.status = ReadStatus::Read;
  char buffer[16384];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      out.status = ReadStatus::Failed;
      out.error = std::strerror(errno);
      out.contents.clear();
      break;
    }
    out.contents.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return out;
}

WriteTarget write_target(const std::string& path) {
  std::string current = path;
  // The limit the kernel itself applies to a path's links.
  for (int hop = 0; hop < 40; ++hop) {
    struct stat st {};
    if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return {current, {}};
    char buffer[PATH_MAX + 1];
    const ssize_t n = ::readlink(current.c_str(), buffer, sizeof buffer);
    if (n < 0 || static_cast<std::size_t>(n) >= sizeof buffer) return {{}, failure("cannot read the link " + current)};
    const std::string link(buffer, static_cast<std::size_t>(n));
    current = !link.empty() && link.front() == '/' ? link : parent_directory(current) + "/" + link;
  }
  return {{}, "too many levels of symbolic links at " + path};
}

bool remove_file(const std::string& path) { return ::unlink(path.c_str()) == 0 || nothing_there(errno); }

bool make_directories(const std::string& dir) {
  struct stat st {};
  if (::stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  const std::string parent = parent_directory(dir);
  if (parent != dir && !make_directories(parent)) return false;
  // 0700 as the base-directory convention asks for directories it creates.
  return ::mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST;
}

FileStamp stamp_of(const std::string& path) {
  struct stat st {};
  FileStamp s;
  if (::stat(path.c_str(), &st) != 0) return s;
  s.exists = true;
  s.device = static_cast<std::uint64_t>(st.st_dev);
  s.inode = static_cast<std::uint64_t>(st.st_ino);
  s.size = static_cast<std::uint64_t>(st.st_size);
  s.mtime_ns = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  s.ctime_ns = static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
  return s;
}

bool file_exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

std::string keep_under_second_name(const std::string& path, const std::string& target) {
  // A hard link keeps the first name in place until a new file replaces it, so there is no
  // moment at which neither name holds the old contents; rename serves where links do not.
  if (::link(path.c_str(), target.c_str()) == 0 || ::rename(path.c_str(), target.c_str()) == 0) return {};
  return failure("cannot rename " + path);
}

std::string process_tag() { return std::to_string(::getpid()); }
