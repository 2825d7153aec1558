// The leaderboard tab: which status the line shows, the Refresh button, the two tables and the
// highlight of this machine's rows. The client is left unconfigured, so requests fail at once
// without leaving the machine.
#include <gtest/gtest.h>

#include "state/benchmark_runs.h"
#include "system/machine_threads.h"
#include "tests/ui/panel_test_support.h"
#include "ui/leaderboard_panel.h"
#include "ui/palette.h"

namespace {

const ImVec4 kFetchErrorRed{0.6f, 0.2f, 0.2f, 1.0f};

bool same_colour(const ImVec4& a, const ImVec4& b) { return a.x == b.x && a.y == b.y && a.z == b.z && a.w == b.w; }

class LeaderboardPanel : public PanelTest {
 protected:
  // The App with the right column's "Leaderboard" tab selected.
  void open_tab() {
    make_app();
    ASSERT_TRUE(click("Leaderboard tab"));
    ASSERT_NE(find_item_rect("Refresh"), nullptr);
  }

  void set_status(const std::string& submit_status, const std::string& fetch_error) {
    std::lock_guard lock(app->leaderboard.status_mutex);
    app->leaderboard.submit_status = submit_status;
    app->leaderboard.fetch_error = fetch_error;
  }
};

}  // namespace

TEST(LeaderboardStatusLine, TheFirstCaseThatAppliesIsShownInItsColour) {
  StatusLine line = leaderboard_status_line(1, "Submit error: x", false, "Timeout");
  EXPECT_EQ(line.text, "Loading...");
  EXPECT_TRUE(same_colour(line.colour, kTeal));

  // A failed fetch after a submission is not hidden behind its "Submitted OK".
  line = leaderboard_status_line(0, "Submitted OK (single 1234)", false, "Timeout");
  EXPECT_EQ(line.text, "Timeout");
  EXPECT_TRUE(same_colour(line.colour, kFetchErrorRed));
  line = leaderboard_status_line(0, "Submitted OK (single 1234)", false, "");
  EXPECT_EQ(line.text, "Submitted OK (single 1234)");
  EXPECT_TRUE(same_colour(line.colour, kLabelGrey));

  // Only the lower-case word marks a failure.
  line = leaderboard_status_line(0, "Submit error: Server rejected: {}", true, "");
  EXPECT_TRUE(same_colour(line.colour, kErrorRed));
  EXPECT_TRUE(same_colour(leaderboard_status_line(0, "Submit Error", true, "").colour, kLabelGrey));
  EXPECT_TRUE(same_colour(leaderboard_status_line(0, "terrors", true, "").colour, kErrorRed));

  // A failed fetch is shown even with submissions off; the note shows without one.
  line = leaderboard_status_line(0, "", false, "Timeout");
  EXPECT_EQ(line.text, "Timeout");
  EXPECT_TRUE(same_colour(line.colour, kFetchErrorRed));
  line = leaderboard_status_line(0, "", false, "");
  EXPECT_EQ(line.text, "Submissions off (STRELVIK_NO_SUBMIT=1)");
  EXPECT_TRUE(same_colour(line.colour, kLabelGrey));

  line = leaderboard_status_line(0, "", true, "Timeout");
  EXPECT_EQ(line.text, "Timeout");
  EXPECT_TRUE(same_colour(line.colour, kFetchErrorRed));

  EXPECT_EQ(leaderboard_status_line(0, "", true, "").text, "");
  EXPECT_EQ(leaderboard_status_line(-1, "", true, "").text, "");
}

TEST_F(LeaderboardPanel, WhileRequestsAreInFlightItSaysLoadingAndTheTablesHaveNoData) {
  open_tab();
  app->leaderboard.pending.store(2);
  std::string text = frame();
  EXPECT_TRUE(contains(text, "Loading..."));
  EXPECT_TRUE(contains(text, "No data yet"));
  ASSERT_TRUE(click("Multi-Core tab"));
  EXPECT_TRUE(contains(frame(), "No data yet"));

  // A fetch that failed after a submission says so; the old "Submitted OK" gives way.
  app->leaderboard.pending.store(0);
  set_status("Submitted OK (multi 5000)", "Timeout was reached");
  text = frame();
  EXPECT_TRUE(contains(text, "Timeout was reached"));
  EXPECT_FALSE(contains(text, "Submitted OK (multi 5000)"));
  EXPECT_FALSE(contains(text, "Loading..."));
}

