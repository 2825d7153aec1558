#include "system/run_conditions.h"

#include <cstdio>

namespace {

constexpr double kBackgroundLoadLimit = 0.10;
constexpr double kWindowSeconds = 10.0;
constexpr double kShortestJudgedRun = 20.0;
constexpr double kThrottledClockShare = 0.80;

// The mean clock of the samples in [begin, begin + 10 s); nullopt when none has a clock.
std::optional<double> window_mean(std::span<const SensorSample> samples, double begin) {
  double sum = 0.0;
  int count = 0;
  for (const SensorSample& s : samples) {
    if (s.time_s < begin || s.time_s >= begin + kWindowSeconds || !s.clock_mhz) continue;
    sum += *s.clock_mhz;
    ++count;
  }
  if (count == 0) return std::nullopt;
  return sum / count;
}

std::string percent(double share) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%.0f %%", share * 100.0);
  return buffer;
}

}  // namespace

const char* run_warning_code_text(RunWarningCode code) {
  switch (code) {
    case RunWarningCode::Battery: return "battery";
    case RunWarningCode::BackgroundLoad: return "background_load";
    case RunWarningCode::Throttling: return "throttling";
  }
  return "";
}

nlohmann::ordered_json warning_json(const RunWarning& warning) {
  return {{"code", run_warning_code_text(warning.code)}, {"text", warning.text}};
}

nlohmann::ordered_json warnings_json(const std::vector<RunWarning>& warnings) {
  nlohmann::ordered_json array = nlohmann::ordered_json::array();
  for (const RunWarning& w : warnings) array.push_back(warning_json(w));
  return array;
}

bool warnings_forbid_submission(const std::vector<RunWarning>& warnings) {
  return !submission_block_reason(warnings).empty();
}

std::string submission_block_reason(const std::vector<RunWarning>& warnings) {
  for (const RunWarning& w : warnings) {
    switch (w.code) {
      case RunWarningCode::Battery:
      case RunWarningCode::BackgroundLoad: return w.text;
      case RunWarningCode::Throttling: break;
    }
  }
  return {};
}

void hold_back_for_warnings(RunVerdict& verdict, const std::vector<RunWarning>& warnings) {
  std::string reason = submission_block_reason(warnings);
  if (!verdict.may_submit || reason.empty()) return;
  // The sentence follows "not submitted: ", as the restricted run's reason does.
  if (reason[0] >= 'A' && reason[0] <= 'Z') reason[0] = static_cast<char>(reason[0] - 'A' + 'a');
  verdict.may_submit = false;
  verdict.not_submitted_reason = "not submitted: " + reason;
}

std::optional<double> background_load_share(const SystemTimes& before, const SystemTimes& after,
                                            std::uint64_t own_before, std::uint64_t own_after) {
  if (after.idle < before.idle || after.kernel < before.kernel || after.user < before.user || own_after < own_before) {
    return std::nullopt;
  }
  // Kernel time includes idle time, as the utilisation monitor's counters do.
  const double total = static_cast<double>((after.kernel - before.kernel) + (after.user - before.user));
  if (total <= 0.0) return std::nullopt;
  const double busy = total - static_cast<double>(after.idle - before.idle);
  const double others = busy - static_cast<double>(own_after - own_before);
  return others <= 0.0 ? 0.0 : others / total;
}

std::optional<LoadCounters> read_load_counters(ICpuTimesSource& source) {
  const auto machine = source.system_times();
  const auto own = source.process_time();
  if (!machine || !own) return std::nullopt;
  return LoadCounters{*machine, *own};
}

std::optional<double> background_load_share(const std::optional<LoadCounters>& before,
                                            const std::optional<LoadCounters>& after) {
  if (!before || !after) return std::nullopt;
  return background_load_share(before->machine, after->machine, before->own, after->own);
}

std::optional<RunWarning> background_load_warning(std::optional<double> share) {
  if (!share || *share <= kBackgroundLoadLimit) return std::nullopt;
  return RunWarning{RunWarningCode::BackgroundLoad,
                    "Other programs kept " + percent(*share) +
                        " of the processors busy before the run: the score is lower than this machine's own."};
}

std::optional<RunWarning> battery_warning(std::optional<bool> on_battery) {
  if (!on_battery.value_or(false)) return std::nullopt;
  return RunWarning{RunWarningCode::Battery,
                    "The machine ran on battery, which usually lowers the clock: plug it in for a comparable score."};
}

std::optional<RunWarning> throttling_warning(std::span<const SensorSample> measured, double measured_seconds,
                                             std::optional<double> temp_limit_c) {
  if (measured.empty() || measured_seconds < kShortestJudgedRun) return std::nullopt;
  if (temp_limit_c) {
    for (const SensorSample& s : measured) {
      if (s.temp_c && *s.temp_c >= *temp_limit_c) {
        char buffer[128];
        std::snprintf(buffer, sizeof buffer,
                      "The processor reached its temperature limit (%.0f °C) during the run and may have slowed down.",
                      *temp_limit_c);
        return RunWarning{RunWarningCode::Throttling, buffer};
      }
    }
  }
  const double start = measured.front().time_s;
  const double end = start + measured_seconds;
  const auto first = window_mean(measured, start);
  if (!first) return std::nullopt;
  // Every full window that starts at a sample after the first 10 s.
  for (const SensorSample& s : measured) {
    if (s.time_s < start + kWindowSeconds || s.time_s + kWindowSeconds > end + 1e-9) continue;
    const auto mean = window_mean(measured, s.time_s);
    if (mean && *mean < kThrottledClockShare * *first) {
      char buffer[160];
      std::snprintf(buffer, sizeof buffer,
                    "The clock fell from %.2f GHz in the first 10 s to %.2f GHz later in the run: the processor "
                    "throttled.",
                    *first / 1000.0, *mean / 1000.0);
      return RunWarning{RunWarningCode::Throttling, buffer};
    }
  }
  return std::nullopt;
}

std::vector<RunWarning> run_warnings(std::optional<double> background_load, std::optional<bool> on_battery,
                                     const SensorRecorder& record, std::optional<double> temp_limit_c) {
  std::vector<RunWarning> out;
  if (auto w = background_load_warning(background_load)) out.push_back(std::move(*w));
  if (auto w = battery_warning(on_battery)) out.push_back(std::move(*w));
  if (const auto seconds = record.measured_seconds()) {
    if (auto w = throttling_warning(record.measured_samples(), *seconds, temp_limit_c)) out.push_back(std::move(*w));
  }
  return out;
}
