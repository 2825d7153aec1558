#include "leaderboard_server/api/http_api.h"

#include "leaderboard_server/api/web_routes.h"
#include "leaderboard_server/front/access_log.h"
#include "leaderboard_server/front/error_reply.h"
#include "leaderboard_server/rules/submission.h"

#include <openssl/rand.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace {

bool is_json_media_type(const std::string& content_type) {
  // "application/json; charset=utf-8" is the same media type; parameters and case do not matter.
  std::string type = content_type.substr(0, content_type.find(';'));
  const auto not_space = [](unsigned char c) { return !std::isspace(c); };
  type.erase(type.begin(), std::find_if(type.begin(), type.end(), not_space));
  type.erase(std::find_if(type.rbegin(), type.rend(), not_space).base(), type.end());
  std::transform(type.begin(), type.end(), type.begin(), [](unsigned char c) { return std::tolower(c); });
  return type == kJsonType;
}

std::string default_reason(int status) {
  switch (status) {
    case 400: return "bad request";
    case 404: return "not found; the leaderboard lives at /api.php";
    case 405: return "method not allowed";
    case 413: return "request body is larger than " + std::to_string(kMaxBodyBytes) + " bytes";
    case 414: return "request target is too long";
    case 415: return "Content-Type must be application/json";
    case 429: return "too many submissions; try again later";
    case 500: return "internal server error";
    case 503: return kDatabaseUnavailable;
    default: return "HTTP error " + std::to_string(status);
  }
}

// The User-Agent is kept to tell benchmark versions apart; it is client-chosen, so it is cut
// short and reduced to printable ASCII before a database (PostgreSQL wants valid UTF-8) sees it.
std::string printable_user_agent(std::string ua) {
  if (ua.size() > 200) ua.resize(200);
  for (char& c : ua)
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) c = '?';
  return ua;
}

void log_store_error(const StoreError& e) { std::fprintf(stderr, "database error: %s\n", e.what()); }

void method_not_allowed_or_not_found(const httplib::Request& req, httplib::Response& res) {
  if (req.path == "/api.php") {
    res.set_header("Allow", "GET, HEAD, POST");
    set_error_reply(res, 405, req.method + " is not allowed on /api.php; use GET or POST");
  } else if (req.path == "/healthz") {
    res.set_header("Allow", "GET, HEAD");
    set_error_reply(res, 405, req.method + " is not allowed on /healthz; use GET");
  } else if (req.method == "GET" && req.get_header_value("Accept").find("text/html") != std::string::npos) {
    // A browser that followed a stale link gets a page with the way back, not JSON.
    res.status = 404;
    res.set_content(
        "<!DOCTYPE html><html lang=\"en\"><head><meta charset=\"utf-8\"><title>Not found - Strelvik "
        "leaderboard</title><link rel=\"stylesheet\" href=\"/style.css\"></head><body><main><h1>Not found</h1>"
        "<p>There is no page at this address. <a href=\"/\">The leaderboard</a> is at /.</p></main></body></html>\n",
        "text/html; charset=utf-8");
  } else {
    set_error_reply(res, 404, default_reason(404));
  }
}

std::string random_key() {
  std::string key(32, '\0');
  RAND_bytes(reinterpret_cast<unsigned char*>(key.data()), static_cast<int>(key.size()));
  return key;
}

}  // namespace

void set_migrating_reply(httplib::Response& res) {
  res.set_header("Retry-After", std::to_string(kMigratingRetrySeconds));
  set_error_reply(res, 503, "migrating");
}

LeaderboardApi::LeaderboardApi(IRunStore& store, ApiOptions options)
    : store_(store),
      options_(options),
      cache_(store, options.max_rows, std::chrono::seconds(2)),
      limiter_(options.rate_limit_per_hour),
      run_limiter_(options.submissions_per_hour),
      hasher_(options.address_key.empty() ? random_key() : options.address_key) {}

std::string LeaderboardApi::client_address(const httplib::Request& req, bool trust_proxy) {
  if (trust_proxy) {
    const auto count = req.get_header_value_count("X-Forwarded-For");
    if (count > 0) {
      // The rightmost entry is the one our own proxy appended; entries to its left come
      // from the client and can be forged.
      std::string value = req.get_header_value("X-Forwarded-For", count - 1);
      std::string last = value.substr(value.rfind(',') == std::string::npos ? 0 : value.rfind(',') + 1);
      const auto not_space = [](unsigned char c) { return !std::isspace(c); };
      last.erase(last.begin(), std::find_if(last.begin(), last.end(), not_space));
      last.erase(std::find_if(last.rbegin(), last.rend(), not_space).base(), last.end());
      if (!last.empty()) return last;
    }
  }
  return req.remote_addr;
}

