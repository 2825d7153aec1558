// The platform-neutral rules of the probe: formats, cache selection, adapter choice, and the
// record assembled from fake sources.
#include <gtest/gtest.h>

#include "system/probe.h"

namespace {

TEST(FormatCacheSize, TruncatesToWholeKibibytesBelowOneMebibyteAndToMebibytesFromThere) {
  EXPECT_EQ(format_cache_size(49152), "48 KB");
  EXPECT_EQ(format_cache_size(1000), "0 KB");
  EXPECT_EQ(format_cache_size(1048575), "1023 KB");
  EXPECT_EQ(format_cache_size(1048576), "1 MB");
  EXPECT_EQ(format_cache_size(1310720), "1 MB");
  EXPECT_EQ(format_cache_size(33554432), "32 MB");
  EXPECT_EQ(format_cache_size(0), "0 KB");
}

TEST(TrimLeadingSpaces, RemovesLeadingSpacesOnlyAndKeepsAllSpaceTextsUnchanged) {
  EXPECT_EQ(trim_leading_spaces("       Example CPU"), "Example CPU");
  EXPECT_EQ(trim_leading_spaces("Example CPU   "), "Example CPU   ");
  EXPECT_EQ(trim_leading_spaces("   "), "   ");
  EXPECT_EQ(trim_leading_spaces(""), "");
  EXPECT_EQ(trim_leading_spaces("\tTab"), "\tTab");
}

TEST(SelectCacheSizes, TakesLevelOneDataOnlyAnyTypeAboveAndTheLastRecordOfALevel) {
  const auto s = select_cache_sizes({{1, CacheType::Instruction, 32768},
                                     {1, CacheType::Data, 49152},
                                     {2, CacheType::Unified, 1310720},
                                     {3, CacheType::Unified, 16777216},
                                     {3, CacheType::Unified, 33554432}});
  EXPECT_EQ(s.l1, 49152u);
  EXPECT_EQ(s.l2, 1310720u);
  EXPECT_EQ(s.l3, 33554432u);
  const auto only_instruction = select_cache_sizes({{1, CacheType::Instruction, 32768}, {2, CacheType::Data, 4096}});
  EXPECT_FALSE(only_instruction.l1);
  EXPECT_EQ(only_instruction.l2, 4096u);
  EXPECT_FALSE(only_instruction.l3);
}

GraphicsAdapter adapter(const char* name, std::uint64_t mib, AdapterKind kind) {
  return GraphicsAdapter{name, mib << 20, kind};
}

TEST(SelectGraphicsAdapter, ADiscreteAdapterBeatsAnIntegratedOneWhateverItsMemory) {
  const std::vector<GraphicsAdapter> list = {adapter("integrated", 16384, AdapterKind::Integrated),
                                             adapter("discrete", 4096, AdapterKind::Discrete)};
  EXPECT_EQ(select_graphics_adapter(list), 1u);
}

TEST(SelectGraphicsAdapter, AmongEqualsTheLargerMemoryWinsAndATieGoesToTheFirst) {
  EXPECT_EQ(
      select_graphics_adapter({adapter("a", 8192, AdapterKind::Discrete), adapter("b", 12288, AdapterKind::Discrete),
                               adapter("c", 12288, AdapterKind::Discrete)}),
      1u);
  EXPECT_EQ(select_graphics_adapter({adapter("a", 0, AdapterKind::Unknown), adapter("b", 0, AdapterKind::Unknown)}),
            0u);
}

TEST(SelectGraphicsAdapter, SoftwareAndVirtualAdaptersAreNeverChosen) {
  EXPECT_FALSE(select_graphics_adapter(
      {adapter("llvmpipe", 32768, AdapterKind::Cpu), adapter("virtio", 1024, AdapterKind::Virtual)}));
  EXPECT_EQ(select_graphics_adapter(
                {adapter("llvmpipe", 32768, AdapterKind::Cpu), adapter("igpu", 512, AdapterKind::Integrated)}),
            1u);
  EXPECT_FALSE(select_graphics_adapter({}));
}

class FakeSources final : public ISystemSources {
 public:
  std::string brand = "       Example 8-Core Processor  ";
  std::vector<GraphicsAdapter> adapters;
  std::string cpu_brand() override { return brand; }
  std::uint32_t physical_cores() override { return 8; }
  std::uint32_t logical_processors() override { return 16; }
  double clock_mhz() override { return 3400.0; }
  std::vector<CacheRecord> cache_records() override {
    return {{1, CacheType::Data, 49152}, {2, CacheType::Unified, 1048576}};
  }
  MemoryStatus memory() override { return {(std::uint64_t{32768} << 20) + 1048575, (std::uint64_t{1000} << 20) + 5}; }
  std::string os_name() override { return "Debian GNU/Linux 12 (bookworm) (6.1.0-28-amd64)"; }
  std::string computer_name() override { return "bench-box"; }
  std::vector<GraphicsAdapter> graphics_adapters() override { return adapters; }
};

TEST(CollectSystemInfo, BuildsEveryFieldInItsUnitAndFormat) {
  FakeSources sources;
  const SystemInfo info = collect_system_info(sources);
  EXPECT_EQ(info.cpu_name, "Example 8-Core Processor  ");
  EXPECT_EQ(info.physical_cores, 8u);
  EXPECT_EQ(info.logical_processors, 16u);
  EXPECT_DOUBLE_EQ(info.clock_ghz, 3.4);
  EXPECT_EQ(info.l1_cache, "48 KB");
  EXPECT_EQ(info.l2_cache, "1 MB");
  EXPECT_EQ(info.l3_cache, "N/A");
  EXPECT_EQ(info.ram_total_mb, 32768u);
  EXPECT_EQ(info.ram_available_mb, 1000u);
  EXPECT_EQ(info.os_name, "Debian GNU/Linux 12 (bookworm) (6.1.0-28-amd64)");
  EXPECT_EQ(info.computer_name, "bench-box");
  EXPECT_EQ(info.gpu_name, "");  // the graphics query is separate
  EXPECT_EQ(info.vram_mb, 0u);
}

TEST(QueryGraphicsAdapter, FillsTheChosenAdapterOrLeavesTheFieldsAlone) {
  FakeSources sources;
  SystemInfo info;
  query_graphics_adapter(info, sources);
  EXPECT_EQ(info.gpu_name, "");
  EXPECT_EQ(info.vram_mb, 0u);
  sources.adapters = {adapter("llvmpipe (LLVM 15.0.6, 256 bits)", 31000, AdapterKind::Cpu),
                      adapter("Example RX 7800", 16368, AdapterKind::Discrete)};
  query_graphics_adapter(info, sources);
  EXPECT_EQ(info.gpu_name, "Example RX 7800");
  EXPECT_EQ(info.vram_mb, 16368u);
}

// The graphics query is left to graphics_query_test: Vulkan drivers leak at exit, which the
// sanitizer builds would report as this program's fault.
TEST(SystemInfoOnThisMachine, EveryQueryAnswersWithoutFailing) {
  const SystemInfo info = collect_system_info();
  EXPECT_FALSE(info.cpu_name.empty());
  EXPECT_GE(info.logical_processors, 1u);
  EXPECT_GE(info.ram_total_mb, info.ram_available_mb);
  EXPECT_GT(info.ram_total_mb, 0u);
  EXPECT_FALSE(info.os_name.empty());
  for (const auto* cache : {&info.l1_cache, &info.l2_cache, &info.l3_cache}) {
    const bool ok = *cache == "N/A" || (cache->size() > 3 && (cache->ends_with(" KB") || cache->ends_with(" MB")));
    EXPECT_TRUE(ok) << *cache;
  }
}

}  // namespace
