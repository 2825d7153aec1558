// The leaderboard server under the attacks its front must withstand, on loopback, with figures:
//   - a fresh client's GET while 500 idle connections and 70 slow senders are open;
//   - peak memory (VmHWM) growth from a 200 MiB chunked POST and from a 61 MiB header flood.
// Each figure is the median of 3 runs on a fresh server. Given a second server program (the one
// before), it is measured in the same run and the ratio printed: the machine is shared and noisy.
//
//   bench_server_front_limits path/to/strelvik-leaderboard [path/to/baseline-strelvik-leaderboard]
// Stops by itself: every wait is bounded (at most 5 s for an answer, 10 s for a send).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/listening_server.h"

namespace {

using Clock = std::chrono::steady_clock;

// The server on 127.0.0.1 and a free port, rate limit off; the bench ends when it
// cannot start one.
ListeningServer start_server(const std::string& program, const fs::path& dir, int id) {
  const std::string name = std::to_string(id);
  try {
    return start_listening_server({program, "--listen", "127.0.0.1:0", "--database",
                                   (dir / ("bench-" + name + ".sqlite")).string(), "--rate-limit", "0"},
                                  dir / ("server-" + name + ".out"), dir / ("server-" + name + ".err"),
                                  std::chrono::seconds(5));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    std::exit(1);
  }
}

void stop_server(ListeningServer& s) { kill_program(s.pid); }  // the stop itself is not measured here

// Peak resident memory of the process so far, in KiB.
long peak_rss_kib(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  return -1;
}

int connect_from(int port, const std::string& source) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in from{};
  from.sin_family = AF_INET;
  inet_pton(AF_INET, source.c_str(), &from.sin_addr);
  bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  to.sin_port = htons(static_cast<std::uint16_t>(port));
  if (connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
    close(fd);
    return -1;
  }
  timeval limit{10, 0};
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
  return fd;
}

