// The system information panel: formatting of the machine's figures and the wrapping of long
// names within the value column.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/ui/panel_test_support.h"
#include "ui/palette.h"

using SystemInfoPanel = PanelTest;

TEST_F(SystemInfoPanel, FiguresAreFormattedAndZerosAreShownAsZeros) {
  make_app();
  const std::string empty = frame();
  EXPECT_TRUE(contains(empty, "0C / 0T"));
  EXPECT_TRUE(contains(empty, "0.00 GHz"));
  EXPECT_TRUE(contains(empty, "0 MB"));

  SystemInfo& info = app->system_info;
  info.cpu_name = "Test CPU 9000";
  info.physical_cores = 8;
  info.logical_processors = 16;
  info.clock_ghz = 3.456;
  info.l1_cache = "48 KB";
  info.l3_cache = "32 MB";
  info.gpu_name = "Test GPU";
  info.vram_mb = 4096;
  info.ram_total_mb = 18446744073709551615ull;  // the largest count prints whole
  info.ram_available_mb = 777;
  info.os_name = "Test OS 1.0";
  info.computer_name = "bench-host";
  const std::string text = frame();
  EXPECT_TRUE(contains(text, "8C / 16T"));
  EXPECT_TRUE(contains(text, "3.46 GHz"));
  EXPECT_TRUE(contains(text, "4096 MB"));
  EXPECT_TRUE(contains(text, "18446744073709551615 MB"));
  EXPECT_FALSE(contains(text, "777"));  // available memory is not shown
  // The rows keep their order, processor first and computer name last.
  const char* in_order[] = {"Test CPU 9000", "8C / 16T", "3.46 GHz",    "48 KB",     "32 MB",
                            "Test GPU",      "4096 MB",  "Test OS 1.0", "bench-host"};
  std::size_t at = 0;
  for (const char* value : in_order) {
    const std::size_t found = text.find(value, at);
    ASSERT_NE(found, std::string::npos) << value;
    at = found;
  }
}

TEST_F(SystemInfoPanel, ALongProcessorNameWrapsWithinTheValueColumn) {
  make_app();
  std::string name;
  for (int i = 0; i < 12; ++i) name += "Xeon ";
  app->system_info.cpu_name = name;
  frame();

  // The panel scrolls in a region of its own that spans the column from its left edge.
  const ImGuiWindow* left = HeadlessGui::child("##system_info");
  ASSERT_NE(left, nullptr);
  // The values are the first texts of the column in the default colour: "Xeon" twelve times.
  const std::vector<GlyphBox> values = glyphs_of(left, ImGui::GetStyle().Colors[ImGuiCol_Text]);
  ASSERT_GE(values.size(), 48u);
  const std::vector<GlyphBox> cpu(values.begin(), values.begin() + 48);
  // Grey labels: "CPU", then "Cores".
  const std::vector<GlyphBox> labels = glyphs_of(left, kLabelGrey);
  ASSERT_GE(labels.size(), 8u);

  const float column = left->Pos.x + 6.0f * ImGui::GetFontSize();
  std::vector<float> line_tops;
  for (std::size_t i = 0; i < cpu.size(); i += 4) {  // each word starts with its "X"
    if (line_tops.empty() || cpu[i].min.y > line_tops.back()) {
      line_tops.push_back(cpu[i].min.y);
      // Every line begins at the value column, as the first one does.
      EXPECT_EQ(cpu[i].min.x, cpu[0].min.x);
    }
  }
  EXPECT_GE(line_tops.size(), 2u);
  EXPECT_GE(cpu[0].min.x, column);
  EXPECT_LE(cpu[0].min.x, column + 2.0f);
  float right_edge = 0;
  for (const GlyphBox& glyph : cpu) right_edge = std::max(right_edge, glyph.max.x);
  EXPECT_LE(right_edge, left->ContentRegionRect.Max.x);

  // The next label starts below the last wrapped line, on the same line as its value.
  float cpu_bottom = 0;
  for (const GlyphBox& glyph : cpu) cpu_bottom = std::max(cpu_bottom, glyph.max.y);
  const GlyphBox cores_label = labels[3];
  EXPECT_GT(cores_label.min.y, cpu_bottom);
  EXPECT_EQ(values[48].min.y, cores_label.min.y);  // "0C / 0T" beside "Cores"
}
