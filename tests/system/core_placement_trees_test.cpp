// Core types and the placement of the single-thread and SMT runs on the captured machine trees
// (tests/system/machines): which processor the single worker takes, which the SMT workers take.
#include <gtest/gtest.h>

#include <string>

#include "system/core_placement.h"
#include "system/cpu_topology_linux.h"
#include "system/probe.h"
#include "system/probe_linux.h"

namespace {

std::string tree(const std::string& name) { return std::string(STRELVIK_MACHINE_TREES) + "/" + name; }

CpuTopology topology(const std::string& name, const CoreTypeProbe& cpuid = nullptr) {
  return read_linux_cpu_topology(tree(name), cpuid);
}

SinglePlacement single(const CpuTopology& t, const ProcessorSet& allowed = {}) {
  return place_single_run(t, allowed, SingleBinding::favoured_processor);
}

// CPUID as the Zen 5 part answers it: cores 0 and 1 (processors 0, 1, 6, 7) are Zen 5.
std::optional<CpuidCoreType> zen5_cpuid(unsigned processor) {
  return processor % 6 < 2 ? CpuidCoreType::performance : CpuidCoreType::efficiency;
}

}  // namespace

TEST(CorePlacementTrees, IntelHybridRunsSingleOnTheFavouredPCoreAndSmtOnItsTwoThreads) {
  const CpuTopology t = topology("intel-hybrid");
  EXPECT_EQ(t.types, (std::vector<CoreType>{{"P", 2, 4}, {"E", 4, 4}}));
  const SinglePlacement s = single(t, read_linux_process_affinity(tree("intel-hybrid")));
  EXPECT_EQ(s.processors, ProcessorSet{2}) << "highest_perf 64 beats 62 among the P cores";
  EXPECT_EQ(s.core_type, "P");
  EXPECT_EQ(s.not_standard_reason, "");
  const SmtPlacement smt = place_smt_run(t, {});
  EXPECT_EQ(smt.processors, (ProcessorSet{2, 3}));
  EXPECT_EQ(smt.core_type, "P");
  EXPECT_EQ(cores_text(collect_system_info(*make_linux_system_sources(tree("intel-hybrid"), false))), "2P + 4E / 8T");
}

TEST(CorePlacementTrees, IntelHybridMaskedToItsECoresRunsThereButIsNotStandard) {
  const CpuTopology t = topology("intel-hybrid");
  const SinglePlacement s = single(t, {4, 5, 6, 7});
  EXPECT_EQ(s.processors, ProcessorSet{4});
  EXPECT_EQ(s.core_type, "E");
  EXPECT_EQ(s.not_standard_reason,
            "not submitted: this process may not run on the P cores, the fastest of this machine");
  const SmtPlacement smt = place_smt_run(t, {4, 5, 6, 7});
  EXPECT_TRUE(smt.processors.empty());
  EXPECT_EQ(smt.unavailable_reason, "No SMT run: each E core of this processor runs one thread (no SMT)");
  // One thread of the favoured core masked out: the other P core keeps its pair.
  EXPECT_EQ(place_smt_run(t, {0, 1, 2, 4}).processors, (ProcessorSet{0, 1}));
  EXPECT_EQ(single(t, {0, 1, 2, 4}).processors, ProcessorSet{2});
}

TEST(CorePlacementTrees, Rk3588GroupsItsA76PairsWithinFivePercentAndHasNoSmt) {
  const CpuTopology t = topology("rk3588");
  EXPECT_EQ(t.types, (std::vector<CoreType>{{"Cortex-A76", 4, 4}, {"Cortex-A55", 4, 4}}));
  EXPECT_EQ(core_types_text(t.types), "4 Cortex-A76 + 4 Cortex-A55");
  EXPECT_EQ(single(t).processors, ProcessorSet{4}) << "the 2.4 GHz pair before the 2.352 GHz one";
  EXPECT_EQ(single(t).core_type, "Cortex-A76");
  const SmtPlacement smt = place_smt_run(t, {});
  EXPECT_TRUE(smt.processors.empty());
  EXPECT_EQ(smt.unavailable_reason, "No SMT run: each Cortex-A76 core of this processor runs one thread (no SMT)");
}

TEST(CorePlacementTrees, X86SmtIsUniformSoSingleIsUnboundAndSmtTakesOneCoresThreads) {
  const CpuTopology t = topology("x86-smt");
  EXPECT_FALSE(t.mixed());
  EXPECT_EQ(single(t), SinglePlacement{});
  const SmtPlacement smt = place_smt_run(t, read_linux_process_affinity(tree("x86-smt")));
  EXPECT_EQ(smt.processors, (ProcessorSet{0, 2})) << "core_cpus_list 0,2: siblings are not neighbours";
  EXPECT_EQ(smt.core_type, std::nullopt);
}

TEST(CorePlacementTrees, Zen5PartTakesItsTypesFromCpuidAndItsFavouredCoreFromHighestPerf) {
  const CpuTopology t = topology("zen5-hybrid", zen5_cpuid);
  EXPECT_EQ(t.types, (std::vector<CoreType>{{"P", 2, 4}, {"E", 4, 8}}));
  EXPECT_EQ(single(t).processors, ProcessorSet{1});
  EXPECT_EQ(place_smt_run(t, {}).processors, (ProcessorSet{1, 7}));
  // Without CPUID (a captured tree) nothing tells the types apart: highest_perf is no type.
  EXPECT_FALSE(topology("zen5-hybrid").mixed());
  // A processor CPUID cannot answer for leaves the source unused rather than half-read.
  EXPECT_FALSE(topology("zen5-hybrid", [](unsigned p) { return p == 3 ? std::nullopt : zen5_cpuid(p); }).mixed());
}

TEST(CorePlacementTrees, UniformDesktopKeepsTodaysLineAndItsSmtRunTakesTheFavouredCore) {
  const CpuTopology t = topology("uniform-favoured");
  EXPECT_FALSE(t.mixed());
  EXPECT_EQ(cores_text(collect_system_info(*make_linux_system_sources(tree("uniform-favoured"), false))), "4C / 8T");
  EXPECT_TRUE(single(t).processors.empty());
  EXPECT_EQ(place_smt_run(t, {}).processors, (ProcessorSet{1, 5}));
}
