// The Linux texts the probe reads, as captured from real machines and in broken forms.
#include <gtest/gtest.h>

#include "system/arm_cpu_names.h"
#include "system/proc_parsers.h"

namespace {

const char* const kX86CpuInfo =
    "processor\t: 0\nvendor_id\t: GenuineIntel\ncpu family\t: 6\nmodel name\t: Example(R) Core(TM) i7 CPU @ 3.40GHz\n"
    "cpu MHz\t\t: 3400.123\nphysical id\t: 0\ncore id\t\t: 0\ncpu cores\t: 2\n\n"
    "processor\t: 1\nmodel name\t: Example(R) Core(TM) i7 CPU @ 3.40GHz\ncpu MHz\t\t: 800.000\nphysical id\t: 0\n"
    "core id\t\t: 1\n\n"
    "processor\t: 2\nphysical id\t: 0\ncore id\t\t: 0\n\n"
    "processor\t: 3\nphysical id\t: 0\ncore id\t\t: 1\n";

TEST(CpuInfo, FindsTheProcessorNameOnEachArchitecture) {
  EXPECT_EQ(cpuinfo_processor_name(kX86CpuInfo), "Example(R) Core(TM) i7 CPU @ 3.40GHz");
  // Older ARM kernels: a name under "Processor"; newer: only numbers, the SoC under "Hardware".
  EXPECT_EQ(cpuinfo_processor_name("Processor\t: ARMv7 Processor rev 4 (v7l)\nprocessor\t: 0\n"),
            "ARMv7 Processor rev 4 (v7l)");
  EXPECT_EQ(cpuinfo_processor_name("processor\t: 0\nBogoMIPS\t: 108.00\n\nHardware\t: BCM2835\n"), "BCM2835");
  EXPECT_EQ(cpuinfo_processor_name("processor\t: 0\ncpu\t\t: POWER9 (raw), altivec supported\n"),
            "POWER9 (raw), altivec supported");
  EXPECT_EQ(cpuinfo_processor_name(""), "");
  EXPECT_EQ(cpuinfo_processor_name("model name\n: x\n\0garbage"), "");
}

TEST(CpuInfo, ReadsTheFirstProcessorsClockAndRejectsNonsense) {
  EXPECT_DOUBLE_EQ(cpuinfo_mhz(kX86CpuInfo), 3400.123);
  EXPECT_EQ(cpuinfo_mhz("cpu MHz : fast\n"), 0.0);
  EXPECT_EQ(cpuinfo_mhz("cpu MHz : -5\n"), 0.0);
  EXPECT_EQ(cpuinfo_mhz("cpu MHz : nan\n"), 0.0);
  EXPECT_EQ(cpuinfo_mhz("nothing here"), 0.0);
}

TEST(CpuTopology, CountsDistinctCoresNotHyperThreads) {
  EXPECT_EQ(count_physical_cores(cpuinfo_core_locations(kX86CpuInfo)), 2u);
  EXPECT_EQ(count_physical_cores({{0, 0, 0}, {0, 0, 1}, {1, 0, 0}, {1, 0, 1}, {0, 0, 0}}), 4u);
  EXPECT_EQ(count_physical_cores({{0, 0, 0}, {0, 1, 0}}), 2u) << "same core number on two dies";
  EXPECT_EQ(count_physical_cores({}), 0u);
  // A processor block without both ids is not counted.
  EXPECT_EQ(
      cpuinfo_core_locations("processor : 0\ncore id : 3\n\nprocessor : 1\nphysical id : x\ncore id : 1\n").size(), 0u);
}

TEST(CpuList, ExpandsRangesAndSkipsMalformedParts) {
  EXPECT_EQ(parse_cpu_list("0-3,8,10-11\n"), (std::vector<unsigned>{0, 1, 2, 3, 8, 10, 11}));
  EXPECT_EQ(parse_cpu_list("0"), std::vector<unsigned>{0});
  EXPECT_EQ(parse_cpu_list("3-1,x,5-,,7"), std::vector<unsigned>{7});
  EXPECT_TRUE(parse_cpu_list("0-4294967295").empty()) << "a corrupt range must not allocate billions";
  EXPECT_TRUE(parse_cpu_list("").empty());
}

TEST(SysfsValues, ParsesCacheSizesTypesAndHexIds) {
  EXPECT_EQ(parse_cache_size("48K\n"), 49152u);
  EXPECT_EQ(parse_cache_size("32M"), 33554432u);
  EXPECT_EQ(parse_cache_size("1G"), 1073741824u);
  EXPECT_EQ(parse_cache_size("512"), 512u);
  EXPECT_FALSE(parse_cache_size("K"));
  EXPECT_FALSE(parse_cache_size("-4K"));
  EXPECT_FALSE(parse_cache_size("99999999999999999999K"));
  EXPECT_FALSE(parse_cache_size("18446744073709551615K")) << "overflow";
  EXPECT_EQ(parse_cache_type("Data\n"), CacheType::Data);
  EXPECT_EQ(parse_cache_type("Unified"), CacheType::Unified);
  EXPECT_EQ(parse_cache_type("Instruction"), CacheType::Instruction);
  EXPECT_EQ(parse_cache_type(""), CacheType::Other);
  EXPECT_EQ(parse_hex("0x10de\n"), 0x10deu);
  EXPECT_FALSE(parse_hex("0xzz"));
  EXPECT_EQ(parse_unsigned(" 8589934592\n"), 8589934592u);
  EXPECT_FALSE(parse_unsigned("12 MB"));
}

TEST(MemInfo, ReadsTotalAndAvailableInBytes) {
  const auto m =
      parse_meminfo("MemTotal:       16303428 kB\nMemFree:          250000 kB\nMemAvailable:   12000000 kB\n");
  ASSERT_TRUE(m);
  EXPECT_EQ(m->total_bytes, 16303428ull * 1024);
  EXPECT_EQ(m->available_bytes, 12000000ull * 1024);
  const auto old_kernel = parse_meminfo("MemTotal: 2048 kB\nMemFree: 1024 kB\n");
  ASSERT_TRUE(old_kernel);
  EXPECT_EQ(old_kernel->available_bytes, 1024u * 1024);
  EXPECT_FALSE(parse_meminfo("MemFree: 1 kB\n"));
  EXPECT_FALSE(parse_meminfo("MemTotal: lots kB\n"));
  EXPECT_FALSE(parse_meminfo("MemTotal: 99999999999999999999 kB\n"));
}

TEST(OsRelease, UnquotesThePrettyNameAndAddsTheKernelRelease) {
  EXPECT_EQ(
      os_release_pretty_name("NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nID=debian\n"),
      "Debian GNU/Linux 12 (bookworm)");
  EXPECT_EQ(os_release_pretty_name("PRETTY_NAME='Single quoted'\n"), "Single quoted");
  EXPECT_EQ(os_release_pretty_name("PRETTY_NAME=Unquoted\n"), "Unquoted");
  EXPECT_EQ(os_release_pretty_name("PRETTY_NAME=\"Say \\\"hi\\\" \\\\o/\"\n"), "Say \"hi\" \\o/");
  EXPECT_EQ(os_release_pretty_name("PRETTY_NAME=\"unterminated\n"), "\"unterminated");
  EXPECT_EQ(os_release_pretty_name("NAME=x\n"), "");
  EXPECT_EQ(format_os_name("Debian GNU/Linux 12 (bookworm)", "6.1.0-28-amd64"),
            "Debian GNU/Linux 12 (bookworm) (6.1.0-28-amd64)");
  EXPECT_EQ(format_os_name("Linux", ""), "Linux");
  EXPECT_EQ(format_os_name("", ""), "");
}

TEST(ProcStat, KernelIncludesIdleAndStealIsLeftOut) {
  // user nice system idle iowait irq softirq steal guest guest_nice
  const auto t = parse_proc_stat("cpu  100 5 30 1000 20 2 3 777 50 0\ncpu0 1 2 3 4\n");
  ASSERT_TRUE(t);
  EXPECT_EQ(t->idle, 1020u);
  EXPECT_EQ(t->kernel, 30u + 2 + 3 + 1000 + 20);
  EXPECT_EQ(t->user, 105u);
  const auto old_kernel = parse_proc_stat("cpu  1 2 3 4\n");
  ASSERT_TRUE(old_kernel);
  EXPECT_EQ(old_kernel->kernel, 7u);
  EXPECT_FALSE(parse_proc_stat("cpu0 1 2 3 4\n"));
  EXPECT_FALSE(parse_proc_stat("cpu  1 2 x 4\n"));
  EXPECT_FALSE(parse_proc_stat("cpu  1 2\n"));
  EXPECT_FALSE(parse_proc_stat(""));
}

}  // namespace

