#include "tests/leaderboard_server/headless_browser.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

extern char** environ;

using nlohmann::json;

namespace {

// Every browser gets a fresh profile and none of the background traffic (updates, sync).
std::vector<std::string> chromium_argv(const fs::path& profile) {
  return {"timeout",
          "60",
          "chromium",
          "--headless",
          "--no-sandbox",
          "--disable-gpu",
          "--disable-background-networking",
          "--disable-component-update",
          "--disable-sync",
          "--no-first-run",
          "--user-data-dir=" + profile.string()};
}

fs::path fresh_name(const fs::path& dir, const std::string& stem) {
  static int count = 0;
  return dir / (stem + "-" + std::to_string(++count));
}

// Replies and events arrive within this much of a request, or the browser is taken as hung.
constexpr auto kReplyTimeout = std::chrono::seconds(30);

}  // namespace

std::string dump_dom(const std::string& url, const fs::path& work_dir) {
  const fs::path base = fresh_name(work_dir, "dom");
  auto argv = chromium_argv(base.string() + ".profile");
  // The virtual time budget lets the page's requests and timers finish before the dump.
  argv.insert(argv.end(), {"--virtual-time-budget=10000", "--dump-dom", url});
  const fs::path out = base.string() + ".html", err = base.string() + ".err";
  const int code = wait_exit(spawn_program(argv, out, err));
  if (code != 0)
    throw std::runtime_error("chromium exited with " + std::to_string(code) +
                             " (scripts/install-deps.sh installs it): " + read_file(err));
  return read_file(out);
}

DevToolsTab::DevToolsTab(const fs::path& work_dir, int width, int height) {
  // The DevTools pipe: the browser reads commands on descriptor 3 and writes on 4.
  int to[2], from[2];
  if (pipe2(to, O_CLOEXEC) != 0 || pipe2(from, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  const fs::path base = fresh_name(work_dir, "devtools");
  auto argv = chromium_argv(base.string() + ".profile");
  argv.insert(argv.end(), {"--remote-debugging-pipe", "about:blank"});
  const std::string log = base.string() + ".log";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  posix_spawn_file_actions_adddup2(&actions, to[0], 3);
  posix_spawn_file_actions_adddup2(&actions, from[1], 4);
  std::vector<char*> args;
  for (std::string& arg : argv) args.push_back(arg.data());
  args.push_back(nullptr);
  const int rc = posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(to[0]);
  close(from[1]);
  to_browser_ = to[1];
  from_browser_ = from[0];
  if (rc != 0) {
    pid_ = -1;
    throw std::runtime_error("cannot start chromium (scripts/install-deps.sh installs it)");
  }
  const std::string target = call("Target.createTarget", {{"url", "about:blank"}}, false)["targetId"];
  session_ = call("Target.attachToTarget", {{"targetId", target}, {"flatten", true}}, false)["sessionId"];
  call("Page.enable", json::object());
  call("Emulation.setDeviceMetricsOverride",
       {{"width", width}, {"height", height}, {"deviceScaleFactor", 1}, {"mobile", true}});
}

DevToolsTab::~DevToolsTab() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);  // reaches `timeout`, which passes it on to the browser
    wait_exit(pid_);
  }
  if (to_browser_ >= 0) close(to_browser_);
  if (from_browser_ >= 0) close(from_browser_);
}

void DevToolsTab::open(const std::string& url) {
  events_.clear();
  const json reply = call("Page.navigate", {{"url", url}});
  if (reply.contains("errorText")) throw std::runtime_error("cannot open " + url + ": " + reply.dump());
  wait_for_event("Page.loadEventFired");
}

json DevToolsTab::evaluate(const std::string& expression) {
  const json reply =
      call("Runtime.evaluate", {{"expression", expression}, {"awaitPromise", true}, {"returnByValue", true}});
  if (reply.contains("exceptionDetails")) throw std::runtime_error("script failed: " + reply.dump());
  return reply["result"].value("value", json());
}

json DevToolsTab::call(const std::string& method, const json& params, bool in_tab) {
  const int id = ++next_id_;
  json message = {{"id", id}, {"method", method}, {"params", params}};
  if (in_tab) message["sessionId"] = session_;
  const std::string text = message.dump() + '\0';
  for (std::size_t done = 0; done < text.size();) {
    const ssize_t n = write(to_browser_, text.data() + done, text.size() - done);
    if (n <= 0) throw std::runtime_error("the browser closed its DevTools pipe");
    done += static_cast<std::size_t>(n);
  }
  for (;;) {
    json reply = next_message();
    if (reply.value("id", -1) == id) {
      if (reply.contains("error")) throw std::runtime_error(method + " failed: " + reply["error"].dump());
      return reply["result"];
    }
    if (reply.contains("method")) events_.push_back(std::move(reply));
  }
}

void DevToolsTab::wait_for_event(const std::string& method) {
  for (std::size_t seen = 0;; ++seen) {
    while (seen >= events_.size()) events_.push_back(next_message());
    if (events_[seen].value("method", "") == method) return;
  }
}

json DevToolsTab::next_message() {
  const auto deadline = std::chrono::steady_clock::now() + kReplyTimeout;
  for (;;) {
    if (const auto end = buffer_.find('\0'); end != std::string::npos) {
      json message = json::parse(buffer_.substr(0, end));
      buffer_.erase(0, end + 1);
      if (message.value("method", "") == "Page.javascriptDialogOpening") dialog_opened_ = true;
      return message;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd p{from_browser_, POLLIN, 0};
    if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0)
      throw std::runtime_error("the browser did not answer within " + std::to_string(kReplyTimeout.count()) + " s");
    char chunk[65536];
    const ssize_t n = read(from_browser_, chunk, sizeof chunk);
    if (n <= 0) throw std::runtime_error("the browser closed its DevTools pipe");
    buffer_.append(chunk, static_cast<std::size_t>(n));
  }
}
