// The history's file services on Windows: wide-character paths, FlushFileBuffers before
// MoveFileExW replaces the file, and a hard link (else a move) to keep a copy aside.
#include <windows.h>

#include <algorithm>

#include "history/atomic_file.h"
#include "history/utf16_windows.h"

namespace {

// What failed and the system's error number; called at once, before another call changes it.
std::string failure(const std::string& what) { return what + ": Windows error " + std::to_string(GetLastError()); }

struct Handle {
  HANDLE h;
  ~Handle() {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
  bool close() {
    const bool ok = CloseHandle(h) != 0;
    h = INVALID_HANDLE_VALUE;
    return ok;
  }
};

std::int64_t filetime_ns(const FILETIME& t) {
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) * 100;
}

// GetFinalPathNameByHandleW answers "\\?\C:\..." or "\\?\UNC\server\...": the plain form keeps
// the path handling (and the messages) the program has for any other path.
std::wstring strip_long_path_prefix(const std::wstring& path) {
  if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\\\" + path.substr(8);
  if (path.rfind(L"\\\\?\\", 0) == 0) return path.substr(4);
  return path;
}

}  // namespace

std::string parent_directory(const std::string& path) {
  const auto slash = path.find_last_of("/\\");
  if (slash == std::string::npos) return ".";
  if (slash == 0) return path.substr(0, 1);
  if (slash == 2 && path[1] == ':') return path.substr(0, 3);  // "C:\"
  return path.substr(0, slash);
}

std::string write_file_atomically(const std::string& path, const std::string& temp_path, const std::string& contents) {
  const std::wstring temp = to_utf16(temp_path);
  DeleteFileW(temp.c_str());  // a leftover of a killed save
  Handle file{CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)};
  if (file.h == INVALID_HANDLE_VALUE) return failure("cannot create " + temp_path);
  bool ok = true;
  for (std::size_t done = 0; ok && done < contents.size();) {
    DWORD written = 0;
    const DWORD part = static_cast<DWORD>(std::min<std::size_t>(contents.size() - done, 1u << 30));
    ok = WriteFile(file.h, contents.data() + done, part, &written, nullptr) != 0 && written > 0;
    done += written;
  }
  std::string error;
  if (!ok) error = failure("cannot write " + temp_path);
  // The data must be on the disk before the move makes it the file's contents.
  if (error.empty() && !FlushFileBuffers(file.h)) error = failure("cannot flush " + temp_path);
  if (!file.close() && error.empty()) error = failure("cannot close " + temp_path);
  if (error.empty() &&
      !MoveFileExW(temp.c_str(), to_utf16(path).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    error = failure("cannot replace " + path);
  if (!error.empty()) DeleteFileW(temp.c_str());
  return error;
}

namespace {

// Only "no such file" or "no such folder" means there is nothing at the path.
bool nothing_there(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

std::string windows_error(DWORD error) { return "Windows error " + std::to_string(error); }

}  // namespace

FileRead read_whole_file(const std::string& path) {
  FileRead read;
  const std::wstring wide = to_utf16(path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    if (nothing_there(error)) return read;
    read.status = ReadStatus::Failed;
    read.error = windows_error(error);
    return read;
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    read.status = ReadStatus::NotRegular;
    read.error = "a folder";
    return read;
  }
  Handle file{CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)};
  if (file.h == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    read.status = nothing_there(error) ? ReadStatus::Missing : ReadStatus::Failed;
    read.error = windows_error(error);
    return read;
  }
  // A device name (NUL, CON) opens like a file: only a disk file is a history.
  if (GetFileType(file.h) != FILE_TYPE_DISK) {
    read.status = ReadStatus::NotRegular;
    read.error = "a device";
    return read;
  }
  char buffer[16384];
  for (;;) {
    DWORD n = 0;
    if (!ReadFile(file.h, buffer, sizeof buffer, &n, nullptr)) {
      read.status = ReadStatus::Failed;
      read.error = windows_error(GetLastError());
      read.contents.clear();
      return read;
    }
    if (n == 0) break;
    read.contents.append(buffer, n);
  }
  read.status = ReadStatus::Read;
  return read;
}

// MoveFileExW acts on a link itself, so a save through a link goes to the file it ends in:
// the system resolves the whole chain when the link is opened.
WriteTarget write_target(const std::string& path) {
  const std::wstring wide = to_utf16(path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  // Every existing file is resolved, not only reparse points: wine shows a Unix link as a
  // plain file, and for a plain file the answer is the file itself.
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return {path, {}};
  Handle file{CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)};
  if (file.h == INVALID_HANDLE_VALUE) return {{}, failure("cannot follow the link " + path)};
  std::wstring target(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    const DWORD n = GetFinalPathNameByHandleW(file.h, target.data(), static_cast<DWORD>(target.size()),
                                              FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n == 0) break;
    if (n < target.size()) {
      target.resize(n);
      return {to_utf8(strip_long_path_prefix(target)), {}};
    }
    target.assign(n, L'\0');  // n counts the terminator when the buffer was too small
  }
  return {{}, failure("cannot follow the link " + path)};
}

bool remove_file(const std::string& path) {
  return DeleteFileW(to_utf16(path).c_str()) != 0 || nothing_there(GetLastError());
}

bool make_directories(const std::string& dir) {
  const std::wstring wide = to_utf16(dir);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  const std::string parent = parent_directory(dir);
  if (parent != dir && !make_directories(parent)) return false;
  return CreateDirectoryW(wide.c_str(), nullptr) != 0 || GetLastError() == ERROR_ALREADY_EXISTS;
}

FileStamp stamp_of(const std::string& path) {
  FileStamp s;
  Handle file{CreateFileW(to_utf16(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)};
  BY_HANDLE_FILE_INFORMATION info{};
  if (file.h == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(file.h, &info)) return s;
  s.exists = true;
  s.device = info.dwVolumeSerialNumber;
  s.inode = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  s.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  s.mtime_ns = filetime_ns(info.ftLastWriteTime);
  s.ctime_ns = filetime_ns(info.ftCreationTime);
  return s;
}

bool file_exists(const std::string& path) {
  return GetFileAttributesW(to_utf16(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string keep_under_second_name(const std::string& path, const std::string& target) {
  const std::wstring from = to_utf16(path), to = to_utf16(target);
  if (CreateHardLinkW(to.c_str(), from.c_str(), nullptr) || MoveFileExW(from.c_str(), to.c_str(), 0)) return {};
  return failure("cannot rename " + path);
}

std::string process_tag() { return std::to_string(GetCurrentProcessId()); }
