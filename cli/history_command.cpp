#include "cli/history_command.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "history/best_scores.h"
#include "history/stress_entry.h"

namespace {

using Json = nlohmann::ordered_json;

// A type that names no kind (a hand-edited file) is listed as multi-core, as the window shows it.
const char* abbreviation(const HistoryEntry& e) {
  if (e.type == kStressEntryType) return "STR";
  return run_kind_abbreviation(e.kind().value_or(RunKind::multi));
}

Json run_json(const HistoryEntry& e, std::size_t number) {
  Json j;
  j["number"] = number;
  j["type"] = e.type;
  j["score"] = e.score;
  j["time_seconds"] = e.time_seconds;
  j["date"] = e.date;
  j["cpu"] = e.cpu;
  j["threads"] = e.threads;
  j["resolution_w"] = e.resolution_w;
  j["resolution_h"] = e.resolution_h;
  j["samples"] = e.samples;
  return j;
}

std::string dump(const Json& j) { return j.dump(2, ' ', false, Json::error_handler_t::replace); }

// One table row: "#", SC/MC, score, "%.1fs" time and the date's first ten characters.
std::string row(const HistoryEntry& e, std::size_t number) {
  char buffer[128];
  std::snprintf(buffer, sizeof buffer, "%4zu  %-4s  %7d  %9.1fs  %s", number, abbreviation(e), e.score, e.time_seconds,
                e.date.substr(0, 10).c_str());
  return buffer;
}

std::string best_text(std::int32_t score) { return score > 0 ? std::to_string(score) : std::string("-"); }

void report_notices(ResultsHistory& history, std::ostream& err) {
  for (const auto& notice : history.take_notices()) err << "strelvik-cli: " << notice << '\n';
}

int delete_entry(ResultsHistory& history, int number, bool json, std::ostream& out, std::ostream& err) {
  if (number < 1 || static_cast<std::size_t>(number) > history.size()) {
    err << "strelvik-cli: there is no result #" << number << " (the history holds " << history.size() << ")\n";
    return 2;  // bad usage: 1 is kept for a history that cannot be read or saved
  }
  const std::size_t index = static_cast<std::size_t>(number) - 1;
  const HistoryEntry removed = history[index];
  const bool saved = history.remove(index);
  report_notices(history, err);
  if (!saved) {
    err << "strelvik-cli: result #" << number << " was not deleted\n";
    return 1;
  }
  if (json) {
    Json j;
    j["deleted"] = run_json(removed, static_cast<std::size_t>(number));
    j["path"] = history.path();
    out << dump(j) << '\n';
  } else {
    out << "Deleted #" << number << ": " << abbreviation(removed) << ' ' << removed.score << ", "
        << removed.date.substr(0, 10) << '\n';
  }
  return 0;
}

}  // namespace

int run_history_command(ResultsHistory& history, std::optional<int> delete_number, bool json, std::ostream& out,
                        std::ostream& err) {
  history.load();
  report_notices(history, err);
  // Its results are unknown: neither "No results yet" nor a deletion by number.
  if (history.file_inaccessible()) return 1;
  if (history.file_unreadable())
    err << "strelvik-cli: " << history.path()
        << " is not a readable history; it is left as it is until the next result is recorded, "
           "which keeps it aside under another name\n";
  if (delete_number) return delete_entry(history, *delete_number, json, out, err);

  const auto& entries = history.entries();
  const BestScores best = best_scores(entries);
  if (json) {
    Json j;
    j["path"] = history.path();
    j["runs"] = Json::array();
    for (std::size_t i = entries.size(); i-- > 0;) j["runs"].push_back(run_json(entries[i], i + 1));
    for (const RunKind kind : kRunKinds) {
      j["best"][run_kind_text(kind)] = best.of(kind) > 0 ? Json(best.of(kind)) : Json(nullptr);
    }
    out << dump(j) << '\n';
    return 0;
  }
  out << "History: " << history.path() << '\n';
  if (entries.empty()) {
    out << "No results yet\n";
    return 0;
  }
  out << "   #  Type    Score        Time  Date\n";
  for (std::size_t i = entries.size(); i-- > 0;) out << row(entries[i], i + 1) << '\n';
  // The SMT line only once there is an SMT result: most processors' histories never hold one.
  std::vector<std::pair<std::string, std::int32_t>> lines;
  std::size_t width = 0;
  for (const RunKind kind : kRunKinds) {
    if (kind == RunKind::smt && best.of(kind) < 1) continue;
    std::string label = std::string("Best ") + run_kind_title(kind) + ":";
    label[5] = static_cast<char>(std::tolower(static_cast<unsigned char>(label[5])));
    width = std::max(width, label.size() + 1);
    lines.emplace_back(std::move(label), best.of(kind));
  }
  for (auto& [label, score] : lines) {
    label.resize(width, ' ');  // the scores line up
    out << label << best_text(score) << '\n';
  }
  return 0;
}

int run_history_command(std::optional<int> delete_number, bool json, std::ostream& out, std::ostream& err) {
  ResultsHistory history;
  return run_history_command(history, delete_number, json, out, err);
}
