#include "history/atomic_file.h"

#include <cerrno>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool fail(std::string* error, const std::string& what) {
  if (error) *error = what + ": " + std::strerror(errno);
  return false;
}

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

bool write_file_atomically(const std::string& path, const std::string& temp_path, const std::string& contents,
                           std::string* error) {
  const int fd = ::open(temp_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return fail(error, "cannot create " + temp_path);
  // The new version keeps the permissions the user gave the old one.
  struct stat old {};
  if (::stat(path.c_str(), &old) == 0) ::fchmod(fd, old.st_mode & 07777);
  bool ok = write_all(fd, contents.data(), contents.size());
  if (!ok) fail(error, "cannot write " + temp_path);
  // The data must be on the disk before the rename makes it the file's contents; otherwise a
  // power cut could leave the new name pointing at empty blocks.
  if (ok && ::fsync(fd) != 0) ok = fail(error, "cannot flush " + temp_path);
  if (::close(fd) != 0 && ok) ok = fail(error, "cannot close " + temp_path);
  if (ok && ::rename(temp_path.c_str(), path.c_str()) != 0) ok = fail(error, "cannot replace " + path);
  if (!ok) {
    ::unlink(temp_path.c_str());
    return false;
  }
  // Makes the rename itself durable. A failure here is not reported: the new file is in place.
  const int dir = ::open(parent_directory(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

bool read_whole_file(const std::string& path, std::string& contents) {
  contents.clear();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char buffer[16384];
  bool ok = true;
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    contents.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return ok;
}

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

bool keep_under_second_name(const std::string& path, const std::string& target, std::string* error) {
  // A hard link keeps the first name in place until a new file replaces it, so there is no
  // moment at which neither name holds the old contents; rename serves where links do not.
  if (::link(path.c_str(), target.c_str()) == 0 || ::rename(path.c_str(), target.c_str()) == 0) return true;
  return fail(error, "cannot rename " + path);
}

std::string process_tag() { return std::to_string(::getpid()); }

std::string local_time_tag() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
  return text;
}
