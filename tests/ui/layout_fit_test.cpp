// The window at sizes and scales where things used to fall off: a history long enough to scroll
// with wide times, 150 % scaling in a 1600 x 900 window, and the smallest window allowed. Only
// items drawn whole are listed, so a listed name is one a click can reach.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "tests/ui/panel_test_support.h"
#include "ui/fonts.h"
#include "ui/main_window.h"
#include "ui/palette.h"

namespace {

class LayoutFit : public ::testing::Test {
 protected:
  void SetUp() override {
    set_variable("STRELVIK_HISTORY", dir.file("history.json"));
    set_variable("STRELVIK_LEADERBOARD_URL", "https://leaderboard.strelvik.example");
  }
  void TearDown() override {
    stop();
    unset_variable("STRELVIK_HISTORY");
    unset_variable("STRELVIK_LEADERBOARD_URL");
  }

  // `rows` runs of `seconds` each, oldest first.
  void write_history(int rows, double seconds) {
    std::string text = R"({"runs":[)";
    for (int i = 0; i < rows; ++i) {
      text += std::string(i == 0 ? "" : ",") + R"({"cpu":"c","date":"2026-01-02T10:00:00","resolution_h":1080,)" +
              R"("resolution_w":1920,"samples":128,"score":123456,"threads":16,"time_seconds":)" +
              std::to_string(seconds) + R"(,"type":"multi"})";
    }
    write_file(dir.file("history.json"), text + "]}");
  }

  // A fresh GUI and App with the program's fonts at `scale` in a display of `size`.
  void start(float scale, ImVec2 size) {
    stop();
    gui = std::make_unique<HeadlessGui>();
    app = std::make_unique<App>();
    apply_theme();
    load_fonts(*app, scale, find_font_files());
    gui->build_fonts();
    app->history.load();
    ImGui::GetIO().DisplaySize = size;
    frames(3);
  }
  void stop() {
    if (!app) return;
    app->engine.running.store(false);
    app->leaderboard.stop_all();
    app.reset();
    gui.reset();
  }
  void frames(int count) {
    for (int i = 0; i < count; ++i) last_text = gui->frame(*app);
  }
  bool click(const std::string& name) {
    const ItemRect* rect = find_item_rect(name);
    if (rect == nullptr) return false;
    ImGuiIO& io = ImGui::GetIO();
    io.MousePos = ImVec2(rect->center_x(), rect->center_y());
    frames(1);
    io.MouseDown[0] = true;
    frames(1);
    io.MouseDown[0] = false;
    frames(2);
    return true;
  }

  TempDir dir;
  std::unique_ptr<HeadlessGui> gui;
  std::unique_ptr<App> app;
  std::string last_text;
};

}  // namespace

TEST_F(LayoutFit, TheDeleteButtonIsWholeInAScrollingTableAtEveryTimeWidthAndScale) {
  for (const double seconds : {9.9, 999.9, 99999.9}) {
    write_history(12, seconds);
    for (const float scale : {1.0f, 1.25f, 1.5f}) {
      SCOPED_TRACE(testing::Message() << seconds << " s at " << scale);
      start(scale, ImVec2(1600, 900));
      ImGuiWindow* table = HeadlessGui::child("##history");
      ASSERT_NE(table, nullptr);
      ASSERT_GT(table->ScrollMax.y, 0.0f) << "the table does not scroll";
      const ImGuiStyle& style = ImGui::GetStyle();
      const float whole = ImGui::CalcTextSize("X").x + style.FramePadding.x * 2.0f;
      // The newest rows are in view, the oldest scrolled away and not listed.
      ASSERT_NE(find_item_rect("history delete 11"), nullptr);
      EXPECT_EQ(find_item_rect("history delete 0"), nullptr);
      for (int i = 0; i < 12; ++i) {
        const ItemRect* button = find_item_rect("history delete " + std::to_string(i));
        if (button == nullptr) continue;
        EXPECT_GE(button->x1 - button->x0, whole - 0.5f) << i;
        EXPECT_LE(button->x1, table->InnerClipRect.Max.x) << i;  // left of the scrollbar
        EXPECT_LE(button->y1, table->InnerClipRect.Max.y) << i;
      }
      ImGui::SetScrollY(table, table->ScrollMax.y);
      frames(2);
      ASSERT_NE(find_item_rect("history delete 0"), nullptr);
      EXPECT_EQ(find_item_rect("history delete 11"), nullptr);
    }
  }
  // Its centre is the button: a click there deletes the oldest run.
  ASSERT_TRUE(click("history delete 0"));
  ASSERT_TRUE(click("confirm delete"));
  EXPECT_EQ(app->history.size(), 11u);
}

