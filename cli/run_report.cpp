#include "cli/run_report.h"

#include <algorithm>
#include <cstdio>

#include "cli/run_comparison.h"
#include "engine/smt_uplift.h"
#include "system/sensor_summary.h"

nlohmann::ordered_json run_report_json(const RunReport& report) {
  nlohmann::ordered_json object;
  object["type"] = run_kind_text(report.result.kind);
  object["score"] = report.result.score;
  object["time_seconds"] = report.result.time_seconds;
  object["threads"] = report.result.threads;
  if (report.result.core_type) object["core_type"] = *report.result.core_type;
  object["date"] = report.result.date;
  object["width"] = report.workload.width;
  object["height"] = report.workload.height;
  object["samples"] = report.workload.samples_per_pixel;
  object["max_depth"] = report.workload.max_depth;
  object["tile_size"] = report.workload.tile_size;
  object["image_sha256"] = report.image_sha256;
  object["verified"] =
      report.verdict.image_verified ? nlohmann::ordered_json(*report.verdict.image_verified) : nlohmann::ordered_json();
  object["custom"] = report.verdict.custom;
  object["recorded"] = report.recorded;
  object["submit_status"] =
      report.submit_status ? nlohmann::ordered_json(*report.submit_status) : nlohmann::ordered_json();
  if (report.sensors) object["sensors"] = sensors_json(*report.sensors);
  object["warnings"] = warnings_json(report.warnings);
  put_comparison_json(object, report.comparison, report.not_compared_reason);
  return object;
}

std::string run_report_text(const RunReport& report) {
  const BenchmarkResult& r = report.result;
  char head[256];
  std::snprintf(head, sizeof head, "%s%s: score %d, time %.3f s, %d thread%s, %s\n", run_kind_text(r.kind),
                report.verdict.custom ? " (custom)" : "", r.score, r.time_seconds, r.threads, r.threads == 1 ? "" : "s",
                r.date.c_str());
  std::string text = head;
  if (r.core_type) text += "  core type " + *r.core_type + "\n";
  text += "  image " + std::to_string(report.workload.width) + "x" + std::to_string(report.workload.height) + ", " +
          std::to_string(report.workload.samples_per_pixel) + " spp, SHA-256 " + report.image_sha256 + "\n";
  if (!report.verdict.image_verified) {
    text += "  custom workload: no reference image to verify against\n";
  } else if (*report.verdict.image_verified) {
    text += "  verified: the image matches the reference\n";
  } else {
    text +=
        "  NOT VERIFIED: this machine computed a wrong image (unstable overclock or broken build?).\n"
        "  The score is meaningless and is not recorded.\n";
  }
  if (report.sensors) {
    if (const std::string line = sensor_summary_line(*report.sensors); !line.empty()) text += "  " + line + "\n";
  }
  for (const RunWarning& warning : report.warnings) text += "  warning: " + warning.text + "\n";
  if (report.submit_status) {
    text += "  leaderboard: " + *report.submit_status + "\n";
  }
  if (report.comparison) text += comparison_lines(*report.comparison, report.warnings);
  return text;
}

std::optional<std::size_t> median_run(const std::vector<RunReport>& reports, RunKind kind, MedianOf among) {
  std::vector<std::size_t> runs;
  for (std::size_t i = 0; i < reports.size(); ++i) {
    const RunVerdict& verdict = reports[i].verdict;
    const bool counted =
        among == MedianOf::AllRuns || (among == MedianOf::ComparableRuns ? verdict.may_compare : verdict.may_submit);
    if (reports[i].result.kind == kind && counted) {
      runs.push_back(i);
    }
  }
  if (runs.empty()) {
    return std::nullopt;
  }
  // Stable: among equal scores the earliest run is taken.
  std::stable_sort(runs.begin(), runs.end(),
                   [&](std::size_t a, std::size_t b) { return reports[a].result.score < reports[b].result.score; });
  return runs[(runs.size() - 1) / 2];
}

std::vector<RunSummary> summarize(const std::vector<RunReport>& reports) {
  std::vector<RunSummary> summaries;
  for (const RunKind kind : kRunKinds) {
    const auto median = median_run(reports, kind, MedianOf::AllRuns);
    if (!median) {
      continue;
    }
    RunSummary s;
    s.kind = kind;
    s.median_score = s.min_score = s.max_score = reports[*median].result.score;
    s.median_time = s.min_time = s.max_time = reports[*median].result.time_seconds;
    for (const RunReport& report : reports) {
      if (report.result.kind != kind) {
        continue;
      }
      ++s.runs;
      s.min_score = std::min(s.min_score, report.result.score);
      s.max_score = std::max(s.max_score, report.result.score);
      s.min_time = std::min(s.min_time, report.result.time_seconds);
      s.max_time = std::max(s.max_time, report.result.time_seconds);
    }
    s.spread_percent = s.median_time > 0.0 ? (s.max_time - s.min_time) / s.median_time * 100.0 : 0.0;
    summaries.push_back(s);
  }
  return summaries;
}

std::string smt_uplift_line(const std::vector<RunReport>& reports) {
  std::vector<RunReport> verified;
  for (const RunReport& report : reports)
    if (report.verdict.image_verified != false) verified.push_back(report);
  const auto single = median_run(verified, RunKind::single, MedianOf::AllRuns);
  const auto smt = median_run(verified, RunKind::smt, MedianOf::AllRuns);
  if (!single || !smt) return {};
  const std::int32_t single_score = verified[*single].result.score;
  const std::int32_t smt_score = verified[*smt].result.score;
  const std::string uplift = smt_uplift_text(single_score, smt_score);
  if (uplift.empty()) return {};
  return "SMT uplift: " + uplift + " (smt " + std::to_string(smt_score) + " over single " +
         std::to_string(single_score) + ")\n";
}

nlohmann::ordered_json run_summary_json(const RunSummary& s) {
  nlohmann::ordered_json object;
  object["type"] = "summary";
  object["kind"] = run_kind_text(s.kind);
  object["runs"] = s.runs;
  object["median_score"] = s.median_score;
  object["min_score"] = s.min_score;
  object["max_score"] = s.max_score;
  object["median_time_seconds"] = s.median_time;
  object["min_time_seconds"] = s.min_time;
  object["max_time_seconds"] = s.max_time;
  object["spread_percent"] = s.spread_percent;
  object["submit_status"] = s.submit_status ? nlohmann::ordered_json(*s.submit_status) : nlohmann::ordered_json();
  put_comparison_json(object, s.comparison, s.not_compared_reason);
  return object;
}

std::string run_summary_text(const RunSummary& s) {
  char text[256];
  std::snprintf(
      text, sizeof text, "%s over %d runs: median score %d (min %d, max %d), median time %.3f s, spread %.2f%%\n",
      run_kind_text(s.kind), s.runs, s.median_score, s.min_score, s.max_score, s.median_time, s.spread_percent);
  std::string lines = text;
  if (s.submit_status) lines += "  leaderboard (median run): " + *s.submit_status + "\n";
  if (s.comparison) lines += comparison_lines(*s.comparison, s.compared_warnings);
  return lines;
}