TEST(RestrictedProcessors, QuotaAffinityAndTheRuleThatCombinesThem) {
  EXPECT_EQ(cpu_max_processors("max 100000\n"), std::nullopt);
  EXPECT_EQ(cpu_max_processors("150000 100000\n"), 2u) << "rounded up";
  EXPECT_EQ(cpu_max_processors("100000 100000"), 1u);
  EXPECT_EQ(cpu_max_processors("50000 100000"), 1u);
  EXPECT_EQ(cpu_max_processors("100000 0"), std::nullopt);
  EXPECT_EQ(cpu_max_processors("100000"), std::nullopt);
  EXPECT_EQ(cgroup_v2_path("12:cpu,cpuacct:/old\n0::/system.slice/x.service\n"), "/system.slice/x.service");
  EXPECT_EQ(cgroup_v2_path("12:cpu,cpuacct:/only-v1\n"), "");
  EXPECT_EQ(status_allowed_processors("Name:\tx\nCpus_allowed_list:\t0,2-3\n"), 3u);
  EXPECT_EQ(status_allowed_processors("Name:\tx\n"), std::nullopt);

  EXPECT_EQ(usable_processor_count(64, 64, std::nullopt), 64u);
  EXPECT_EQ(usable_processor_count(64, 64, 4), 4u);
  EXPECT_EQ(usable_processor_count(64, 2, 4), 2u);
  EXPECT_EQ(usable_processor_count(4, 8, std::nullopt), 4u) << "never above the machine's processors";
  EXPECT_EQ(usable_processor_count(0, std::nullopt, std::nullopt), 1u);
}

