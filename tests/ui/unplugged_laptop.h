#pragma once
// A run monitor for the window's flows: a laptop unplugged, whose sensors read at most a steady
// clock, and whose load counters never move (no other program's load). The load check's pause
// returns at once, so nothing waits.
#include <memory>
#include <optional>
#include <vector>

#include "system/run_monitor.h"

class UnpluggedLaptop : public ISensorSource {
 public:
  explicit UnpluggedLaptop(std::optional<double> clock_mhz) : clock_mhz_(clock_mhz) {}
  SensorReadout read(const std::vector<unsigned>&) override {
    SensorReadout readout;
    readout.clock_mhz = clock_mhz_;
    return readout;
  }
  SensorOffer offer() override { return {}; }
  std::optional<bool> on_battery() override { return true; }

 private:
  std::optional<double> clock_mhz_;
};

class StillCounters : public ICpuTimesSource {
 public:
  double now_seconds() override { return 0.0; }
  std::optional<SystemTimes> system_times() override { return SystemTimes{100, 200, 300}; }
  std::optional<std::uint64_t> process_time() override { return 10; }
};

inline std::unique_ptr<RunMonitor> unplugged_laptop_monitor(std::optional<double> clock_mhz = std::nullopt) {
  return std::make_unique<RunMonitor>(std::make_unique<UnpluggedLaptop>(clock_mhz), std::make_unique<StillCounters>(),
                                      [](const std::atomic<bool>&) {});
}
