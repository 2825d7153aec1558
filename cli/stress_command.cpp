#include "cli/stress_command.h"

#include <csignal>
#include <cstdio>
#include <ostream>

#include "cli/stress_report.h"
#include "system/stop_signal.h"
#include "system/stress_conditions.h"

int run_stress_test(const StressOptions& options, StressEnvironment& env, const StressRecorder& recorder) {
  const RunRequest run{
      .workload = options.workload, .kind = RunKind::multi, .threads = standard_threads(RunKind::multi, env.machine)};
  StressTest test(options.minutes, env.clock());
  StressRecord record;
  record.threads = run.threads;
  RunVerdict verdict;                                          // of the last pass
  verdict.custom = !(run.workload == env.reference.workload);  // until a pass is judged
  int exit_code = 0;

  for (bool more = true; more;) {
    const auto number = static_cast<std::int32_t>(test.passes().size()) + 1;
    PassRun pass = env.passes.run_pass(run, PassLabel{.pass = number, .seconds_left = test.seconds_left(env.clock())});
    merge_run_warnings(record.warnings, pass.warnings);
    if (!pass.failure.empty()) {
      std::fprintf(stderr, "strelvik-cli: %s\n", pass.failure.c_str());
      return 1;
    }
    if (!pass.result) {
      test.cancel(env.clock());
      const int signal_number = received_stop_signal();
      exit_code = 128 + (signal_number != 0 ? signal_number : SIGINT);  // 130 for Ctrl-C
      break;
    }
    if (record.date.empty()) record.date = pass.result->date;
    verdict = judge_run(env.reference, run, env.machine, pass.image_sha256);
    StressPass finished{.score = pass.result->score,
                        .time_seconds = pass.result->time_seconds,
                        .image_sha256 = pass.image_sha256,
                        .sensors = pass.sensors};
    more = test.add_pass(finished, verdict.image_verified, env.clock());
    if (test.failure()) {
      exit_code = 3;  // heat or clocks made the machine compute wrongly
      break;
    }
    std::fputs(stress_pass_text(number, finished).c_str(), env.human);
    if (options.json) env.json_out << stress_pass_json(number, finished).dump() << std::endl;
  }

  record.summary = test.summary();
  record.passes = test.passes();
  if (auto fell = clock_fell_between_passes(record.passes)) merge_run_warnings(record.warnings, {*fell});
  // Only a whole, right, standard test counts; a cancelled or wrong one is shown and dropped.
  const bool complete = exit_code == 0 && test.finished();
  const bool recorded = complete && verdict.may_record && recorder && recorder(record);
  std::fputs(stress_summary_text(record.summary, record.passes, record.warnings).c_str(), env.human);
  if (options.json) {
    env.json_out << stress_summary_json(record.summary, record.warnings, verdict.custom, recorded).dump() << std::endl;
  }
  return exit_code;
}