TEST_F(LayoutFit, AtOneAndAHalfTheScoresAreInViewWithoutScrollingDuringARun) {
  write_history(2, 600.0);
  start(1.5f, ImVec2(1600, 900));
  app->single_score = 12345;
  app->multi_score = 67890;
  app->engine.running.store(true);  // Cancel below the start buttons
  frames(3);
  ASSERT_NE(find_item_rect("Cancel"), nullptr);
  const ImGuiWindow* left = HeadlessGui::child("##left");
  ASSERT_NE(left, nullptr);
  EXPECT_EQ(left->ScrollMax.y, 0.0f) << "the column scrolls";
  // The facts scroll in their own region instead.
  const ImGuiWindow* facts = HeadlessGui::child("##system_info");
  ASSERT_NE(facts, nullptr);
  EXPECT_GT(facts->ScrollMax.y, 0.0f);
  // Every teal and orange text of the column (titles and both scores) lies in view.
  std::size_t figures = 0;
  for (const ImVec4& colour : {kTeal, kOrange}) {
    for (const GlyphBox& glyph : glyphs_of(left, colour)) {
      ++figures;
      EXPECT_LE(glyph.max.y, left->InnerClipRect.Max.y);
    }
  }
  EXPECT_GE(figures, std::size_t{5 + 5 + 5 + 9});  // 12345, 67890, SCORE, BENCHMARK
  EXPECT_TRUE(contains(last_text, "67890"));
}

TEST_F(LayoutFit, TheScoresStayPutWhenCancelAppearsAndRunningEndsAtTheRightEdge) {
  start(1.0f, ImVec2(1600, 900));
  app->multi_score = 67890;
  frames(2);
  const auto lowest_orange = [] {
    float y = 0.0f;
    for (const GlyphBox& glyph : glyphs_of(HeadlessGui::child("##left"), kOrange)) y = std::max(y, glyph.max.y);
    return y;
  };
  const float idle = lowest_orange();
  app->engine.running.store(true);
  frames(2);
  ASSERT_NE(find_item_rect("Cancel"), nullptr);
  EXPECT_EQ(lowest_orange(), idle) << "the score moved when Cancel appeared";
  // "RUNNING..." ends at the window's right padding, above the right column's edge.
  const ItemRect* running = find_item_rect("running mark");
  ASSERT_NE(running, nullptr);
  EXPECT_NEAR(running->x1, 1600.0f - ImGui::GetStyle().WindowPadding.x, 2.0f);
}

TEST_F(LayoutFit, AtOneHundredPercentTheFactsNeedNoScrolling) {
  start(1.0f, ImVec2(1600, 900));
  const ImGuiWindow* facts = HeadlessGui::child("##system_info");
  ASSERT_NE(facts, nullptr);
  EXPECT_EQ(facts->ScrollMax.y, 0.0f);
}

TEST_F(LayoutFit, AtTheMinimumSizeEveryItemIsWholeInTheWindow) {
  write_history(12, 99999.9);
  for (const float scale : {1.0f, 1.5f}) {
    SCOPED_TRACE(scale);
    start(scale, ImVec2(kMinimumWindowWidth * scale, kMinimumWindowHeight * scale));
    const auto expect_listed = [](std::initializer_list<const char*> names) {
      for (const char* name : names) EXPECT_NE(find_item_rect(name), nullptr) << name;
    };
    expect_listed({"Single-Core", "Single-Core + SMT", "Multi-Core", "Run Both", "Stress Test", "preview placeholder",
                   "progress bar", "History tab", "Leaderboard tab", "history delete 11"});
    // A stress test under way: Cancel, the three scores, and the pass bars with the stability so far.
    app->single_score = 12345;
    app->multi_score = 67890;
    app->smt_score = 16049;
    app->stress.test.emplace(10, 0.0);
    for (int pass = 0; pass < 20; ++pass)
      app->stress.test->add_pass(
          StressPass{.score = 240 - pass, .time_seconds = 25.0, .image_sha256 = {}, .sensors = {}}, true, 25.0 * pass);
    app->stress.active = true;
    app->engine.running.store(true);
    frames(3);
    expect_listed({"Cancel", "stress pass bars"});
    EXPECT_TRUE(contains(last_text, "Stability"));
    EXPECT_EQ(HeadlessGui::child("##left")->ScrollMax.y, 0.0f) << "the column scrolls";
    app->stress.active = false;
    app->engine.running.store(false);
    frames(2);
    ASSERT_TRUE(click("Leaderboard tab"));
    expect_listed({"Refresh", "Single-Core tab", "SMT tab", "Multi-Core tab"});
  }
}
