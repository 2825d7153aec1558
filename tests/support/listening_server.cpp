#include "tests/support/listening_server.h"

#include <charconv>
#include <stdexcept>
#include <thread>

std::optional<ListeningServer> parse_listening_line(std::string_view output) {
  const auto at = output.find(" listening on ");
  if (at == std::string_view::npos) return std::nullopt;
  const auto end = output.find('\n', at);
  if (end == std::string_view::npos) return std::nullopt;
  std::string_view line = output.substr(at, end - at);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  const auto colon = line.rfind(':');
  if (colon == std::string_view::npos) return std::nullopt;
  ListeningServer found;
  const auto [next, ec] = std::from_chars(line.data() + colon + 1, line.data() + line.size(), found.port);
  if (ec != std::errc() || next != line.data() + line.size()) return std::nullopt;
  found.tls = line.find("https://") != std::string_view::npos;
  return found;
}

ListeningServer start_listening_server(const std::vector<std::string>& argv, const fs::path& out, const fs::path& err,
                                       std::chrono::seconds limit) {
  const pid_t pid = spawn_program(argv, out, err);
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    if (auto found = parse_listening_line(read_file(out))) {
      found->pid = pid;
      return *found;
    }
    if (exit_code_if_ended(pid)) throw std::runtime_error(argv[0] + " exited at start: " + read_file(err));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  kill_program(pid);
  throw std::runtime_error(argv[0] + " did not start listening: " + read_file(err));
}