TEST_F(LeaderboardPanel, RefreshFetchesEveryBoardAndTheirFailureIsShown) {
  open_tab();
  ASSERT_TRUE(click("Refresh"));
  // Started, not still running: a failed fetch may end and be reaped before the next begins.
  EXPECT_EQ(app->leaderboard.requests_started(), 3u);
  app->leaderboard.stop_all();
  EXPECT_TRUE(contains(frame(), "Leaderboard not configured"));
}

// Without a status the button must not move up onto the row of the column's own tabs.
TEST_F(LeaderboardPanel, TheRefreshButtonKeepsItsRowWithOrWithoutAStatus) {
  open_tab();
  frame();
  const ItemRect quiet = *find_item_rect("Refresh");
  const ItemRect tabs = *find_item_rect("Leaderboard tab");
  EXPECT_GT(quiet.y0, tabs.y1);
  app->leaderboard.pending.store(1);
  frame();
  EXPECT_EQ(find_item_rect("Refresh")->y0, quiet.y0);
  EXPECT_LT(find_item_rect("Refresh")->y1, find_item_rect("Single-Core tab")->y0);
  app->leaderboard.pending.store(0);
}

TEST_F(LeaderboardPanel, WithSubmissionsOffAFetchFailureIsStillShown) {
  set_variable("STRELVIK_NO_SUBMIT", "1");
  open_tab();
  set_status("", "");
  EXPECT_TRUE(contains(frame(), "Submissions off"));  // cut short before Refresh
  set_status("", "Timeout was reached");
  std::string text = frame();
  EXPECT_TRUE(contains(text, "Timeout was reached"));
  EXPECT_FALSE(contains(text, "Submissions off"));
  set_status("Submit error: earlier", "");
  text = frame();
  EXPECT_TRUE(contains(text, "Submit error: earlier"));
  EXPECT_FALSE(contains(text, "Submissions off"));
}

TEST_F(LeaderboardPanel, OnlyARowWithExactlyThisMachinesNameIsHighlighted) {
  open_tab();
  app->system_info.cpu_name = "Test CPU 9000";
  {
    std::lock_guard lock(app->leaderboard.data_mutex);
    app->leaderboard.single_rows = {
        {"Other CPU", 9000, 5}, {"test cpu 9000", 8000, 4}, {"Test CPU 9000 ", 7000, 3}, {"Test CPU 9000", 6000, 2}};
    app->leaderboard.multi_rows = {{"Multi CPU", 42000, 7}};
  }
  const std::string text = frame();
  EXPECT_LT(text.find("Other CPU"), text.find("test cpu 9000"));  // the server's order
  EXPECT_TRUE(contains(text, "6000"));
  EXPECT_FALSE(contains(text, "Multi CPU"));

  const ImGuiWindow* table = HeadlessGui::child("##lb_single");
  ASSERT_NE(table, nullptr);
  const std::vector<ImVec2> highlight = vertices_of(table, packed(kTeal, 32));
  ASSERT_EQ(highlight.size(), 4u);  // one row's background
  // Its name alone is teal, and the highlighted background is the row that holds it.
  const std::vector<GlyphBox> own_name = glyphs_of(table, kTeal);
  ASSERT_EQ(own_name.size(), 11u);  // "Test CPU 9000" without its spaces
  EXPECT_LE(highlight[0].y, own_name[0].min.y);
  EXPECT_GE(highlight[2].y, own_name[0].max.y);

  ASSERT_TRUE(click("Multi-Core tab"));
  const std::string multi = frame();
  EXPECT_TRUE(contains(multi, "Multi CPU"));
  EXPECT_TRUE(contains(multi, "42000"));
  EXPECT_FALSE(contains(multi, "Other CPU"));
}

// Runs beyond those the average counts do not make a row sure; an older server's rows go by runs.
TEST_F(LeaderboardPanel, ARowWhoseAverageCountsFewerThanFiveRunsIsDimmedAndSaysSoUnderThePointer) {
  open_tab();
  {
    std::lock_guard lock(app->leaderboard.data_mutex);
    app->leaderboard.single_rows = {{"Sure CPU", 9000, 9, 5}, {"Few CPU", 8000, 9, 3}, {"Old CPU", 7000, 6}};
  }
  frame();
  const ImGuiWindow* table = HeadlessGui::child("##lb_single");
  ASSERT_NE(table, nullptr);
  // "2", "FewCPU", "8000", "9" of the one dimmed row.
  const std::vector<GlyphBox> dimmed = glyphs_of(table, kDimGrey);
  ASSERT_EQ(dimmed.size(), 12u);
  ImGui::GetIO().MousePos = ImVec2(dimmed[3].min.x + 1.0f, dimmed[3].min.y + 2.0f);
  frame();
  EXPECT_TRUE(contains(frame(), "Average of 3 counted runs: fewer than 5"));
  ImGui::GetIO().MousePos = ImVec2(-1, -1);
  EXPECT_FALSE(contains(frame(), "Average of"));
}

