#include "leaderboard_server/api/web_routes.h"

#include "leaderboard_server/api/board_replies.h"
#include "leaderboard_server/api/http_api.h"
#include "leaderboard_server/api/web_assets.h"
#include "leaderboard_server/front/error_reply.h"
#include "leaderboard_server/rules/submission.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>

namespace {

struct PageFile {
  const char* path;
  const char* file;
  const char* type;
};

constexpr PageFile kPageFiles[] = {
    {"/", "index.html", "text/html; charset=utf-8"},
    {"/cpu", "cpu.html", "text/html; charset=utf-8"},
    {"/app.js", "app.js", "text/javascript; charset=utf-8"},
    {"/style.css", "style.css", "text/css; charset=utf-8"},
};

// Every web reply: nothing but our own files may run or style the page, types are not guessed,
// and browsers keep a reply no longer than the server keeps its standings.
// No other site may frame the page (clickjacking), and a link out does not carry the search.
void set_page_headers(httplib::Response& res, const std::string& cache_control) {
  res.set_header("Content-Security-Policy", "default-src 'self'; frame-ancestors 'none'");
  res.set_header("X-Frame-Options", "DENY");
  res.set_header("Referrer-Policy", "same-origin");
  res.set_header("Cache-Control", cache_control);
}

// The board of the kind the request names, or null after an error reply.
std::shared_ptr<const CachedBoard> board_for(LeaderboardCache& cache, const httplib::Request& req,
                                             httplib::Response& res) {
  const std::optional<RunKind> kind = parse_run_kind(req.get_param_value("kind"));
  if (!kind) {
    set_error_reply(res, 400, "query parameter kind must be " + run_kind_choices());
    return nullptr;
  }
  try {
    return cache.board(*kind);
  } catch (const SummariesNotReady&) {
    set_migrating_reply(res);
    return nullptr;
  } catch (const StoreError& e) {
    std::fprintf(stderr, "database error: %s\n", e.what());
    set_error_reply(res, 503, kDatabaseUnavailable);
    return nullptr;
  }
}

// One processor's summary for a route, or null after an error reply (404 for an unknown name).
std::optional<ProcessorSummary> summary_for(IRunStore& store, RunKind kind, const std::string& name,
                                            httplib::Response& res) {
  try {
    auto summary = store.processor(kind, name);
    if (!summary) set_error_reply(res, 404, "no accepted runs of this processor in this leaderboard");
    return summary;
  } catch (const SummariesNotReady&) {
    set_migrating_reply(res);
  } catch (const StoreError& e) {
    std::fprintf(stderr, "database error: %s\n", e.what());
    set_error_reply(res, 503, kDatabaseUnavailable);
  }
  return std::nullopt;
}

// The page's "at least 5 runs" filter: rows whose average counts fewer runs are left out. Absent
// means 0; anything but up to seven digits is refused.
std::optional<long long> min_runs_of(const httplib::Request& req) {
  if (!req.has_param("min_runs")) return 0;
  const std::string text = req.get_param_value("min_runs");
  if (text.empty() || text.size() > 7 || text.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
  const long long value = std::stoll(text);
  if (value > 1'000'000) return std::nullopt;
  return value;
}

}  // namespace

void install_web_routes(httplib::Server& server, LeaderboardCache& cache, IRunStore& store, std::size_t max_rows) {
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(cache.max_age()).count();
  const std::string cache_control = "max-age=" + std::to_string(std::max<long long>(seconds, 0));

  for (const PageFile& page : kPageFiles) {
    const std::string_view body = web_asset(page.file);
    server.Get(page.path, [body, type = page.type, cache_control](const httplib::Request&, httplib::Response& res) {
      set_page_headers(res, cache_control);
      res.set_content(body.data(), body.size(), type);
    });
  }

  server.Get("/board.json", [&cache, max_rows, cache_control](const httplib::Request& req, httplib::Response& res) {
    set_page_headers(res, cache_control);
    const auto board = board_for(cache, req, res);
    if (!board) return;
    // The filter's length is bounded by the request line's; each name is at most 128 bytes.
    const std::string filter = req.get_param_value("q");
    const std::optional<long long> min_runs = min_runs_of(req);
    if (!min_runs) {
      set_error_reply(res, 400, "query parameter min_runs must be a whole number from 0 to 1000000");
      return;
    }
    if (filter.empty() && *min_runs == 0)
      res.set_content(board->page_reply, kJsonType);
    else
      res.set_content(page_rows_reply(board->board, filter, max_rows, *min_runs), kJsonType);
  });

  // One processor's page, or with distribution=1 its distribution: the one route a client asks
  // to place its own score among the runs (an older server answers it with the page, which has
  // no buckets, and the client says so).
  server.Get("/cpu.json", [&cache, &store, cache_control](const httplib::Request& req, httplib::Response& res) {
    set_page_headers(res, cache_control);
    const auto board = board_for(cache, req, res);
    if (!board) return;
    const std::string name = req.get_param_value("name");
    const BoardEntry* entry = find_processor(board->board, name);
    if (!entry) {
      set_error_reply(res, 404, "no accepted runs of this processor in this leaderboard");
      return;
    }
    const bool distribution = req.get_param_value("distribution") == "1";
    const std::string key = (distribution ? "distribution\n" : "page\n") + name;
    auto reply = board->processor_reply(key);
    if (!reply) {
      const RunKind kind = *parse_run_kind(req.get_param_value("kind"));
      const auto summary = summary_for(store, kind, name, res);
      if (!summary) return;
      reply = std::make_shared<const std::string>(distribution ? distribution_reply(kind, *summary)
                                                               : processor_reply(board->board, *entry, *summary));
      board->keep_processor_reply(key, reply);
    }
    res.set_content(*reply, kJsonType);
  });
}
