// The Linux sensor source's choices from names and texts: which temperature is the package's,
// which powercap zones are packages, when the machine runs on battery.
#include <gtest/gtest.h>

#include "system/sysfs_sensors.h"

namespace {

TEST(SysfsSensors, TemperatureFollowsTheDriverOrderNotTheDirectoryOrder) {
  const HwmonChip k10{"/h0", "k10temp", {{1, "Tctl"}}};
  const HwmonChip pi{"/h1", "cpu_thermal", {{1, ""}}};
  const HwmonChip core0{"/h2", "coretemp", {{1, "Package id 0"}, {2, "Core 0"}}};
  const HwmonChip core1{"/h3", "coretemp", {{1, "Package id 1"}}};
  const std::vector<ThermalZone> zones = {{"/z0", "acpitz"}, {"/z1", "cpu-thermal"}, {"/z2", "x86_pkg_temp"}};

  auto c = choose_package_temperature({k10, pi, core0, core1}, zones);
  EXPECT_EQ(c->inputs, (std::vector<std::string>{"/h2/temp1_input", "/h3/temp1_input"})) << "every package";
  EXPECT_EQ(c->limit_candidates[0], "/h2/temp1_crit");
  EXPECT_EQ(c->limit_candidates[1], "/h2/temp1_max");
  EXPECT_EQ(choose_package_temperature({pi, k10}, zones)->description, "k10temp Tctl");
  EXPECT_EQ(choose_package_temperature({{"/h", "zenpower", {{1, "SVI2_Core"}, {2, "Tdie"}}}}, {})->inputs[0],
            "/h/temp2_input");
  EXPECT_EQ(choose_package_temperature({{"/h", "soc_thermal", {{1, ""}}}}, zones)->description, "soc_thermal");
  EXPECT_EQ(choose_package_temperature({}, zones)->description, "thermal zone x86_pkg_temp");
  EXPECT_EQ(choose_package_temperature({}, {zones[0], zones[1]})->inputs[0], "/z1/temp");
  EXPECT_FALSE(choose_package_temperature({{"/h", "nvme", {{1, "Composite"}}}}, {zones[0]}));
}

TEST(SysfsSensors, OnlyWholePackageZonesCount) {
  EXPECT_TRUE(is_rapl_package_zone("intel-rapl:0", "package-0\n"));
  EXPECT_TRUE(is_rapl_package_zone("intel-rapl:12", ""));
  EXPECT_FALSE(is_rapl_package_zone("intel-rapl:0:0", "core"));
  EXPECT_FALSE(is_rapl_package_zone("intel-rapl:1", "psys"));
  EXPECT_FALSE(is_rapl_package_zone("intel-rapl", ""));
  EXPECT_FALSE(is_rapl_package_zone("intel-rapl-mmio:0", "package-0"));
}

TEST(SysfsSensors, BatteryIsAnOfflineMainsOrADischargingSystemBattery) {
  EXPECT_FALSE(runs_on_battery({}));
  EXPECT_FALSE(runs_on_battery({{"Mains", "1", "", ""}, {"Battery", "", "Charging", ""}}));
  EXPECT_TRUE(runs_on_battery({{"Mains", "0", "", ""}}));
  EXPECT_TRUE(runs_on_battery({{"Battery", "", "Discharging", "System"}}));
  EXPECT_FALSE(runs_on_battery({{"Battery", "", "Discharging", "Device"}})) << "a wireless mouse's battery";
}

TEST(SysfsSensors, TextsParseOrGiveNothing) {
  EXPECT_DOUBLE_EQ(*parse_millidegrees("45500\n"), 45.5);
  EXPECT_FALSE(parse_millidegrees(""));
  EXPECT_FALSE(parse_millidegrees("-41000"));
  EXPECT_FALSE(parse_millidegrees("12.5"));
  const auto mhz = cpuinfo_mhz_by_processor("processor\t: 0\ncpu MHz\t\t: 800.5\n\nprocessor\t: 1\ncpu MHz\t: x\n");
  EXPECT_EQ(mhz, (std::map<unsigned, double>{{0, 800.5}}));
  EXPECT_EQ(parse_proc_stat_cpu_ticks("42 (a b) c) R 1 2 3 4 5 6 7 8 9 10 250 30 0 0 20 0 1"), 280u);
  EXPECT_FALSE(parse_proc_stat_cpu_ticks("42 (x) R 1 2"));
}

}  // namespace
