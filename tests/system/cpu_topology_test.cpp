// Core types from per-processor classes, the Windows core records, the CPUID decoding, the
// placement's Windows form, and binding a thread on this machine.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "system/core_placement.h"
#include "system/cpu_topology.h"
#include "system/cpuid_core_type.h"
#include "system/processor_core_records.h"
#include "system/thread_affinity.h"
#include "tests/support/core_records.h"

namespace {

// 2 P cores with SMT (class 1) and 4 E cores (class 0); the E cores in group 1 when `split`.
std::vector<std::uint8_t> hybrid_records(bool split) {
  std::vector<std::uint8_t> buffer;
  add_core(buffer, 1, 0, 0b11);
  add_core(buffer, 1, 0, 0b1100);
  for (unsigned i = 0; i < 4; ++i) add_core(buffer, 0, split ? 1 : 0, std::uint64_t{1} << (split ? i : 4 + i));
  return buffer;
}

}  // namespace

TEST(CoreTypes, CapacitiesWithinFivePercentOfTheirClustersTopAreOneType) {
  EXPECT_EQ(capacity_classes({1024, 1004, 414, 1024}), (std::vector<std::uint64_t>{1024, 1024, 414, 1024}));
  // A chain of small steps does not merge: 1024 and 960 are 6 % apart.
  EXPECT_EQ(capacity_classes({1024, 990, 960}), (std::vector<std::uint64_t>{1024, 1024, 960}));
  EXPECT_EQ(capacity_classes({512, 512}), (std::vector<std::uint64_t>{512, 512}));
}

TEST(CoreTypes, NamesFollowTheArchitectureAndFallBackWhereCoreNamesDoNotTellTypesApart) {
  const auto processors = [](const std::vector<std::pair<std::uint64_t, std::string>>& classes) {
    std::vector<LogicalProcessor> list;
    for (const auto& [speed, part] : classes) {
      LogicalProcessor p;
      p.id = static_cast<unsigned>(list.size());
      p.core = p.id;
      p.speed_class = speed;
      p.part_name = part;
      list.push_back(p);
    }
    return list;
  };
  const auto names = [](const CpuTopology& t) {
    std::vector<std::string> n;
    for (const CoreType& type : t.types) n.push_back(type.name);
    return n;
  };
  EXPECT_EQ(names(make_cpu_topology(processors({{1, ""}, {0, ""}}), CoreNaming::x86)),
            (std::vector<std::string>{"P", "E"}));
  EXPECT_EQ(
      names(make_cpu_topology(processors({{0, "Cortex-A55"}, {2, "Cortex-X1"}, {1, "Cortex-A78"}}), CoreNaming::arm)),
      (std::vector<std::string>{"Cortex-X1", "Cortex-A78", "Cortex-A55"}));
  // The same core at two capacities, and an unknown part: positions, not names.
  EXPECT_EQ(names(make_cpu_topology(processors({{1, "Cortex-A78"}, {0, "Cortex-A78"}}), CoreNaming::arm)),
            (std::vector<std::string>{"big", "LITTLE"}));
  EXPECT_EQ(names(make_cpu_topology(processors({{3, "0x41/0xd99"}, {2, "a"}, {1, "b"}}), CoreNaming::arm)),
            (std::vector<std::string>{"prime", "big", "LITTLE"}));
  EXPECT_TRUE(make_cpu_topology(processors({{5, "a"}, {5, "b"}}), CoreNaming::arm).types.empty());
}

