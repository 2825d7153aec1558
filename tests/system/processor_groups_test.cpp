// Worker placement over processor groups, on fake topologies; and the Windows version rule.
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "system/job_cpu_limit.h"
#include "system/processor_groups.h"
#include "system/windows_version.h"

namespace {

// How many of the first `workers` workers each group gets.
std::map<std::uint32_t, int> spread(int workers, const std::vector<std::uint32_t>& sizes) {
  std::map<std::uint32_t, int> count;
  for (int i = 0; i < workers; ++i) ++count[group_for_worker(i, sizes)];
  return count;
}

}  // namespace

TEST(ProcessorGroups, WorkersAlternateOverEqualGroupsAndFillEveryProcessorOnce) {
  const std::vector<std::uint32_t> two{64, 64};
  EXPECT_EQ(group_for_worker(0, two), 0u);
  EXPECT_EQ(group_for_worker(1, two), 1u);
  EXPECT_EQ(group_for_worker(2, two), 0u);
  EXPECT_EQ(spread(128, two), (std::map<std::uint32_t, int>{{0, 64}, {1, 64}}));
  // A single worker, as a single-core run has, stays in the first group.
  EXPECT_EQ(group_for_worker(0, {64, 64, 64}), 0u);
}

TEST(ProcessorGroups, UnequalGroupsFillUpToTheirSizeAndExtraWorkersStartOver) {
  // 96 processors as 64 + 32: no group gets a second worker per processor.
  const std::vector<std::uint32_t> sizes{64, 32};
  EXPECT_EQ(spread(96, sizes), (std::map<std::uint32_t, int>{{0, 64}, {1, 32}}));
  // Round-robin while both have room: the smaller group is full after 64 workers.
  EXPECT_EQ(spread(64, sizes), (std::map<std::uint32_t, int>{{0, 32}, {1, 32}}));
  EXPECT_EQ(group_for_worker(96, sizes), group_for_worker(0, sizes));
  EXPECT_EQ(spread(192, sizes), (std::map<std::uint32_t, int>{{0, 128}, {1, 64}}));
  // Three groups, one of them empty (an offline node): it gets nobody.
  EXPECT_EQ(spread(40, {20, 0, 20}), (std::map<std::uint32_t, int>{{0, 20}, {2, 20}}));
  EXPECT_EQ(group_for_worker(5, {0, 0}), 0u);
}

TEST(WindowsVersion, Build22000AndLaterAreWindows11) {
  EXPECT_EQ(format_windows_version("Windows 10 Pro", "23H2", "22631"), "Windows 11 Pro 23H2 (Build 22631)");
  EXPECT_EQ(format_windows_version("Windows 10 Home", "", "22000"), "Windows 11 Home (Build 22000)");
  EXPECT_EQ(format_windows_version("Windows 10 Home", "", "21999"), "Windows 10 Home (Build 21999)");
  EXPECT_EQ(format_windows_version("Windows 10 Pro", "", "19045"), "Windows 10 Pro (Build 19045)");
  // Only the first occurrence, and nothing without a build number.
  EXPECT_EQ(format_windows_version("Windows 10 on Windows 10", "", "26100"), "Windows 11 on Windows 10 (Build 26100)");
  EXPECT_EQ(format_windows_version("Windows 10 Pro", "22H2", ""), "Windows 10 Pro 22H2");
  EXPECT_EQ(format_windows_version("Windows Server 2022", "", "20348"), "Windows Server 2022 (Build 20348)");
  EXPECT_EQ(format_windows_version("", "", ""), "");
}

TEST(JobCpuLimit, AHardCapOrMaximumRateBecomesProcessorsRoundedUp) {
  EXPECT_EQ(job_rate_processors({kJobCpuRateEnable | kJobCpuRateHardCap, 2500, 0}, 16), 4u);
  EXPECT_EQ(job_rate_processors({kJobCpuRateEnable | kJobCpuRateHardCap, 2501, 0}, 16), 5u);
  EXPECT_EQ(job_rate_processors({kJobCpuRateEnable | kJobCpuRateHardCap, 1, 0}, 8), 1u);
  EXPECT_EQ(job_rate_processors({kJobCpuRateEnable | kJobCpuRateMinMax, 0, 5000}, 12), 6u);
  // No limit: disabled, a weight, the whole machine, a minimum only.
  EXPECT_EQ(job_rate_processors({kJobCpuRateHardCap, 2500, 0}, 16), std::nullopt);
  EXPECT_EQ(job_rate_processors({kJobCpuRateEnable | kJobCpuRateWeightBased, 5, 0}, 16), std::nullopt);
  EXPECT_EQ(job_rate_processors({kJobCpuRateEnable | kJobCpuRateHardCap, 10000, 0}, 16), std::nullopt);
  EXPECT_EQ(job_rate_processors({kJobCpuRateEnable | kJobCpuRateMinMax, 0, 0}, 16), std::nullopt);
}
