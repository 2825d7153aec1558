#include "leaderboard_client/leaderboard_client.h"

#include <exception>
#include <system_error>
#include <utility>

#include "leaderboard_client/http_transport.h"

namespace {

std::string leaderboard_path(RunKind kind) { return std::string("/api.php?type=") + run_kind_text(kind); }

// A server of the version before the SMT board refuses the kind (a fetch with 400, a submission
// with its reason about the type) and keeps the other two: say so, not the bare refusal.
std::string request_error_text(RunKind kind, const std::string& error) {
  const bool refused_type = error == "HTTP 400" || (error.rfind("Server rejected: ", 0) == 0 &&
                                                    error.find("type must be") != std::string::npos);
  if (kind == RunKind::smt && refused_type) return kNoSmtBoardText;
  return error;
}

}  // namespace

LeaderboardClient::LeaderboardClient() : LeaderboardClient(leaderboard_settings_from_environment()) {}

LeaderboardClient::LeaderboardClient(LeaderboardSettings settings, ThreadLauncher launcher)
    : settings_(std::move(settings)), launcher_(std::move(launcher)) {
  if (!launcher_) {
    launcher_ = [](std::function<void()> body) { return std::thread(std::move(body)); };
  }
  init_http_transport();  // here, on the owner's thread, before any request thread exists
}

LeaderboardClient::~LeaderboardClient() { stop_all(); }

void LeaderboardClient::start_request(std::function<void()> body,
                                      const std::function<void(const std::string&)>& on_failure) {
  auto finished = std::make_shared<std::atomic<bool>>(false);
  std::string launch_error;
  {
    std::lock_guard lock(threads_mutex_);
    // Finished threads go now, so a window left open for days does not keep one per refresh.
    // Their bodies have ended: each join only waits for the thread's own exit.
    std::erase_if(request_threads_, [](RequestThread& entry) {
      if (!entry.finished->load()) return false;
      if (entry.thread.joinable()) entry.thread.join();
      return true;
    });
    try {
      std::thread thread = launcher_([body = std::move(body), finished] {
        body();
        finished->store(true);
      });
      request_threads_.push_back(RequestThread{std::move(thread), std::move(finished)});
      requests_started_.fetch_add(1);
    } catch (const std::exception& e) {
      launch_error = e.what();
    }
  }
  // Published after the thread lock is released: no two locks are ever held together.
  if (!launch_error.empty()) on_failure(launch_error);
}

void LeaderboardClient::stop_all() {
  std::lock_guard lock(threads_mutex_);
  for (RequestThread& entry : request_threads_) {
    if (entry.thread.joinable()) entry.thread.join();
  }
  request_threads_.clear();
}

std::size_t LeaderboardClient::request_thread_count() {
  std::lock_guard lock(threads_mutex_);
  return request_threads_.size();
}

std::vector<LeaderboardRow>& LeaderboardClient::rows_slot(RunKind kind) {
  switch (kind) {
    case RunKind::single: return single_rows;
    case RunKind::smt: return smt_rows;
    case RunKind::multi: return multi_rows;
  }
  return multi_rows;  // unreachable: every kind is listed above
}

void LeaderboardClient::store_rows(RunKind kind, std::vector<LeaderboardRow> rows) {
  std::lock_guard lock(data_mutex);
  rows_slot(kind) = std::move(rows);
}

void LeaderboardClient::fetch(RunKind kind) {
  start_request([this, kind] { fetch_worker(kind); },
                [this](const std::string& message) {
                  std::lock_guard lock(status_mutex);
                  fetch_error = message;
                });
}

void LeaderboardClient::fetch_worker(RunKind kind) {
  pending.fetch_add(1);
  try {
    std::vector<LeaderboardRow> rows = read_rows(http_get(settings_, leaderboard_path(kind)));
    store_rows(kind, std::move(rows));
    std::lock_guard lock(status_mutex);
    fetch_error.clear();
  } catch (const std::exception& e) {
    std::lock_guard lock(status_mutex);
    fetch_error = request_error_text(kind, e.what());
  }
  pending.fetch_sub(1);
}

