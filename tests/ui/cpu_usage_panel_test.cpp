// The CPU utilisation section under the render preview, fed by a scripted clock and counters:
// when it appears, the value beside its title, and where the curve's points land.
#include <gtest/gtest.h>

#include <initializer_list>

#include "tests/ui/panel_test_support.h"
#include "ui/palette.h"

namespace {

// Each sample spends 100 units, `percent` of them busy.
class ScriptedTimes : public ICpuTimesSource {
 public:
  double now_seconds() override { return now; }
  std::optional<SystemTimes> system_times() override { return times; }

  void advance(int percent) {
    now += CpuUsageMonitor::kInterval;
    times.user += static_cast<std::uint64_t>(percent);
    times.kernel += static_cast<std::uint64_t>(100 - percent);
    times.idle += static_cast<std::uint64_t>(100 - percent);
  }

  double now = 1.0;
  SystemTimes times{1000, 2000, 3000};
};

// A finished run of the given samples, as the monitor keeps it for display.
void record_run(CpuUsageMonitor& monitor, std::initializer_list<int> percents, int repeat = 1) {
  ScriptedTimes source;
  monitor.update(true, source);  // the baseline
  for (int r = 0; r < repeat; ++r) {
    for (const int percent : percents) {
      source.advance(percent);
      monitor.update(true, source);
    }
  }
  monitor.update(false, source);
}

const ImU32 kIdleFill = packed(kTeal, 0x15);

class CpuUsagePanel : public PanelTest {
 protected:
  void SetUp() override {
    PanelTest::SetUp();
    // Filled shapes keep exactly their corners, so the curve can be read back from the vertices.
    ImGui::GetStyle().AntiAliasedFill = false;
  }

  // The curve's quads in the last frame: (xa, ya), (xb, yb), (xb, bottom), (xa, bottom) each.
  static std::vector<ImVec2> curve() { return vertices_of(HeadlessGui::child("##center"), kIdleFill); }
};

}  // namespace

TEST_F(CpuUsagePanel, NothingIsDrawnUntilARunHasASampleAndANewRunClearsTheLastOne) {
  make_app();
  EXPECT_FALSE(contains(frame(), "CPU UTILIZATION"));
  EXPECT_EQ(find_item_rect("cpu graph"), nullptr);

  // One value: background, grid and labels, but no curve yet.
  record_run(app->cpu_monitor, {50});
  const std::string text = frame();
  EXPECT_TRUE(contains(text, "CPU UTILIZATION"));
  EXPECT_NE(find_item_rect("cpu graph"), nullptr);
  EXPECT_FALSE(vertices_of(HeadlessGui::child("##center"), IM_COL32(48, 48, 48, 255)).empty());  // grid labels
  EXPECT_TRUE(curve().empty());

  // A new run: its first sample is only a baseline, so the section stays away until the next.
  app->engine.running.store(true);
  EXPECT_FALSE(contains(frame(), "CPU UTILIZATION"));
  EXPECT_EQ(app->cpu_monitor.stored, 0);
}

TEST_F(CpuUsagePanel, AfterARunTheTitleShowsItsAverageAndTheShortCurveEndsAtTheRightEdge) {
  make_app();
  record_run(app->cpu_monitor, {96, 97, 98});
  EXPECT_TRUE(contains(frame(), "avg 97%"));

  const ItemRect* graph = find_item_rect("cpu graph");
  ASSERT_NE(graph, nullptr);
  const float w = graph->x1 - graph->x0;
  const float step = w * (1.0f / 299.0f);
  const std::vector<ImVec2> quads = curve();
  ASSERT_EQ(quads.size(), 2u * 4u);
  EXPECT_NEAR(quads[0].x, graph->x0 + 297.0f * step, 0.01f);
  EXPECT_NEAR(quads[5].x, graph->x1, 0.01f);

  // While a run goes on: the smoothed value, without "avg". No sample is due in this frame.
  app->cpu_monitor.sampling = true;
  app->cpu_monitor.last_sample_time = 1e300;
  app->engine.running.store(true);
  const std::string running = frame();
  EXPECT_TRUE(contains(running, "37%"));  // 96, 97, 98 smoothed from 0
  EXPECT_FALSE(contains(running, "avg"));
}

TEST_F(CpuUsagePanel, ARunLongerThanTheRingIsDrawnWholeFromItsFirstValue) {
  make_app();
  CpuUsageMonitor& monitor = app->cpu_monitor;
  // Full load: every smoothed value is higher than the one before, 15 and 27.75 the first two.
  record_run(monitor, {100}, 301);
  EXPECT_EQ(monitor.stored, 300);
  EXPECT_EQ(monitor.write_index, 1);
  EXPECT_GT(monitor.usage_history[0], 99.0f);  // the 301st value
  EXPECT_FLOAT_EQ(monitor.usage_history[1], 27.75f);
  ASSERT_EQ(monitor.run_values.size(), 301u);

  frame();
  const ItemRect* graph = find_item_rect("cpu graph");
  ASSERT_NE(graph, nullptr);
  const float h = graph->y1 - graph->y0;
  const std::vector<ImVec2> quads = curve();
  ASSERT_EQ(quads.size(), 299u * 4u);
  EXPECT_NEAR(quads[0].x, graph->x0, 0.01f);
  EXPECT_NEAR(quads[0].y, graph->y1 - h * 0.15f, 0.01f) << "the run's first value, which the ring lost";
  EXPECT_NEAR(quads[2].y, graph->y1, 0.01f);
  const ImVec2 newest = quads[quads.size() - 3];
  EXPECT_NEAR(newest.x, graph->x1, 0.05f);
  // The last point averages the last two values: 301 values in 300 points.
  const float last = (monitor.run_values[299] + monitor.run_values[300]) * 0.5f;
  EXPECT_NEAR(newest.y, graph->y1 - h * last * 0.01f, 0.01f);
}

TEST_F(CpuUsagePanel, TheGraphKeepsEightyPixelsWhenTheColumnHasNoRoomLeft) {
  make_app();
  record_run(app->cpu_monitor, {40, 60});
  frame();
  const ItemRect* roomy = find_item_rect("cpu graph");
  ASSERT_NE(roomy, nullptr);
  EXPECT_GT(roomy->y1 - roomy->y0, 80.0f);

  ImGui::GetIO().DisplaySize = ImVec2(1600, 320);
  frame();
  frame();
  // The graph reaches below the column, which scrolls to show it whole.
  EXPECT_EQ(find_item_rect("cpu graph"), nullptr) << "listed while partly out of view";
  ImGuiWindow* center = HeadlessGui::child("##center");
  ASSERT_NE(center, nullptr);
  ImGui::SetScrollY(center, center->ScrollMax.y);
  frame();
  const ItemRect* cramped = find_item_rect("cpu graph");
  ASSERT_NE(cramped, nullptr);
  EXPECT_EQ(cramped->y1 - cramped->y0, 80.0f);
}
