// The history tab: rows newest first, deleting by the row's button (which rewrites the real
// file), and the file's problems shown to the user.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/ui/panel_test_support.h"
#include "ui/fonts.h"
#include "ui/palette.h"

namespace {

std::string run_json(const std::string& type, int score, const std::string& date) {
  return R"({"cpu":"c","date":")" + date + R"(","resolution_h":1080,"resolution_w":1920,"samples":128,"score":)" +
         std::to_string(score) + R"(,"threads":1,"time_seconds":12.345,"type":")" + type + R"("})";
}

class HistoryPanel : public PanelTest {
 protected:
  void write_runs(std::initializer_list<std::string> runs) {
    std::string text = R"({"runs":[)";
    for (const std::string& run : runs) text += (text.back() == '[' ? "" : ",") + run;
    write_file(history_path, text + "]}");
  }

  // The file as another reader finds it.
  std::vector<int> scores_in_file() const {
    ResultsHistory file(history_path);
    file.load();
    std::vector<int> scores;
    for (const HistoryEntry& entry : file.entries()) scores.push_back(entry.score);
    return scores;
  }

  static float row_top(std::size_t index) {
    const ItemRect* rect = find_item_rect("history delete " + std::to_string(index));
    return rect == nullptr ? -1.0f : rect->y0;
  }
};

}  // namespace

TEST_F(HistoryPanel, RowsAreNewestFirstAndDeletingTheMiddleOneRewritesTheFile) {
  write_runs({run_json("single", 111, "2026-01-01T10:00:00"), run_json("multi", 222, "2026-01-02T10:00:00"),
              run_json("single", 333, "2026-01-03T10:00:00")});
  make_app();
  const std::string text = frame();
  EXPECT_LT(text.find("333"), text.find("222"));
  EXPECT_LT(text.find("222"), text.find("111"));
  EXPECT_TRUE(contains(text, "12.3s"));
  EXPECT_GT(row_top(1), row_top(2));
  EXPECT_GT(row_top(0), row_top(1));

  // The button asks first: Keep leaves the run, Delete removes it.
  ASSERT_TRUE(click("history delete 1"));
  ASSERT_TRUE(click("keep result"));
  EXPECT_EQ(scores_in_file(), (std::vector<int>{111, 222, 333}));
  EXPECT_EQ(find_item_rect("confirm delete"), nullptr);
  ASSERT_TRUE(click("history delete 1"));
  EXPECT_TRUE(contains(frame(), "MC 222, 12.3s, 2026-01-02 10:00"));
  ASSERT_TRUE(click("confirm delete"));
  EXPECT_EQ(scores_in_file(), (std::vector<int>{111, 333}));
  ASSERT_EQ(app->history.size(), 2u);
  EXPECT_EQ(app->history[1].score, 333);
  const std::string after = frame();
  EXPECT_FALSE(contains(after, "222"));
  EXPECT_EQ(find_item_rect("history delete 2"), nullptr);
  EXPECT_GT(row_top(0), row_top(1));
  EXPECT_TRUE(app->history_notices.empty());
}

TEST_F(HistoryPanel, DeletingTheOnlyRunLeavesNoResultsYet) {
  write_runs({run_json("single", 111, "2026-01-01T10:00:00")});
  make_app();
  EXPECT_FALSE(contains(frame(), "No results yet"));
  app->single_score = 111;  // shown in the score panel, as after start-up
  ASSERT_TRUE(click("history delete 0"));
  ASSERT_TRUE(click("confirm delete"));
  EXPECT_TRUE(contains(frame(), "No results yet"));
  EXPECT_EQ(app->single_score, 0) << "the score panel still shows the deleted result";
  EXPECT_EQ(find_item_rect("history delete 0"), nullptr);
  EXPECT_TRUE(scores_in_file().empty());
}