bool send_all(int fd, const char* data, std::size_t size) {
  for (std::size_t done = 0; done < size;) {
    const ssize_t n = send(fd, data + done, size - done, MSG_NOSIGNAL);
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Waits up to `limit` for the first bytes of a reply; returns the status line, or empty.
std::string read_status(int fd, std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  std::string got;
  while (got.find("\r\n") == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    pollfd p{fd, POLLIN, 0};
    if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0) return {};
    char buf[4096];
    const ssize_t n = recv(fd, buf, sizeof buf, 0);
    if (n <= 0) return got.substr(0, got.find("\r\n"));
    got.append(buf, static_cast<std::size_t>(n));
  }
  return got.substr(0, got.find("\r\n"));
}

// Milliseconds until a fresh client's GET is answered with 500 idle and 70 slow connections open;
// empty when no answer came within 5 s.
std::optional<double> fresh_get_under_siege(int port) {
  std::vector<int> idle, slow;
  for (int i = 0; i < 500; ++i) idle.push_back(connect_from(port, "127.0.1." + std::to_string(i / 10 + 1)));
  for (int i = 0; i < 70; ++i) {
    slow.push_back(connect_from(port, "127.0.2." + std::to_string(i / 10 + 1)));
    send_all(slow.back(), "POST /api.php HTTP/1.1\r\n", 24);
  }
  std::atomic<bool> done{false};
  std::thread dripper([&] {
    // One byte a second on every slow connection: each byte restarts a per-read time-out.
    while (!done) {
      for (int fd : slow)
        if (fd >= 0) send(fd, "X", 1, MSG_NOSIGNAL | MSG_DONTWAIT);
      for (int i = 0; i < 10 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  });
  std::this_thread::sleep_for(std::chrono::seconds(3));  // the siege settles in
  std::optional<double> ms;
  const auto start = Clock::now();
  const int fd = connect_from(port, "127.0.0.1");
  const std::string get = "GET /api.php?type=single HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n";
  if (fd >= 0 && send_all(fd, get.data(), get.size()) &&
      read_status(fd, std::chrono::milliseconds(5000)).rfind("HTTP/1.1 200", 0) == 0)
    ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  if (fd >= 0) close(fd);
  done = true;
  dripper.join();
  for (int f : idle) close(f);
  for (int f : slow) close(f);
  return ms;
}

// Growth of the server's peak memory, in MiB, from one request that `send_request` sends.
template <class Send>
double peak_growth_mib(pid_t pid, int port, Send&& send_request) {
  // One ordinary request first, so that what a first request costs anyway is not counted.
  const int warm = connect_from(port, "127.0.0.1");
  const char* get = "GET /api.php?type=single HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n";
  send_all(warm, get, std::strlen(get));
  read_status(warm, std::chrono::milliseconds(5000));
  close(warm);
  const long before = peak_rss_kib(pid);
  const int fd = connect_from(port, "127.0.0.1");
  send_request(fd);
  read_status(fd, std::chrono::milliseconds(5000));
  close(fd);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // let the server finish with it
  return static_cast<double>(peak_rss_kib(pid) - before) / 1024.0;
}

void chunked_200_mib(int fd) {
  const std::string head =
      "POST /api.php HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\nTransfer-Encoding: chunked\r\n\r\n";
  if (!send_all(fd, head.data(), head.size())) return;
  std::string chunk = "100000\r\n" + std::string(1 << 20, ' ') + "\r\n";
  for (int i = 0; i < 200; ++i)
    if (!send_all(fd, chunk.data(), chunk.size())) return;  // refused and closed: the point
  send_all(fd, "0\r\n\r\n", 5);
}

void header_flood(int fd) {
  std::string head = "GET /api.php?type=single HTTP/1.1\r\nHost: x\r\n";
  if (!send_all(fd, head.data(), head.size())) return;
  const std::string value(7600, 'f');
  for (int i = 0; i < 8000; ++i) {
    const std::string line = "X-Flood-" + std::to_string(i) + ": " + value + "\r\n";
    if (!send_all(fd, line.data(), line.size())) return;
  }
  send_all(fd, "\r\n", 2);
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

struct Figures {
  std::string fresh_get;  // median ms, or "no answer in 5 s"
  double fresh_ms = -1;
  double chunked_mib = 0, flood_mib = 0;
};

Figures measure(const std::string& program, const fs::path& dir, int& id) {
  std::vector<double> fresh, chunked, flood;
  int unanswered = 0;
  for (int run = 0; run < 3; ++run) {
    ListeningServer s = start_server(program, dir, ++id);
    if (auto ms = fresh_get_under_siege(s.port))
      fresh.push_back(*ms);
    else
      ++unanswered;
    stop_server(s);
    s = start_server(program, dir, ++id);
    chunked.push_back(peak_growth_mib(s.pid, s.port, chunked_200_mib));
    stop_server(s);
    s = start_server(program, dir, ++id);
    flood.push_back(peak_growth_mib(s.pid, s.port, header_flood));
    stop_server(s);
  }
  Figures f;
  char text[64];
  if (unanswered >= 2) {
    f.fresh_get = "no answer in 5 s";
  } else {
    while (fresh.size() < 3) fresh.push_back(5000.0);  // one run unanswered counts as the worst
    f.fresh_ms = median(fresh);
    std::snprintf(text, sizeof text, "%.1f ms", f.fresh_ms);
    f.fresh_get = text;
  }
  f.chunked_mib = median(chunked);
  f.flood_mib = median(flood);
  return f;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s path/to/strelvik-leaderboard [path/to/baseline]\n", argv[0]);
    return 2;
  }
  signal(SIGPIPE, SIG_IGN);
  const TempDir dir;
  int id = 0;
  const Figures now = measure(argv[1], dir.path(), id);
  std::optional<Figures> before;
  if (argc > 2) before = measure(argv[2], dir.path(), id);

  std::printf("strelvik-leaderboard front limits, median of 3 runs each, %u cores\n",
              std::thread::hardware_concurrency());
  std::printf("%-52s %-18s %-18s\n", "", "this server", before ? "baseline" : "");
  std::printf("%-52s %-18s %-18s (target < 1000 ms)\n", "fresh GET, 500 idle + 70 slow connections open",
              now.fresh_get.c_str(), before ? before->fresh_get.c_str() : "");
  char a[32], b[32];
  std::snprintf(a, sizeof a, "%.1f MiB", now.chunked_mib);
  std::snprintf(b, sizeof b, "%.1f MiB", before ? before->chunked_mib : 0.0);
  std::printf("%-52s %-18s %-18s (target < 8 MiB)\n", "peak RSS growth, 200 MiB chunked POST", a, before ? b : "");
  std::snprintf(a, sizeof a, "%.1f MiB", now.flood_mib);
  std::snprintf(b, sizeof b, "%.1f MiB", before ? before->flood_mib : 0.0);
  std::printf("%-52s %-18s %-18s (target < 8 MiB)\n", "peak RSS growth, 61 MiB header block (8000 fields)", a,
              before ? b : "");
  return 0;
}
