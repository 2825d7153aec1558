// The main window's layout in headless frames: the title line, the column widths at any size
// and scale, the "RUNNING..." rule and the right column's tabs.
#include <gtest/gtest.h>

#include "tests/support/test_environment.h"
#include "tests/support/test_processes.h"
#include "tests/ui/headless_gui.h"
#include "ui/fonts.h"
#include "ui/theme.h"

static bool contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

class MainWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    set_variable("STRELVIK_HISTORY", dir.file("history.json"));
    app = std::make_unique<App>();
    apply_theme();
  }
  void TearDown() override {
    app->engine.running.store(false);
    app.reset();
    unset_variable("STRELVIK_HISTORY");
  }
  void start(float scale) {
    load_fonts(*app, scale, find_font_files());
    gui.build_fonts();
    gui.frame(*app);
    gui.frame(*app);
  }

  TempDir dir;
  HeadlessGui gui;
  std::unique_ptr<App> app;
};

TEST(ColumnWidths, TheCentreTakesWhatTheFixedColumnsAndTheirSpacingLeave) {
  const ColumnWidths at_one = column_widths(1576.0f, 1.0f);
  EXPECT_EQ(at_one.left, 280.0f);
  EXPECT_EQ(at_one.right, 320.0f);
  EXPECT_EQ(at_one.center, 952.0f);
  const ColumnWidths narrow = column_widths(500.0f, 1.0f);
  EXPECT_EQ(narrow.center, -124.0f);  // not clamped
}

TEST_F(MainWindow, ColumnsAtOneAndAHalfAreScaledAndOnlyTheCentreFollowsTheWindow) {
  start(1.5f);
  ImGuiWindow* left = HeadlessGui::child("##left");
  ImGuiWindow* center = HeadlessGui::child("##center");
  ImGuiWindow* right = HeadlessGui::child("##right");
  ASSERT_TRUE(left && center && right);
  EXPECT_EQ(left->Size.x, 420.0f);
  EXPECT_EQ(right->Size.x, 480.0f);
  // Padding 18 on each side and 12 between the columns at this scale.
  EXPECT_EQ(center->Size.x, 1600.0f - 36.0f - 420.0f - 480.0f - 36.0f);
  EXPECT_LT(left->Pos.x, center->Pos.x);
  EXPECT_LT(center->Pos.x, right->Pos.x);
  // The columns reach down to the bottom padding, less the one pixel that a height of -1 keeps.
  EXPECT_EQ(left->Pos.y + left->Size.y, 900.0f - 18.0f - 1.0f);

  const float center_before = center->Size.x;
  ImGui::GetIO().DisplaySize = ImVec2(1200, 700);
  gui.frame(*app);
  gui.frame(*app);
  EXPECT_EQ(left->Size.x, 420.0f);
  EXPECT_EQ(right->Size.x, 480.0f);
  EXPECT_EQ(center->Size.x, center_before - 400.0f);
  // The centre leaves 24 x scale for the two gaps between columns, which take 2 x 12 here.
  EXPECT_EQ(right->Pos.x + right->Size.x, 1200.0f - 18.0f - (36.0f - 24.0f));
}

TEST_F(MainWindow, TheTitleLineNamesTheProgramAndShowsRunningOnlyWhileTheEngineRuns) {
  start(1.0f);
  std::string text = gui.frame(*app);
  EXPECT_TRUE(contains(text, "STRELVIK"));
  EXPECT_TRUE(contains(text, "v1.4"));
  EXPECT_FALSE(contains(text, "RUNNING..."));
  const float separator_y_idle = HeadlessGui::child("##left")->Pos.y;

  app->engine.running.store(true);
  EXPECT_TRUE(contains(gui.frame(*app), "RUNNING..."));
  EXPECT_TRUE(contains(gui.frame(*app), "RUNNING..."));
  // The title line keeps its height either way: the columns do not jump.
  EXPECT_EQ(HeadlessGui::child("##left")->Pos.y, separator_y_idle);
  app->engine.running.store(false);
  EXPECT_FALSE(contains(gui.frame(*app), "RUNNING..."));
}

// A minimised window has no area: the loop keeps drawing, and the layout must not trip the
// library's checks with its negative centre width.
TEST_F(MainWindow, AWindowWithoutAreaStillDraws) {
  start(1.0f);
  ImGui::GetIO().DisplaySize = ImVec2(0, 0);
  gui.frame(*app);
  gui.frame(*app);
  ImGui::GetIO().DisplaySize = ImVec2(1600, 900);
  EXPECT_NE(gui.frame(*app).find("STRELVIK"), std::string::npos);
}

TEST_F(MainWindow, PanelsAreDrawnInColumnOrderAndHistoryIsTheFirstTab) {
  start(1.0f);
  const std::string text = gui.frame(*app);
  const std::size_t system = text.find("SYSTEM INFO");
  const std::size_t benchmark = text.find("BENCHMARK");
  const std::size_t score = text.find("SCORE");
  const std::size_t preview = text.find("RENDER PREVIEW");
  const std::size_t history = text.find("RESULTS HISTORY");
  ASSERT_NE(history, std::string::npos);
  EXPECT_LT(system, benchmark);
  EXPECT_LT(benchmark, score);
  EXPECT_LT(score, preview);
  EXPECT_LT(preview, history);
}

TEST_F(MainWindow, ClickingTheLeaderboardTabHidesTheHistoryPanel) {
  start(1.0f);
  ImGuiWindow* right = HeadlessGui::child("##right");
  ASSERT_NE(right, nullptr);
  const ImGuiStyle& style = ImGui::GetStyle();
  // The second tab starts after the first one's label, its frame padding and the tab spacing.
  const float history_tab = ImGui::CalcTextSize("History").x + style.FramePadding.x * 2.0f;
  const ImVec2 target(right->Pos.x + style.WindowPadding.x + history_tab + style.ItemInnerSpacing.x +
                          ImGui::CalcTextSize("Leaderboard").x * 0.5f + style.FramePadding.x,
                      right->Pos.y + style.WindowPadding.y + ImGui::GetFontSize() * 0.5f + style.FramePadding.y);
  ImGuiIO& io = ImGui::GetIO();
  io.MousePos = target;
  gui.frame(*app);
  io.MouseDown[0] = true;
  gui.frame(*app);
  io.MouseDown[0] = false;
  gui.frame(*app);
  EXPECT_FALSE(contains(gui.frame(*app), "RESULTS HISTORY"));
}