TEST(ArmNames, ChipFromTheDeviceTreeAndCoresFromTheirPartNumbers) {
  EXPECT_EQ(device_tree_soc_name(std::string_view("raspberrypi,5-model-b\0brcm,bcm2712\0", 35)), "Broadcom BCM2712");
  EXPECT_EQ(device_tree_soc_name(std::string_view("acme,board\0acme,chip9\0", 22)), "acme CHIP9");
  EXPECT_EQ(device_tree_soc_name(""), "");
  EXPECT_EQ(device_tree_soc_name(std::string_view("nocomma\0", 8)), "");
  EXPECT_EQ(arm_core_name({0x41, 0xd0c}), "Neoverse-N1");
  EXPECT_EQ(arm_core_name({0x41, 0xd99}), "0x41/0xd99");
  EXPECT_EQ(arm_processor_name("", {{0xc0, 0xac3}}), "Ampere-1") << "the maker is not said twice";
  EXPECT_EQ(arm_processor_name("", {{0x99, 0x001}}), "0x99/0x001");
  EXPECT_EQ(arm_processor_name("Acme X1", {}), "Acme X1");
  EXPECT_TRUE(cpuinfo_arm_cores("processor\t: 0\nCPU implementer\t: 0x41\n\n").empty()) << "no part";
}

TEST(NominalClock, PrefersCppcThenBaseThenMaximumOfTheFastestCoreType) {
  EXPECT_EQ(nominal_clock_mhz({}), 0.0);
  EXPECT_EQ(nominal_clock_mhz({{0, 0, 0}}), 0.0);
  EXPECT_EQ(nominal_clock_mhz({{3000000, 2000000, 2500}}), 2500.0);
  EXPECT_EQ(nominal_clock_mhz({{3000000, 2000000, 0}}), 2000.0);
  EXPECT_EQ(nominal_clock_mhz({{3000000, 0, 0}}), 3000.0);
  // The efficient cores come first and have the higher base clock of no use: the fastest wins.
  EXPECT_EQ(nominal_clock_mhz({{3800000, 2200000, 0}, {5000000, 1800000, 0}}), 1800.0);
}
