#include "tests/support/test_processes.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <stdexcept>

extern char** environ;

pid_t spawn_program(const std::vector<std::string>& argv, const fs::path& out, const fs::path& err) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  std::vector<char*> args;
  for (const std::string& arg : argv) {
    args.push_back(const_cast<char*>(arg.c_str()));
  }
  args.push_back(nullptr);
  pid_t pid = -1;
  const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    throw std::runtime_error("cannot start " + argv[0]);
  }
  return pid;
}

int wait_exit(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {}
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::optional<int> exit_code_if_ended(pid_t pid) {
  int status = 0;
  if (waitpid(pid, &status, WNOHANG) != pid) return std::nullopt;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int stop_program(pid_t pid) {
  if (pid <= 0) return -1;  // kill(-1) would signal every process
  kill(pid, SIGTERM);
  return wait_exit(pid);
}

void kill_program(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGKILL);
  wait_exit(pid);
}

std::string unix_path(const fs::path& path) { return path.string(); }

int run_program(const std::vector<std::string>& argv, const fs::path& log) {
  return wait_exit(spawn_program(argv, log, log));
}

Certificate make_self_signed_certificate(const fs::path& dir, const std::string& name) {
  Certificate c{dir / (name + "-cert.pem"), dir / (name + "-key.pem")};
  const fs::path log = dir / (name + "-openssl.log");
  const int rc = run_program({"openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                              "-nodes", "-keyout", c.key.string(), "-out", c.cert.string(), "-days", "2", "-subj",
                              "/CN=localhost", "-addext", "subjectAltName=IP:127.0.0.1,DNS:localhost"},
                             log);
  if (rc != 0) {
    throw std::runtime_error("openssl failed: " + read_file(log));
  }
  return c;
}

int free_loopback_port() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  close(fd);
  return ntohs(address.sin_port);
}

bool catches_signal(pid_t pid, int signal_number) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("SigCgt:", 0) != 0) continue;
    const unsigned long long mask = std::strtoull(line.c_str() + 7, nullptr, 16);
    return (mask >> (signal_number - 1)) & 1u;
  }
  return false;
}
