// The program's run monitor around the engine's measured phase: its load check, and a stress
// test's later passes that keep the first pass's check instead of idling 2 s again.
#include "system/run_monitor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

namespace {

class NoSensors : public ISensorSource {
 public:
  SensorReadout read(const std::vector<unsigned>&) override { return {}; }
  SensorOffer offer() override { return {}; }
  std::optional<bool> on_battery() override { return false; }
};

// Other programs keep three quarters of the machine busy while the check pauses.
struct BusyMachine : public ICpuTimesSource {
  double now_seconds() override { return 0.0; }
  std::optional<SystemTimes> system_times() override { return times; }
  std::optional<std::uint64_t> process_time() override { return 0; }
  SystemTimes times{1000, 1000, 1000};
};

TEST(RunMonitor, AStressTestsLaterPassesKeepTheFirstPassesLoadCheckWithoutPausing) {
  auto owned = std::make_unique<BusyMachine>();
  BusyMachine* machine = owned.get();
  int pauses = 0;
  RunMonitor monitor(std::make_unique<NoSensors>(), std::move(owned), [&](const std::atomic<bool>&) {
    ++pauses;
    machine->times = {machine->times.idle + 100, machine->times.kernel + 200, machine->times.user + 200};
  });
  const RunPhaseHooks hooks = monitor.phase_hooks();
  const std::atomic<bool> cancel{false};
  const auto run = [&] {
    hooks.before_measured_phase(RunRequest{}, cancel);
    hooks.measured_phase_started();
    hooks.measured_phase_ended(true);
    return monitor.finished_run(100)->warnings;
  };
  ASSERT_EQ(run().size(), 1u);
  monitor.set_load_check(false);
  const std::vector<RunWarning> later = run();
  EXPECT_EQ(pauses, 1);
  ASSERT_EQ(later.size(), 1u);
  EXPECT_EQ(later[0].code, RunWarningCode::BackgroundLoad) << "the test's load stands for every pass";
  monitor.set_load_check(true);
  run();
  EXPECT_EQ(pauses, 2);
}

}  // namespace
