// The runner with its sensor sampler reading captured machine trees (tests/system/machines):
// what a run's JSON, its lines and its progress carry, and what a battery keeps back. The load
// check's pause returns at once and the load counters stand still, so nothing here waits.
#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/command_line.h"
#include "cli/run_command.h"
#include "system/sensor_source_linux.h"

namespace {

std::string tree(const std::string& name) { return std::string(STRELVIK_MACHINE_TREES) + "/" + name; }

// A captured tree's energy counters stand still; this one's advance as a 50 W package would,
// so that the run has power and energy to report.
SysfsRead energy_at_50_watts(const std::string& path) {
  static const auto start = std::chrono::steady_clock::now();
  SysfsRead read = read_sysfs_file(path);
  const std::string name = "/energy_uj";
  if (read.error == 0 && path.size() > name.size() && path.compare(path.size() - name.size(), name.size(), name) == 0) {
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    read.text = std::to_string(std::stoull(read.text) + static_cast<std::uint64_t>(seconds * 50e6)) + "\n";
  }
  return read;
}

// No other program's load: the counters never move.
class StillCounters : public ICpuTimesSource {
 public:
  double now_seconds() override { return 0.0; }
  std::optional<SystemTimes> system_times() override { return SystemTimes{100, 200, 300}; }
  std::optional<std::uint64_t> process_time() override { return 10; }
};

struct RunnerOutput {
  int exit_code = -1;
  nlohmann::json run;  // the first run's object
  std::string text;    // stderr: progress and the human-readable report
};

RunnerOutput run_runner(std::vector<const char*> args, RunMonitor& monitor) {
  args.insert(args.begin(), "strelvik-cli");
  const RunOptions options = std::get<RunOptions>(parse_command_line(static_cast<int>(args.size()), args.data()));
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  RunnerOutput out;
  out.exit_code = run_benchmarks(options, WorkerPlacement{}, {}, {}, {}, &monitor);
  std::istringstream lines(testing::internal::GetCapturedStdout());
  out.text = testing::internal::GetCapturedStderr();
  std::string first;
  std::getline(lines, first);
  out.run = nlohmann::json::parse(first);
  return out;
}

RunMonitor tree_monitor(const std::string& name) {
  return RunMonitor(make_linux_sensor_source(tree(name), energy_at_50_watts), std::make_unique<StillCounters>(),
                    [](const std::atomic<bool>&) {});
}

TEST(RunnerSensors, ARunOnTheIntelDesktopCarriesClockTemperaturePowerAndEnergy) {
  RunMonitor monitor = tree_monitor("intel-desktop");
  const RunnerOutput out = run_runner({"multi", "--size", "320x180", "--spp", "8", "--json", "--no-history"}, monitor);
  ASSERT_EQ(out.exit_code, 0) << out.text;
  const nlohmann::json& sensors = out.run.at("sensors");
  EXPECT_DOUBLE_EQ(sensors.at("clock_mhz_avg").get<double>(), 4650.0);
  EXPECT_DOUBLE_EQ(sensors.at("clock_mhz_min").get<double>(), 4650.0);
  EXPECT_DOUBLE_EQ(sensors.at("temp_c_max").get<double>(), 61.0);
  const double watts = sensors.at("power_w_avg").get<double>();
  EXPECT_GT(watts, 0.0);
  EXPECT_GT(sensors.at("energy_j").get<double>(), 0.0);
  EXPECT_NEAR(sensors.at("points_per_watt").get<double>(), out.run.at("score").get<double>() / watts, 1e-6);
  EXPECT_EQ(out.run.at("warnings"), nlohmann::json::array());
  // Not a terminal: the plain progress lines carry the readings, and the summary line follows.
  EXPECT_NE(out.text.find("4.65 GHz  61 \u00B0C"), std::string::npos) << out.text;
  EXPECT_NE(out.text.find("Clock 4.65 GHz avg (min 4.65) \u00B7 61 \u00B0C max"), std::string::npos) << out.text;
}

TEST(RunnerSensors, ALaptopOnBatteryIsWarnedInTheJsonAndTheText) {
  RunMonitor monitor = tree_monitor("laptop-on-battery");
  const RunnerOutput out = run_runner({"single", "--size", "64x36", "--spp", "1", "--json", "--no-history"}, monitor);
  ASSERT_EQ(out.exit_code, 0) << out.text;
  ASSERT_EQ(out.run.at("warnings").size(), 1u) << out.run.dump();
  EXPECT_EQ(out.run["warnings"][0].at("code"), "battery");
  EXPECT_NE(out.text.find("warning: The machine ran on battery"), std::string::npos) << out.text;
}

}  // namespace