void LeaderboardClient::submit(const std::string& cpu, RunKind kind, std::int32_t score, std::int32_t threads) {
  if (!settings_.submissions_enabled) return;
  start_request([this, cpu, kind, score, threads] { submit_worker(cpu, kind, score, threads); },
                [this](const std::string& message) {
                  std::lock_guard lock(status_mutex);
                  submit_status = "Submit error: " + message;
                });
}

void LeaderboardClient::submit_worker(const std::string& cpu, RunKind kind, std::int32_t score, std::int32_t threads) {
  pending.fetch_add(1);
  try {
    {
      std::lock_guard lock(status_mutex);
      submit_status = "Submitting...";
    }
    check_submission_reply(http_post(settings_, "/api.php", submission_body(cpu, kind, score, threads)));
    std::vector<LeaderboardRow> rows = read_rows(http_get(settings_, leaderboard_path(kind)));
    store_rows(kind, std::move(rows));
    std::lock_guard lock(status_mutex);
    submit_status = std::string("Submitted OK (") + run_kind_text(kind) + " " + std::to_string(score) + ")";
    fetch_error.clear();  // the board was just fetched with it: an older fetch's failure is past
  } catch (const std::exception& e) {
    std::lock_guard lock(status_mutex);
    submit_status = "Submit error: " + request_error_text(kind, e.what());
  }
  pending.fetch_sub(1);
}

void LeaderboardClient::compare_then_submit(const std::string& cpu, RunKind kind, std::int32_t score,
                                            std::int32_t threads, bool submit) {
  submit = submit && settings_.submissions_enabled;
  if (!settings_.unusable_reason.empty()) {
    if (settings_.unusable_reason != kNotConfigured) store_comparison(kind, {std::nullopt, settings_.unusable_reason});
    if (submit) this->submit(cpu, kind, score, threads);  // publishes the same reason as its status
    return;
  }
  store_comparison(kind, {std::nullopt, std::string(kComparing)});
  start_request(
      [this, cpu, kind, score, threads, submit] {
        compare_worker(cpu, kind, score);
        if (submit) submit_worker(cpu, kind, score, threads);
      },
      [this, kind, submit](const std::string& message) {
        store_comparison(kind, {std::nullopt, "No comparison: " + message});
        if (!submit) return;
        std::lock_guard lock(status_mutex);
        submit_status = "Submit error: " + message;
      });
}

void LeaderboardClient::compare_worker(const std::string& cpu, RunKind kind, std::int32_t score) {
  pending.fetch_add(1);
  store_comparison(kind, fetch_comparison(settings_, kind, cpu, score));  // never raises
  pending.fetch_sub(1);
}

void LeaderboardClient::store_comparison(RunKind kind, ComparisonOutcome outcome) {
  std::lock_guard lock(data_mutex);
  comparisons[kind] = std::move(outcome);
}

std::optional<ComparisonOutcome> LeaderboardClient::comparison(RunKind kind) {
  std::lock_guard lock(data_mutex);
  const auto it = comparisons.find(kind);
  if (it == comparisons.end()) return std::nullopt;
  return it->second;
}

void LeaderboardClient::clear_comparison(RunKind kind) {
  std::lock_guard lock(data_mutex);
  comparisons.erase(kind);
}

std::vector<LeaderboardRow> LeaderboardClient::rows(RunKind kind) {
  std::lock_guard lock(data_mutex);
  return rows_slot(kind);
}

std::string LeaderboardClient::fetch_error_text() {
  std::lock_guard lock(status_mutex);
  return fetch_error;
}

std::string LeaderboardClient::submit_status_text() {
  std::lock_guard lock(status_mutex);
  return submit_status;
}
