#include "history/history_location.h"

#include <cctype>

std::string history_path_beside(const std::string& executable_path, const char* separators) {
  const auto slash = executable_path.find_last_of(separators);
  if (slash == std::string::npos) return "./history.json";
  return executable_path.substr(0, slash + 1) + "history.json";
}

bool path_inside_any(std::string_view path, std::initializer_list<std::string_view> folders, bool windows_paths) {
  const auto same = [windows_paths](char a, char b) {
    if (!windows_paths) return a == b;
    if (a == '\\') a = '/';
    if (b == '\\') b = '/';
    return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
  };
  for (std::string_view folder : folders) {
    while (!folder.empty() && (folder.back() == '/' || (windows_paths && folder.back() == '\\')))
      folder.remove_suffix(1);
    if (folder.empty() || path.size() <= folder.size()) continue;
    const char next = path[folder.size()];
    if (next != '/' && !(windows_paths && next == '\\')) continue;
    bool match = true;
    for (std::size_t i = 0; i < folder.size() && match; ++i) match = same(path[i], folder[i]);
    if (match) return true;
  }
  return false;
}

bool history_beside_executable_usable(const HistoryLocationFacts& facts) {
  // A save replaces the file by a rename in its folder, so the folder must be writable too.
  if (!facts.executable_directory_writable) return false;
  return !facts.file_beside_executable_exists || facts.file_beside_executable_writable;
}

std::string choose_history_path(const HistoryLocationFacts& facts) {
  if (facts.history_variable && !facts.history_variable->empty()) return *facts.history_variable;
  const std::string beside = history_path_beside(facts.executable_path);
  if (!facts.executable_in_system_folder && history_beside_executable_usable(facts)) return beside;
  if (facts.local_app_data && !facts.local_app_data->empty()) return *facts.local_app_data + "\\Strelvik\\history.json";
  if (facts.xdg_data_home && !facts.xdg_data_home->empty() && facts.xdg_data_home->front() == '/')
    return *facts.xdg_data_home + "/strelvik/history.json";
  if (facts.home && !facts.home->empty()) return *facts.home + "/.local/share/strelvik/history.json";
  return beside;
}