TEST(CoreTypes, WindowsCoreRecordsGiveTypesByEfficiencyClassAcrossGroups) {
  for (const bool split : {false, true}) {
    const auto t = parse_processor_core_records(hybrid_records(split), CoreNaming::x86);
    ASSERT_TRUE(t.has_value());
    EXPECT_EQ(t->types, (std::vector<CoreType>{{"P", 2, 4}, {"E", 4, 4}}));
    EXPECT_EQ(t->processors.back().id, split ? 67u : 7u) << "group 1's bit 3";
    // Windows binds the single worker to the whole fastest type and lets its scheduler choose.
    const SinglePlacement s = place_single_run(*t, {}, SingleBinding::fastest_type);
    EXPECT_EQ(s.processors, (ProcessorSet{0, 1, 2, 3}));
    EXPECT_EQ(place_smt_run(*t, {}).processors, (ProcessorSet{0, 1}));
  }
  // A machine of one type reports class 0 everywhere: no types, an unbound single run.
  std::vector<std::uint8_t> uniform;
  add_core(uniform, 0, 0, 0b11);
  add_core(uniform, 0, 0, 0b1100);
  const auto t = parse_processor_core_records(uniform, CoreNaming::x86);
  ASSERT_TRUE(t.has_value());
  EXPECT_FALSE(t->mixed());
  EXPECT_TRUE(place_single_run(*t, {}, SingleBinding::fastest_type).processors.empty());
}

TEST(CoreTypes, GarbledWindowsRecordsAreNoTopology) {
  std::vector<std::uint8_t> buffer = hybrid_records(false);
  EXPECT_FALSE(parse_processor_core_records(std::span(buffer).first(buffer.size() - 1), CoreNaming::x86));
  buffer[core_record::kSize] = 4;  // a record shorter than its own header
  EXPECT_FALSE(parse_processor_core_records(buffer, CoreNaming::x86));
  buffer = hybrid_records(false);
  buffer[core_record::kGroupCount] = 200;  // more masks than the record holds
  EXPECT_FALSE(parse_processor_core_records(buffer, CoreNaming::x86));
  EXPECT_TRUE(parse_processor_core_records({}, CoreNaming::x86).has_value());
}

TEST(CoreTypes, CpuidCoreTypeLeavesDecode) {
  EXPECT_EQ(intel_core_type(0x40000001u), CpuidCoreType::performance);
  EXPECT_EQ(intel_core_type(0x20000001u), CpuidCoreType::efficiency);
  EXPECT_EQ(intel_core_type(0), std::nullopt);
  EXPECT_EQ(amd_core_type(1u << 30, 0x00000010u), CpuidCoreType::performance);
  EXPECT_EQ(amd_core_type(1u << 30, 0x10000010u), CpuidCoreType::efficiency);
  EXPECT_EQ(amd_core_type(0, 0x10000010u), std::nullopt) << "without the heterogeneous flag the type is no type";
}

TEST(CoreTypes, ThisMachinesTopologyHoldsEveryProcessorThisProcessMayUse) {
  const CpuTopology t = this_machine_cpu_topology();
  ProcessorSet ids;
  for (const LogicalProcessor& p : t.processors) ids.push_back(p.id);
  for (const unsigned allowed : this_process_processors())
    EXPECT_TRUE(std::binary_search(ids.begin(), ids.end(), allowed)) << allowed;
  EXPECT_FALSE(ids.empty());
}

TEST(ThreadAffinity, AThreadBoundToOneProcessorRunsOnlyThere) {
  const ProcessorSet allowed = this_process_processors();
  ASSERT_FALSE(allowed.empty());
  ProcessorSet seen;
  bool bound = false;
  std::thread worker([&] {
    bound = bind_this_thread({allowed.back()});
    seen = this_thread_processors();
  });
  worker.join();
  EXPECT_TRUE(bound);
  EXPECT_EQ(seen, ProcessorSet{allowed.back()});
  // The start hook's form: worker 1 of an SMT run takes the second processor of the list.
  const auto hook = worker_binding({{allowed.front()}, {allowed.back()}});
  seen.clear();
  std::thread second([&] {
    hook(1);
    seen = this_thread_processors();
  });
  second.join();
  EXPECT_EQ(seen, ProcessorSet{allowed.back()});
  EXPECT_EQ(this_process_processors(), allowed) << "the process keeps its mask";
  EXPECT_FALSE(bind_this_thread({}));
}