TEST_F(HistoryPanel, OnlyTheExactSingleTypeIsSingleCoreAndDatesShowTheirDayAndMinute) {
  write_runs({run_json("single", 101, "2026-02-03T04:05:06"), run_json("multi", 102, "2026-1"),
              run_json("Single", 103, "1.2.2026 \u00e9t\u00e9 \u00e9t\u00e9"), run_json("other", 104, "")});
  make_app();
  frame();
  const ImGuiWindow* table = HeadlessGui::child("##history");
  ASSERT_NE(table, nullptr);
  // Two letters per type: one teal "SC" and three orange "MC".
  EXPECT_EQ(glyphs_of(table, kTeal).size(), 2u);
  EXPECT_EQ(glyphs_of(table, kOrange).size(), 6u);

  const std::string text = frame();
  EXPECT_TRUE(contains(text, "2026-02-03 04:05"));  // two runs of one day differ
  EXPECT_FALSE(contains(text, "T04"));
  EXPECT_TRUE(contains(text, "2026-1"));  // shorter than a day: shown whole
  // Sixteen bytes would end inside the two-byte "\u00e9": the cut keeps whole characters.
  EXPECT_TRUE(contains(text, "1.2.2026 \u00e9t\u00e9 "));
  EXPECT_FALSE(contains(text, "\u00e9t\u00e9 \xC3"));
}

TEST_F(HistoryPanel, AnUnreadableFileAndTheHistorysMessagesStayOnScreen) {
  write_file(history_path, "not a history");
  make_app();
  std::string text = frame();
  EXPECT_TRUE(contains(text, "No results yet"));
  EXPECT_TRUE(contains(text, history_path));
  EXPECT_TRUE(contains(text, "could not be read"));
  EXPECT_TRUE(contains(text, "when the next result is saved"));

  app->history_notices.push_back(
      "The history file X could not be read; it was kept as Y and a new history was started.");
  app->history_notices.push_back("Second notice");
  text = frame();
  EXPECT_TRUE(contains(text, "it was kept as Y"));
  EXPECT_LT(text.find("it was kept as Y"), text.find("Second notice"));
  EXPECT_TRUE(contains(frame(), "Second notice"));  // not only for one frame
}

TEST_F(HistoryPanel, AFailedSaveAfterADeleteIsReported) {
  write_runs({run_json("single", 111, "2026-01-01T10:00:00"), run_json("multi", 222, "2026-01-02T10:00:00")});
  make_app();
  // The temporary file the save writes first cannot be created.
  std::filesystem::create_directory(history_path + ".tmp");
  ASSERT_TRUE(click("history delete 0"));
  ASSERT_TRUE(click("confirm delete"));
  EXPECT_EQ(app->history.size(), 1u);  // gone from the list regardless
  ASSERT_EQ(app->history_notices.size(), 1u);
  EXPECT_TRUE(contains(frame(), "could not be saved"));
}

// The program's fonts at common scalings: the date and its delete button fit within the table.
TEST(HistoryPanelLayout, TheDeleteButtonIsInsideTheTableAtEveryCommonScale) {
  TempDir dir;
  write_file(dir.file("history.json"), "{\"runs\":[" + run_json("multi", 123456, "2026-01-02T10:00:00") + "]}");
  set_variable("STRELVIK_HISTORY", dir.file("history.json"));
  set_variable("STRELVIK_LEADERBOARD_URL", "https://leaderboard.strelvik.example");
  for (const float scale : {1.0f, 1.25f, 1.5f}) {
    HeadlessGui gui;
    App app;
    apply_theme();
    load_fonts(app, scale, find_font_files());
    app.dpi_scale = scale;
    gui.build_fonts();
    app.history.load();
    gui.frame(app);
    gui.frame(app);
    const ItemRect* button = find_item_rect("history delete 0");
    const ImGuiWindow* table = HeadlessGui::child("##history");
    ASSERT_TRUE(button != nullptr && table != nullptr) << scale;
    EXPECT_LE(button->x1, table->InnerClipRect.Max.x) << scale;
  }
  unset_variable("STRELVIK_HISTORY");
  unset_variable("STRELVIK_LEADERBOARD_URL");
}
