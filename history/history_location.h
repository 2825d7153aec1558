#pragma once
// Where history.json lives.
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

// What the choice depends on, gathered from the environment by locate_history_file().
struct HistoryLocationFacts {
  std::optional<std::string> history_variable;  // STRELVIK_HISTORY
  std::string executable_path;                  // empty when unknown
  // Of the file a save beside the executable would replace (a symbolic link's target):
  bool file_beside_executable_exists = false;
  bool file_beside_executable_writable = false;
  bool executable_directory_writable = false;  // the folder that file is (or would be) in
  // An installed program (/usr/bin, /opt, Program Files): never writes beside itself, even when
  // it could (as root, or elevated), so every user keeps their results in their own folder.
  bool executable_in_system_folder = false;
  std::optional<std::string> xdg_data_home;
  std::optional<std::string> home;
  std::optional<std::string> local_app_data;  // Windows: %LOCALAPPDATA%
};

// The characters that end a folder's name in a path: '/', and on Windows '\' as well.
#ifdef _WIN32
inline constexpr char kPathSeparators[] = "/\\";
#else
inline constexpr char kPathSeparators[] = "/";
#endif

// "history.json" in the directory of the executable: everything before the last separator, or
// "." when the path has none, joined with the separator found there.
std::string history_path_beside(const std::string& executable_path, const char* separators = kPathSeparators);

// True when `path` lies inside one of `folders` (whole folder names only: "/usr" holds
// "/usr/bin/x" but not "/usrlocal/x"). With `windows_paths` both separators count and letters
// compare without case, as Windows compares them.
bool path_inside_any(std::string_view path, std::initializer_list<std::string_view> folders, bool windows_paths);

// True when this user can save the file beside the executable: it is writable and so is its
// folder (a save renames a new version into it), or it is absent and the folder is writable.
bool history_beside_executable_usable(const HistoryLocationFacts& facts);

// STRELVIK_HISTORY when set and not empty; else the file beside the executable when it is
// usable and the executable is not installed in a system folder; else
// $XDG_DATA_HOME/strelvik/history.json (an absolute XDG_DATA_HOME only, defaulting to ~/.local/share), so that an
// installed program, or one whose file another user made there, keeps each user's results (on Windows
// %LOCALAPPDATA%\\Strelvik\\history.json in its place); the file beside the executable when no home is known either.
// The same rule on every platform; only the facts are gathered per platform.
std::string choose_history_path(const HistoryLocationFacts& facts);

// Gathers the facts from this process and its environment and applies choose_history_path.
std::string locate_history_file();