TEST_F(LeaderboardPanel, ARestrictedMultiRunIsRecordedNotSubmittedAndTheLineSaysWhy) {
  open_tab();
  app->system_info.physical_cores = 32;
  app->system_info.logical_processors = 64;
  app->system_info.usable_processors = 4;  // a container limited to 4 CPUs
  std::string text = frame();
  EXPECT_TRUE(contains(text, "Multi-Core (4T)")) << "the button shows what a run will use";
  EXPECT_TRUE(contains(text, "32C / 64T (4 usable)"));

  BenchmarkResult result;
  result.kind = RunKind::multi;
  result.score = 4321;
  result.threads = 4;
  result.date = "2026-01-02T03:04:05";
  const RunRequest run{.workload = app->reference.workload, .kind = RunKind::multi, .threads = 4};
  const RunVerdict verdict = judge_run(app->reference, run, machine_threads(app->system_info), app->reference.sha256);
  record_and_submit(*app, result, verdict);
  EXPECT_EQ(app->history.size(), 1u);
  EXPECT_EQ(app->leaderboard.requests_started(), 0u);
  text = frame();
  // The line is cut before Refresh; the whole reason is its status (shown on hover).
  EXPECT_TRUE(contains(text, "Multi-core run not submitted"));
  EXPECT_NE(app->leaderboard.submit_status_text().find("may use only 4 of the machine's 64"), std::string::npos);
}

// Cut before Refresh with "...", whole in a tooltip while the pointer is on it.
TEST_F(LeaderboardPanel, ALongStatusStopsBeforeRefreshAndShowsWholeOnHover) {
  open_tab();
  const std::string status = "Submit error: leaderboard address must be https://, not http://example";
  set_status(status, "");
  frame();
  const std::string text = frame();
  EXPECT_FALSE(contains(text, status));
  EXPECT_TRUE(contains(text, "Submit error: leader"));
  EXPECT_TRUE(contains(text, "..."));

  const ImGuiWindow* right = HeadlessGui::child("##right");
  ASSERT_NE(right, nullptr);
  const std::vector<GlyphBox> glyphs = glyphs_of(right, kErrorRed);
  ASSERT_FALSE(glyphs.empty());
  const ItemRect refresh = *find_item_rect("Refresh");
  for (const GlyphBox& glyph : glyphs) EXPECT_LT(glyph.max.x, refresh.x0);

  ImGui::GetIO().MousePos = ImVec2(glyphs[2].min.x + 1.0f, glyphs[2].min.y + 2.0f);
  frame();
  EXPECT_TRUE(contains(frame(), status));
  ImGui::GetIO().MousePos = ImVec2(-1, -1);
  EXPECT_FALSE(contains(frame(), status));

  // A short one is shown as it is.
  set_status("Submitted OK (single 1234)", "");
  EXPECT_TRUE(contains(frame(), "Submitted OK (single 1234)"));
}

// At 150 % the fixed columns grow with the fonts: the headers fit their columns.
TEST_F(LeaderboardPanel, TheColumnWidthsFollowTheScale) {
  open_tab();
  app->dpi_scale = 1.5f;
  {
    std::lock_guard lock(app->leaderboard.data_mutex);
    app->leaderboard.single_rows = {{"Other CPU", 9000, 5}};
  }
  frame();
  frame();
  const ImGuiWindow* table = HeadlessGui::child("##lb_single");
  ASSERT_NE(table, nullptr);
  const ImGuiTable* lb = nullptr;
  for (int i = 0; i < GImGui->Tables.GetMapSize(); ++i) {
    if (const ImGuiTable* t = GImGui->Tables.TryGetMapData(i); t != nullptr && t->InnerWindow == table) lb = t;
  }
  ASSERT_NE(lb, nullptr);
  EXPECT_EQ(lb->Columns[3].WidthRequest, 60.0f);
  EXPECT_EQ(lb->Columns[2].WidthRequest, 90.0f);
}
