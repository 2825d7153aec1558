// Windows: LockFileEx on the whole lock file. The handle is kept as a C runtime descriptor so
// that the class is the same on every platform; closing it releases the lock.
#include <windows.h>
// after windows.h
#include <fcntl.h>
#include <io.h>

#include "history/file_lock.h"
#include "history/utf16_windows.h"

FileLock::FileLock(const std::string& lock_path) {
  HANDLE file = CreateFileW(to_utf16(lock_path).c_str(), GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  OVERLAPPED whole{};
  if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole)) {
    CloseHandle(file);
    return;
  }
  fd_ = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDWR);
  if (fd_ < 0) CloseHandle(file);
}

FileLock::~FileLock() {
  if (fd_ >= 0) _close(fd_);
}
