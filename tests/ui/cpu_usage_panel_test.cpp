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

const ImU32 kIdleFill = packed(kTeal, 0x1C);

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

TEST_F(CpuUsagePanel, AfterARunTheTitleShowsItsAverageAndTheCurveSpansTheWholeRun) {
  make_app();
  record_run(app->cpu_monitor, {96, 97, 98});
  EXPECT_TRUE(contains(frame(), "avg 97%"));

  const ItemRect* graph = find_item_rect("cpu graph");
  ASSERT_NE(graph, nullptr);
  const std::vector<ImVec2> quads = curve();
  ASSERT_EQ(quads.size(), 2u * 4u);
  // Whole pixel columns, so the first and last points sit within a pixel of the edges.
  EXPECT_NEAR(quads[0].x, graph->x0, 1.0f);
  EXPECT_NEAR(quads[5].x, graph->x1, 1.0f);
  EXPECT_EQ(quads[1].x, quads[4].x) << "neighbouring quads share their edge: no seam";

  // While a run goes on: the smoothed value, without "avg". No sample is due in this frame.
  app->cpu_monitor.sampling = true;
  app->cpu_monitor.last_sample_time = 1e300;
  app->engine.running.store(true);
  const std::string running = frame();
  EXPECT_TRUE(contains(running, "96%"));  // smoothed from the first value, not from 0
  EXPECT_FALSE(contains(running, "avg"));
}

TEST_F(CpuUsagePanel, ALongRunIsDrawnWholeAtMostOnePointAPixelColumn) {
  make_app();
  record_run(app->cpu_monitor, {100}, 3000);
  ASSERT_EQ(app->cpu_monitor.stored, 3000);
  frame();
  const ItemRect* graph = find_item_rect("cpu graph");
  ASSERT_NE(graph, nullptr);
  const std::vector<ImVec2> quads = curve();
  ASSERT_FALSE(quads.empty());
  EXPECT_LE(quads.size() / 4, static_cast<std::size_t>(graph->x1 - graph->x0) + 1);
  EXPECT_NEAR(quads.front().x, graph->x0, 1.0f) << "the run's start, not only its last 300 values";
  EXPECT_NEAR(quads[quads.size() - 3].x, graph->x1, 1.0f);
  const float top = quads.front().y;
  EXPECT_GT(top, graph->y0 + 2.0f) << "full load lies below the border, not on it";
  EXPECT_LT(top, graph->y0 + 0.25f * (graph->y1 - graph->y0));
  for (std::size_t i = 0; i < quads.size(); i += 4) EXPECT_EQ(quads[i].y, top) << "full load from the first value on";
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
