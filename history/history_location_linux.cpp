// The facts for choose_history_path on Linux.
#include <cstdlib>
#include <vector>

#include <pwd.h>
#include <unistd.h>

#include "history/atomic_file.h"
#include "history/history_location.h"

namespace {

std::optional<std::string> variable(const char* name) {
  const char* value = std::getenv(name);
  if (!value) return std::nullopt;
  return std::string(value);
}

std::string executable_path() {
  std::vector<char> buffer(4096);
  for (;;) {
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return {};
    if (static_cast<std::size_t>(n) < buffer.size()) return std::string(buffer.data(), static_cast<std::size_t>(n));
    buffer.resize(buffer.size() * 2);
  }
}

std::optional<std::string> home_directory() {
  if (auto home = variable("HOME"); home && !home->empty()) return home;
  std::vector<char> buffer(16384);
  passwd pw{};
  passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &pw, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir)
    return std::string(found->pw_dir);
  return std::nullopt;
}

}  // namespace

std::string locate_history_file() {
  HistoryLocationFacts facts;
  facts.history_variable = variable("STRELVIK_HISTORY");
  if (facts.history_variable && !facts.history_variable->empty()) return *facts.history_variable;
  facts.executable_path = executable_path();
  facts.executable_in_system_folder =
      path_inside_any(facts.executable_path, {"/usr", "/bin", "/sbin", "/lib", "/lib64", "/opt", "/snap"}, false);
  // The file a save would replace: a link beside the executable counts by its target.
  std::string target = write_target(history_path_beside(facts.executable_path)).path;
  if (target.empty()) target = history_path_beside(facts.executable_path);
  facts.file_beside_executable_exists = ::access(target.c_str(), F_OK) == 0;
  facts.file_beside_executable_writable = ::access(target.c_str(), W_OK) == 0;
  facts.executable_directory_writable = ::access(parent_directory(target).c_str(), W_OK) == 0;
  facts.xdg_data_home = variable("XDG_DATA_HOME");
  facts.home = home_directory();
  return choose_history_path(facts);
}
