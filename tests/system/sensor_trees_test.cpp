// The Linux sensor source on captured machine trees (tests/system/machines), written from the
// kernel's documented sysfs formats: which sensor each machine offers, what one read gives,
// and why a missing one is missing.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "system/cpu_times_linux.h"
#include "system/sensor_source_linux.h"

namespace {

std::string tree(const std::string& name) { return std::string(STRELVIK_MACHINE_TREES) + "/" + name; }

bool mentions(const SensorOffer& offer, const std::string& text) {
  for (const std::string& reason : offer.missing) {
    if (reason.find(text) != std::string::npos) return true;
  }
  return false;
}

TEST(SensorTrees, IntelDesktopReadsCpufreqCoretempPackageAndOnlyThePackageZone) {
  const auto source = make_linux_sensor_source(tree("intel-desktop"));
  const SensorOffer offer = source->offer();
  EXPECT_EQ(offer.temperature, "coretemp Package id 0") << "before acpitz, nvme and the x86_pkg_temp zone";
  EXPECT_EQ(offer.temp_limit_c, 100.0) << "temp1_crit wins over temp1_max";
  EXPECT_EQ(offer.power, "powercap intel-rapl (1 package)");
  EXPECT_TRUE(offer.missing.empty());

  const SensorReadout all = source->read({});
  EXPECT_DOUBLE_EQ(*all.clock_mhz, 4650.0) << "the mean of the four processors' scaling_cur_freq";
  EXPECT_DOUBLE_EQ(*all.temp_c, 61.0);
  // Neither the subzones, nor psys (which includes the package), nor the MMIO copy.
  ASSERT_EQ(all.energy.size(), 1u);
  EXPECT_EQ(all.energy[0], (EnergyCounter{123456789, 262143328850}));

  EXPECT_DOUBLE_EQ(*source->read({2}).clock_mhz, 4800.0) << "a run bound to processor 2 reads only it";
  EXPECT_EQ(source->on_battery(), false);
}

TEST(SensorTrees, AmdDesktopTakesTdieOverTctlAndReadsRaplOnAmd) {
  const auto source = make_linux_sensor_source(tree("amd-desktop"));
  const SensorOffer offer = source->offer();
  EXPECT_EQ(offer.temperature, "k10temp Tdie");
  EXPECT_FALSE(offer.temp_limit_c) << "Tdie has no limit of its own; Tctl's max is a fan control point";
  const SensorReadout r = source->read({});
  EXPECT_DOUBLE_EQ(*r.temp_c, 62.5);
  EXPECT_DOUBLE_EQ(*r.clock_mhz, 4250.0);
  ASSERT_EQ(r.energy.size(), 1u);
  EXPECT_EQ(r.energy[0].range_microjoules, 65532610987u);
}

TEST(SensorTrees, RaspberryPiHasCpuThermalAndNoPower) {
  const auto source = make_linux_sensor_source(tree("raspberry-pi"));
  const SensorOffer offer = source->offer();
  EXPECT_EQ(offer.temperature, "cpu_thermal");
  EXPECT_EQ(offer.temp_limit_c, 110.0);
  EXPECT_EQ(offer.power, "");
  EXPECT_TRUE(mentions(offer, "power: no powercap"));
  const SensorReadout r = source->read({});
  EXPECT_NEAR(*r.temp_c, 48.686, 1e-9);
  EXPECT_DOUBLE_EQ(*r.clock_mhz, 1650.0);
  EXPECT_TRUE(r.energy.empty());
}

TEST(SensorTrees, VirtualMachineOffersNothingAndItsFixedCpuinfoClockIsNoReading) {
  const auto source = make_linux_sensor_source(tree("vm-no-cpufreq"));
  for (int i = 0; i < 3; ++i) {
    const SensorReadout r = source->read({});
    EXPECT_FALSE(r.clock_mhz) << "\"cpu MHz\" never moves in a virtual machine";
    EXPECT_FALSE(r.temp_c);
    EXPECT_TRUE(r.energy.empty());
  }
  const SensorOffer offer = source->offer();
  EXPECT_TRUE(mentions(offer, "temperature:"));
  EXPECT_TRUE(mentions(offer, "power:"));
  EXPECT_EQ(source->on_battery(), false);
}

TEST(SensorTrees, LaptopUnpluggedRunsOnBattery) {
  const auto source = make_linux_sensor_source(tree("laptop-on-battery"));
  EXPECT_EQ(source->on_battery(), true);
  EXPECT_EQ(source->read({}).energy.size(), 1u) << "psys is not a package";
}

TEST(SensorTrees, OwnProcessorTimeIsInTheUnitOfTheMachinesCounters) {
  const auto times = make_linux_cpu_times_source(tree("laptop-on-battery"));
  EXPECT_EQ(times->process_time(), 1530u + 47u) << "utime + stime, clock ticks as in /proc/stat";
  EXPECT_EQ(times->system_times()->user, 10132u + 30u);
  EXPECT_FALSE(make_linux_cpu_times_source(tree("no-such-machine"))->process_time());
}

TEST(SensorTrees, UnreadableEnergyGivesAReasonAndNoPowerReadingsNeverZero) {
  const auto source = make_linux_sensor_source(tree("rapl-unreadable"));
  const SensorOffer offer = source->offer();
  EXPECT_EQ(offer.power, "");
  EXPECT_TRUE(mentions(offer, "power: /sys/class/powercap/intel-rapl:0/energy_uj cannot be read"));
  EXPECT_TRUE(source->read({}).energy.empty());
  EXPECT_TRUE(offer.clock.find("cpufreq") != std::string::npos);
}

TEST(SensorTrees, EnergyReadableByRootOnlySaysSoAndHowToFixIt) {
  // A test running as root reads a file of mode 0000; the reader seam refuses instead.
  const auto refuse_energy = [](const std::string& path) {
    if (path.ends_with("/energy_uj")) return SysfsRead{{}, EACCES};
    return read_sysfs_file(path);
  };
  const auto source = make_linux_sensor_source(tree("intel-desktop"), refuse_energy);
  EXPECT_TRUE(mentions(source->offer(), "power: /sys/class/powercap is readable by root only"));
  EXPECT_TRUE(mentions(source->offer(), "packaging/"));
  EXPECT_TRUE(source->read({}).energy.empty());
}

TEST(SensorTrees, BadFilesMakeThatReadingUnavailableForThatSample) {
  std::string temperature = "61000\n";
  std::string energy = "123456789\n";
  std::string clock0 = "4700000\n";
  const auto patched = [&](const std::string& path) {
    if (path.ends_with("hwmon2/temp1_input")) return SysfsRead{temperature, 0};
    if (path.ends_with("intel-rapl:0/energy_uj")) return SysfsRead{energy, 0};
    if (path.ends_with("cpu0/cpufreq/scaling_cur_freq")) return SysfsRead{clock0, 0};
    return read_sysfs_file(path);
  };
  const auto source = make_linux_sensor_source(tree("intel-desktop"), patched);
  temperature = "151000";  // above 150 °C
  energy = "-5";
  clock0 = "";
  SensorReadout r = source->read({0});
  EXPECT_FALSE(r.temp_c);
  EXPECT_TRUE(r.energy.empty());
  EXPECT_FALSE(r.clock_mhz);
  temperature = "hot";
  energy = "262143328851";  // past max_energy_range_uj
  clock0 = "10000001";      // above 10 GHz
  r = source->read({0});
  EXPECT_FALSE(r.temp_c);
  EXPECT_TRUE(r.energy.empty());
  EXPECT_FALSE(r.clock_mhz);
  temperature = "-39000";
  energy = "7";
  r = source->read({0, 1});
  EXPECT_DOUBLE_EQ(*r.temp_c, -39.0);
  EXPECT_EQ(r.energy.size(), 1u);
  EXPECT_DOUBLE_EQ(*r.clock_mhz, 4600.0) << "processor 0's bad file leaves processor 1";
}

}  // namespace
