#include "cli/stress_report.h"

#include <algorithm>
#include <cstdio>

#include "cli/progress_reporter.h"
#include "system/sensor_summary.h"

namespace {

template <typename... Args>
std::string text(const char* pattern, Args... args) {
  char buffer[160];
  std::snprintf(buffer, sizeof buffer, pattern, args...);
  return buffer;
}

std::string with_sensors(std::string line, const SensorSummary& sensors) {
  const std::string readings = sensor_summary_line(sensors);
  return readings.empty() ? line : line + " · " + readings;
}

}  // namespace

nlohmann::ordered_json stress_pass_json(std::int32_t number, const StressPass& pass) {
  nlohmann::ordered_json object;
  object["type"] = "stress-pass";
  object["pass"] = number;
  object["score"] = pass.score;
  object["time_seconds"] = pass.time_seconds;
  object["image_sha256"] = pass.image_sha256;
  object["sensors"] = sensors_json(pass.sensors);
  return object;
}

std::string stress_pass_text(std::int32_t number, const StressPass& pass) {
  return with_sensors(text("pass %d: score %d, %.2f s", number, pass.score, pass.time_seconds), pass.sensors) + "\n";
}

nlohmann::ordered_json stress_summary_json(const StressSummary& s, const std::vector<RunWarning>& warnings, bool custom,
                                           bool recorded) {
  nlohmann::ordered_json object;
  object["type"] = "stress";
  object["pass_count"] = s.pass_count;
  object["minutes_requested"] = s.minutes_requested;
  object["elapsed_seconds"] = s.elapsed_seconds;
  object["stability_percent"] = s.stability_percent;
  object["drop_percent"] = s.drop_percent;
  object["median_score"] = s.median_score;
  object["sensors"] = sensors_json(s.sensors);
  object["warnings"] = warnings_json(warnings);
  object["verdict"] = stress_verdict_text(s.verdict);
  if (s.failure) {
    nlohmann::ordered_json failure;
    failure["pass"] = s.failure->pass;
    failure["elapsed_seconds"] = s.failure->elapsed_seconds;
    failure["temp_c"] = s.failure->temp_c ? nlohmann::ordered_json(*s.failure->temp_c) : nlohmann::ordered_json();
    object["failure"] = failure;
  }
  object["custom"] = custom;
  object["recorded"] = recorded;
  return object;
}

std::string stress_summary_text(const StressSummary& s, std::span<const StressPass> passes,
                                const std::vector<RunWarning>& warnings) {
  std::string out = "\n pass   score     time\n";
  for (std::size_t i = 0; i < passes.size(); ++i) {
    out += with_sensors(text("%5zu %7d %8.2f s", i + 1, passes[i].score, passes[i].time_seconds), passes[i].sensors);
    out += "\n";
  }
  if (s.failure) {
    out += text("UNSTABLE: pass %d computed a wrong image after %s", s.failure->pass,
                format_duration(s.failure->elapsed_seconds).c_str());
    if (s.failure->temp_c) out += text(" at %.0f °C", *s.failure->temp_c);
    out +=
        " (unstable overclock or undervolt, overheating or faulty memory?).\n"
        "Nothing of this test is stored.\n";
    return out;
  }
  out += text("Stability %.1f %% · drop %.1f %% over %s · median score %d", s.stability_percent, s.drop_percent,
              format_duration(s.elapsed_seconds).c_str(), s.median_score);
  if (s.sensors.energy_j) out += text(" · %.1f kJ", *s.sensors.energy_j / 1000.0);
  if (s.sensors.points_per_watt) out += text(" · %.2f points/W", *s.sensors.points_per_watt);
  out += "\n";
  for (const RunWarning& warning : warnings) out += "Warning: " + warning.text + "\n";
  if (s.verdict == StressVerdict::cancelled) {
    out += text("Cancelled after %d pass%s; nothing is stored.\n", s.pass_count, s.pass_count == 1 ? "" : "es");
  } else {
    // A falling clock is the likely cause of an unsteady test, and is then named with it.
    const bool throttled = std::any_of(warnings.begin(), warnings.end(),
                                       [](const RunWarning& w) { return w.code == RunWarningCode::Throttling; });
    out += std::string("Verdict: ") + stress_verdict_text(s.verdict) +
           (s.verdict == StressVerdict::stable ? " (the slowest pass within 3 % of the fastest)\n"
            : throttled                        ? ", throttling (the slowest pass more than 3 % behind the fastest)\n"
                                               : " (the slowest pass more than 3 % behind the fastest)\n");
  }
  return out;
}