void LeaderboardApi::install(httplib::Server& server) {
  server.set_payload_max_length(kMaxBodyBytes);
  server.set_pre_routing_handler([https = options_.https](const httplib::Request& req, httplib::Response& res) {
    // On every reply, errors included: browsers never guess a type, and once they met the
    // server over HTTPS they never try it in plain HTTP.
    res.set_header("X-Content-Type-Options", "nosniff");
    if (https) res.set_header("Strict-Transport-Security", "max-age=31536000");
    // The library has no routes for these two and would answer 400; they are just methods
    // this server does not allow.
    if (req.method == "TRACE" || req.method == "CONNECT") {
      method_not_allowed_or_not_found(req, res);
      return httplib::Server::HandlerResponse::Handled;
    }
    return httplib::Server::HandlerResponse::Unhandled;
  });
  if (options_.access_log)
    server.set_logger([](const httplib::Request& req, const httplib::Response& res) {
      access_log_finish(req.method, req.target, res.status);
    });
  // Every error, including those the library raises itself (413, 400), leaves as JSON.
  server.set_error_handler(httplib::Server::HandlerWithResponse([](const httplib::Request&, httplib::Response& res) {
    if (res.body.empty()) set_error_reply(res, res.status, default_reason(res.status));
    return httplib::Server::HandlerResponse::Handled;
  }));
  server.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr ep) {
    try {
      if (ep) std::rethrow_exception(ep);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "unhandled error: %s\n", e.what());
    } catch (...) {}
    set_error_reply(res, 500, default_reason(500));
  });

  server.Get(R"(/api\.php)", [this](const auto& req, auto& res) { get_leaderboard(req, res); });
  server.Post(R"(/api\.php)", [this](const auto& req, auto& res) { post_submission(req, res); });
  server.Get("/healthz", [this](const auto& req, auto& res) { health(req, res); });
  install_web_routes(server, cache_, store_, options_.max_rows);

  // Anything else: 405 on a known path (with the methods it does allow), 404 elsewhere.
  const auto fallback = [](const httplib::Request& req, httplib::Response& res) {
    method_not_allowed_or_not_found(req, res);
  };
  server.Get(".*", fallback);
  server.Post(".*", fallback);
  server.Put(".*", fallback);
  server.Patch(".*", fallback);
  server.Delete(".*", fallback);
  server.Options(".*", fallback);
}

void LeaderboardApi::get_leaderboard(const httplib::Request& req, httplib::Response& res) {
  const std::optional<RunKind> kind = parse_run_kind(req.get_param_value("type"));
  if (!kind) {
    set_error_reply(res, 400, "query parameter type must be " + run_kind_choices());
    return;
  }
  try {
    bool stale = false;
    const auto body = cache_.get(*kind, &stale);
    if (stale) res.set_header(kStaleHeader, "database unavailable; these are the last standings read");
    res.set_header("Cache-Control", "no-cache");
    res.set_content(*body, kJsonType);
  } catch (const SummariesNotReady&) {
    set_migrating_reply(res);
  } catch (const StoreError& e) {
    log_store_error(e);
    set_error_reply(res, 503, default_reason(503));
  }
}

void LeaderboardApi::post_submission(const httplib::Request& req, httplib::Response& res) {
  if (!req.has_header("Content-Type") || !is_json_media_type(req.get_header_value("Content-Type"))) {
    set_error_reply(res, 415, default_reason(415));
    return;
  }
  const std::string address = rate_limit_key(client_address(req, options_.trust_proxy));
  if (const long long wait = limiter_.acquire(address); wait > 0) {
    res.set_header("Retry-After", std::to_string(wait));
    set_error_reply(res, 429, "too many submissions from this address; try again in " + std::to_string(wait) + " s");
    return;
  }
  // A well-formed request with an unacceptable submission is answered 200 with the reason:
  // the client shows the whole reply text, and only a 200 reply's text reaches it.
  auto check = validate_submission(req.body, options_.max_score_per_thread);
  if (!check.submission) {
    res.set_content(nlohmann::ordered_json{{"ok", false}, {"error", check.error}}.dump(
                        -1, ' ', false, nlohmann::ordered_json::error_handler_t::replace),
                    kJsonType);
    return;
  }
  // One address may add only a few runs an hour to one processor's row of one kind.
  const Submission& run = *check.submission;
  const std::string kind = run_kind_text(run.kind);
  if (const long long wait = run_limiter_.acquire(address + '\n' + kind + '\n' + run.cpu_name); wait > 0) {
    res.set_header("Retry-After", std::to_string(wait));
    set_error_reply(
        res, 429,
        "too many " + kind + " runs of this processor from this address; try again in " + std::to_string(wait) + " s");
    return;
  }
  std::optional<ProcessorRow> row;
  try {
    row = store_.add_run(run, printable_user_agent(req.get_header_value("User-Agent")), hasher_.hash(address));
  } catch (const StoreError& e) {
    log_store_error(e);
    set_error_reply(res, 503, default_reason(503));
    return;
  }
  // The sender's next fetch from this instance shows the run (nothing while migrating: no board).
  if (row) cache_.apply(run.kind, *row);
  res.set_content(R"({"ok":true})", kJsonType);
}

void LeaderboardApi::health(const httplib::Request&, httplib::Response& res) {
  try {
    store_.ping();
    res.set_content(R"({"status":"ok"})", kJsonType);
  } catch (const StoreError& e) {
    log_store_error(e);
    set_error_reply(res, 503, default_reason(503));
  }
}
