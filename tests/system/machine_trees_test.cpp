// The Linux probe on captured /proc and /sys trees of machines unlike the build machine, written
// from the kernel's documented formats (tests/system/machines). Each tree holds only what the
// probe reads; everything else stays empty, zero or "N/A".
#include <gtest/gtest.h>

#include <string>

#include "system/cpu_times_linux.h"
#include "system/probe.h"
#include "system/probe_linux.h"

namespace {

SystemInfo machine(const std::string& name) {
  const auto sources = make_linux_system_sources(std::string(STRELVIK_MACHINE_TREES) + "/" + name, false);
  return collect_system_info(*sources);
}

TEST(MachineTrees, X86WithSmtCountsCoresAndTakesTheBaseClockNotTheBoost) {
  const SystemInfo info = machine("x86-smt");
  EXPECT_EQ(info.cpu_name, "Example(R) Core(TM) i5-0000 CPU @ 3.20GHz");
  EXPECT_EQ(cores_text(info), "2C / 4T");
  EXPECT_DOUBLE_EQ(info.clock_ghz, 3.2);
  EXPECT_EQ(info.l1_cache, "48 KB");
  EXPECT_EQ(info.l2_cache, "1 MB");
  EXPECT_EQ(info.l3_cache, "12 MB");
  EXPECT_EQ(info.ram_total_mb, 15921u);
  EXPECT_EQ(info.usable_processors, 4u) << "a cgroup with cpu.max \"max\" sets no limit";
}

TEST(MachineTrees, IntelHybridCountsItsCoreTypesAndTakesTheClockOfThePerformanceCores) {
  const SystemInfo info = machine("intel-hybrid");
  EXPECT_EQ(cores_text(info), "2P + 4E / 8T");
  EXPECT_EQ(info.physical_cores, 6u);
  EXPECT_DOUBLE_EQ(info.clock_ghz, 3.0);
}

TEST(MachineTrees, TwoSocketsWithTheSameCoreNumbersInAContainerWithAQuota) {
  const SystemInfo info = machine("two-sockets");
  EXPECT_EQ(cores_text(info), "4C / 8T (3 usable)") << "2.5 processors of quota round up to 3";
  EXPECT_DOUBLE_EQ(info.clock_ghz, 2.2);
}

TEST(MachineTrees, ArmServerIsNamedByItsCoresWithTheCppcNominalClockAndItsAffinity) {
  const SystemInfo info = machine("arm-server");
  EXPECT_EQ(info.cpu_name, "ARM Neoverse-N1");
  EXPECT_EQ(cores_text(info), "4C / 4T (2 usable)");
  EXPECT_DOUBLE_EQ(info.clock_ghz, 2.8) << "nominal_freq is in MHz and wins over the maximum";
  EXPECT_EQ(info.l1_cache, "N/A");
}

TEST(MachineTrees, RaspberryPiIsNamedByItsChipNotTheBoardOrBcm2835) {
  const SystemInfo info = machine("raspberry-pi");
  EXPECT_EQ(info.cpu_name, "Broadcom BCM2711 (Cortex-A72)");
  EXPECT_EQ(cores_text(info), "4C / 4T");
  EXPECT_DOUBLE_EQ(info.clock_ghz, 1.8) << "without base_frequency the maximum is the clock";
}

TEST(MachineTrees, Rk3588CountsEveryCoreOfItsClustersAndTakesTheFastestCluster) {
  const SystemInfo info = machine("rk3588");
  EXPECT_EQ(info.cpu_name, "Rockchip RK3588 (Cortex-A55 + Cortex-A76)");
  EXPECT_EQ(info.physical_cores, 8u) << "core_id restarts per cluster; core_cpus_list does not";
  EXPECT_EQ(cores_text(info), "4 Cortex-A76 + 4 Cortex-A55 / 8T");
  EXPECT_DOUBLE_EQ(info.clock_ghz, 2.4);
}

TEST(MachineTrees, VirtualMachineWithoutCpufreqTakesTheClockFromCpuinfo) {
  const SystemInfo info = machine("vm-no-cpufreq");
  EXPECT_EQ(info.cpu_name, "Example Virtual Processor 9000");
  EXPECT_EQ(cores_text(info), "2C / 2T");
  EXPECT_DOUBLE_EQ(info.clock_ghz, 2.394454);
}

TEST(MachineTrees, MissingTreeGivesAnEmptyButCompleteRecord) {
  const SystemInfo info = machine("no-such-machine");
  EXPECT_EQ(info.cpu_name, "");
  EXPECT_EQ(info.logical_processors, 0u);
  EXPECT_EQ(info.usable_processors, 1u);
  EXPECT_EQ(info.clock_ghz, 0.0);
  EXPECT_EQ(info.l3_cache, "N/A");
}

TEST(MachineTrees, CpuTimesComeFromTheTreesProcStat) {
  const auto source = make_linux_cpu_times_source(std::string(STRELVIK_MACHINE_TREES) + "/x86-smt");
  const auto times = source->system_times();
  ASSERT_TRUE(times.has_value());
  EXPECT_EQ(times->idle, 16250u + 520u);
  EXPECT_EQ(times->user, 4705u + 150u);
  EXPECT_FALSE(make_linux_cpu_times_source("/no/such/root")->system_times().has_value());
}

}  // namespace
