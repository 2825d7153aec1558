#pragma once
// The conditions a run was measured under that make its score say less about the processor:
// other programs' load, a battery, throttling. Pure rules over counters and samples; they
// report and never stop a run.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "system/cpu_usage_monitor.h"
#include "system/sensor_recorder.h"
#include "system/sensor_sample.h"
#include "verify/run_verdict.h"

enum class RunWarningCode { Battery, BackgroundLoad, Throttling };

struct RunWarning {
  RunWarningCode code;
  std::string text;
  friend bool operator==(const RunWarning&, const RunWarning&) = default;
};

// The code's text in JSON: "battery", "background_load", "throttling".
const char* run_warning_code_text(RunWarningCode code);
nlohmann::ordered_json warning_json(const RunWarning& warning);
nlohmann::ordered_json warnings_json(const std::vector<RunWarning>& warnings);

// The leaderboard ranks processors, not busy or unplugged machines: such a run is kept
// locally only. Throttling is the machine's own cooling and does not keep a run back.
bool warnings_forbid_submission(const std::vector<RunWarning>& warnings);
// The first warning that keeps the run back, as the submission status shows it; empty if none.
std::string submission_block_reason(const std::vector<RunWarning>& warnings);
// A run the warnings keep back is still recorded but not submitted, and says why in the words a
// restricted run uses ("not submitted: ..."); a verdict that already forbids it is left alone.
// Such a run is still compared (may_compare stays).
void hold_back_for_warnings(RunVerdict& verdict, const std::vector<RunWarning>& warnings);

// The machine's busy time not spent by this process, as a share of all processors' time,
// between two reads of the machine's and this process's counters (both in the unit of
// SystemTimes). nullopt when the counters went backwards or no time passed.
std::optional<double> background_load_share(const SystemTimes& before, const SystemTimes& after,
                                            std::uint64_t own_before, std::uint64_t own_after);
// Both counters read together, at each end of the 2 s before the measured phase.
struct LoadCounters {
  SystemTimes machine;
  std::uint64_t own = 0;
};
std::optional<LoadCounters> read_load_counters(ICpuTimesSource& source);
std::optional<double> background_load_share(const std::optional<LoadCounters>& before,
                                            const std::optional<LoadCounters>& after);

// A warning when that share is above 10 %.
std::optional<RunWarning> background_load_warning(std::optional<double> share);
std::optional<RunWarning> battery_warning(std::optional<bool> on_battery);

// Throttling over the measured phase's samples (times in seconds, the first at the phase's
// start): the mean clock of some later 10 s window fell below 80 % of the first 10 s's mean,
// or the temperature reached `temp_limit_c`. Not judged for phases under 20 s.
std::optional<RunWarning> throttling_warning(std::span<const SensorSample> measured, double measured_seconds,
                                             std::optional<double> temp_limit_c);

// Every warning of a finished run, in a fixed order: background load, battery, throttling
// (judged on the record's measured phase when it has ended).
std::vector<RunWarning> run_warnings(std::optional<double> background_load, std::optional<bool> on_battery,
                                     const SensorRecorder& record, std::optional<double> temp_limit_c);
