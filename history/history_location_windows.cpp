// The facts for choose_history_path on Windows.
#include <windows.h>

#include <cstdlib>
#include <vector>

#include "history/atomic_file.h"
#include "history/history_location.h"
#include "history/utf16_windows.h"

namespace {

std::optional<std::string> variable(const wchar_t* name) {
  const wchar_t* value = _wgetenv(name);
  if (!value) return std::nullopt;
  return to_utf8(value);
}

std::string executable_path() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (int attempt = 0; attempt < 6; ++attempt) {
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) return to_utf8(std::wstring(buffer.data(), n));
    buffer.resize(buffer.size() * 4);
  }
  return {};
}

// Whether a file can be created in `dir`: the only answer that counts under Program Files.
bool directory_writable(const std::string& dir) {
  const std::wstring probe = to_utf16(dir + "\\strelvik-" + process_tag() + ".probe");
  HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

}  // namespace

std::string locate_history_file() {
  HistoryLocationFacts facts;
  facts.history_variable = variable(L"STRELVIK_HISTORY");
  if (facts.history_variable && !facts.history_variable->empty()) return *facts.history_variable;
  facts.executable_path = executable_path();
  const std::string none;  // an unset variable names no folder
  facts.executable_in_system_folder =
      path_inside_any(facts.executable_path,
                      {variable(L"ProgramFiles").value_or(none), variable(L"ProgramFiles(x86)").value_or(none),
                       variable(L"ProgramW6432").value_or(none), variable(L"SystemRoot").value_or(none)},
                      true);
  const std::string beside = history_path_beside(facts.executable_path);
  facts.file_beside_executable_exists = file_exists(beside);
  facts.executable_directory_writable = directory_writable(parent_directory(beside));
  // Writable when it can be opened for writing without changing it (a read-only file, or one
  // another user owns under Program Files, cannot).
  if (facts.file_beside_executable_exists) {
    HANDLE file =
        CreateFileW(to_utf16(beside).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    facts.file_beside_executable_writable = file != INVALID_HANDLE_VALUE;
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  }
  facts.local_app_data = variable(L"LOCALAPPDATA");
  return choose_history_path(facts);
}
