// The graphics query and the info command on this machine, through Vulkan when a loader is
// installed (DXGI on Windows). Release builds only: Vulkan drivers leak at exit, which sanitizers would report.
#include <gtest/gtest.h>

#include <sstream>

#include <nlohmann/json.hpp>

#include "cli/info_command.h"
#ifndef _WIN32
#include "system/graphics_linux.h"
#endif

namespace {

TEST(GraphicsQueryOnThisMachine, GivesAnAdapterWithItsMemoryOrCleanlyNothing) {
  SystemInfo info;
  query_graphics_adapter(info);
  if (info.gpu_name.empty()) {
    EXPECT_EQ(info.vram_mb, 0u);
  }
#ifndef _WIN32
  for (const auto& a : vulkan_graphics_adapters()) EXPECT_FALSE(a.name.empty());
#endif
}

TEST(GraphicsQueryOnThisMachine, TheInfoCommandPrintsThisMachinesFacts) {
  std::ostringstream out;
  EXPECT_EQ(run_info_command(true, out), 0);
  const auto j = nlohmann::json::parse(out.str());
  EXPECT_GE(j["logical_processors"].get<int>(), 1);
}

}  // namespace
