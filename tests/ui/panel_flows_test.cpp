// What a person does with the window, through the panels of a real App: runs started by the
// buttons, results shown, recorded and submitted to a leaderboard server on loopback, runs
// cancelled, a wrong image refused, and the progress line and preview around a run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "state/benchmark_runs.h"
#include "state/run_monitoring.h"
#include "tests/ui/panel_harness.h"
#include "tests/ui/unplugged_laptop.h"

namespace {

PanelServers* servers = nullptr;
const auto* const environment = ::testing::AddGlobalTestEnvironment(new SharedEnvironment<PanelServers>(servers));

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class PanelFlows : public ::testing::Test {
 protected:
  // An App whose runs render the quick workload; a wrong reference hash makes every image wrong.
  std::unique_ptr<PanelHarness> open(const Workload& workload, std::string reference) {
    const std::string cpu = std::string("Flow CPU ") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    return std::make_unique<PanelHarness>(*servers, history, cpu, ReferenceWorkload{workload, std::move(reference)});
  }
  std::unique_ptr<PanelHarness> open_quick() { return open(kQuickWorkload, servers->quick_hash); }

  TempDir dir;
  fs::path history = dir.path() / "history.json";
};

TEST_F(PanelFlows, SingleCoreShowsTheScoreRecordsItAndSubmitsIt) {
  auto h = open_quick();
  EXPECT_TRUE(contains(h->last_text, "SC: ---"));
  EXPECT_EQ(find_item_rect("Cancel"), nullptr);

  ASSERT_TRUE(h->click("Single-Core"));
  ASSERT_TRUE(h->running());
  h->frame();
  // While running: the start buttons are disabled and Cancel is offered below them.
  ASSERT_NE(find_item_rect("Cancel"), nullptr);
  EXPECT_TRUE(find_item_rect("Single-Core")->disabled);
  EXPECT_TRUE(find_item_rect("Multi-Core")->disabled);
  EXPECT_TRUE(find_item_rect("Run Both")->disabled);
  EXPECT_GT(find_item_rect("Cancel")->y0, find_item_rect("Run Both")->y1);

  ASSERT_TRUE(h->frames_until([&] { return h->app->history.size() == 1; }));
  EXPECT_EQ(find_item_rect("Cancel"), nullptr);
  EXPECT_FALSE(find_item_rect("Single-Core")->disabled);
  const HistoryEntry& entry = h->app->history[0];
  EXPECT_EQ(entry.type, "single");
  EXPECT_EQ(entry.threads, 1);
  EXPECT_EQ(h->app->single_score, entry.score);
  EXPECT_EQ(h->app->multi_score, 0);
  EXPECT_TRUE(contains(h->last_text, "SC: " + std::to_string(entry.score)));
  EXPECT_TRUE(contains(h->last_text, "MC: ---"));
  EXPECT_TRUE(contains(read_file(history), "\"type\": \"single\""));

  h->settle_leaderboard();
  EXPECT_EQ(h->app->leaderboard.submit_status_text(), "Submitted OK (single " + std::to_string(entry.score) + ")");
  EXPECT_TRUE(h->on_leaderboard(RunKind::single));
  EXPECT_FALSE(h->on_leaderboard(RunKind::multi));
  // Beside the score: its trust and where it went, the loopback server named as local.
  h->frame();
  EXPECT_TRUE(contains(h->last_text, "verified, submitted to the local leaderboard")) << h->last_text;
}

TEST_F(PanelFlows, SingleCorePlusSmtIsDisabledWithItsReasonWithoutSmtAndElseRunsOneCoresThreads) {
  auto h = open_quick();
  h->app->system_info.smt_unavailable_reason = "No SMT run: each core of this processor runs one thread (no SMT)";
  h->frame();
  const ItemRect smt = *find_item_rect("Single-Core + SMT");
  EXPECT_TRUE(smt.disabled);
  EXPECT_GT(smt.y0, find_item_rect("Single-Core")->y1);
  EXPECT_LT(smt.y1, find_item_rect("Multi-Core")->y0);
  EXPECT_FALSE(contains(h->last_text, "(no SMT)"));
  ImGui::GetIO().MousePos = ImVec2(smt.center_x(), smt.center_y());
  h->frame();
  EXPECT_TRUE(contains(h->frame(), "(no SMT)")) << "the reason, under the pointer";
  ImGui::GetIO().MousePos = ImVec2(-1, -1);

  // A core of two threads: the run takes both, is recorded and submitted as "smt".
  h->app->system_info.smt_threads = 2;
  h->frame();
  ASSERT_TRUE(h->click("Single-Core + SMT"));
  ASSERT_TRUE(h->frames_until([&] { return h->app->history.size() == 1; }));
  const HistoryEntry entry = h->app->history[0];
  EXPECT_EQ(entry.type, "smt");
  EXPECT_EQ(entry.threads, 2);
  EXPECT_TRUE(contains(h->last_text, "SMT: " + std::to_string(entry.score)));
  h->settle_leaderboard();
  EXPECT_EQ(h->app->leaderboard.submit_status_text(), "Submitted OK (smt " + std::to_string(entry.score) + ")");
  EXPECT_TRUE(h->on_leaderboard(RunKind::smt));
  // Beside it, once a single-core score exists: what the second thread adds.
  h->app->single_score = entry.score / 2;
  EXPECT_TRUE(contains(h->frame(), "SMT: " + std::to_string(entry.score) + " +100 %"));
}

TEST_F(PanelFlows, RunBothRecordsSingleThenMultiAndStartsMultiInTheFrameTheSingleIsTaken) {
  auto h = open_quick();
  ASSERT_TRUE(h->click("Run Both"));
  EXPECT_TRUE(h->app->run_both);
  // The frame that takes the single result leaves the multi run already started.
  ASSERT_TRUE(h->frames_until([&] { return h->app->history.size() == 1; }));
  EXPECT_TRUE(h->app->run_both_single_done);
  EXPECT_TRUE(h->running() || h->app->engine.result_ready.load());
  EXPECT_GT(h->app->single_score, 0);

  ASSERT_TRUE(h->frames_until([&] { return h->app->history.size() == 2; }));
  EXPECT_FALSE(h->app->run_both);
  EXPECT_FALSE(h->app->run_both_single_done);
  EXPECT_EQ(h->app->history[0].type, "single");
  // A multi-core run even on a machine of one processor: the run carries its kind.
  EXPECT_EQ(h->app->history[1].type, "multi");
  EXPECT_EQ(h->app->history[1].threads, hardware_thread_count());
  EXPECT_GT(h->app->multi_score, 0);

  h->settle_leaderboard();
  EXPECT_TRUE(h->on_leaderboard(RunKind::single));
  EXPECT_TRUE(h->on_leaderboard(RunKind::multi));
}

TEST_F(PanelFlows, ACancelledRunLeavesNoResultAndEndsRunBoth) {
  auto h = open(kSlowWorkload, "not checked");
  // Cancel during an ordinary run.
  ASSERT_TRUE(h->click("Single-Core"));
  ASSERT_TRUE(h->frames_until([&] { return h->app->engine.tiles_done.load() > 0; }));
  EXPECT_FALSE(contains(h->last_text, "s Cancelled"));  // after the seconds; the CPU name holds the word
  ASSERT_TRUE(h->click("Cancel"));
  ASSERT_TRUE(h->frames_until([&] { return !h->running(); }));
  for (int i = 0; i < 5; ++i) h->frame();
  // Beside the progress text, so the bar does not just look paused.
  EXPECT_TRUE(contains(h->last_text, "s Cancelled")) << h->last_text;
  const std::int32_t stopped_at = h->app->engine.tiles_done.load();
  EXPECT_LT(stopped_at, h->app->engine.tile_count.load());
  EXPECT_EQ(h->app->single_score, 0);
  EXPECT_EQ(h->app->history.size(), 0u);
  EXPECT_FALSE(fs::exists(history));
  // The bar, the counts and the partial image stay where the run stopped.
  EXPECT_TRUE(
      contains(h->last_text, std::to_string(stopped_at) + " / " + std::to_string(h->app->engine.tile_count.load())));
  EXPECT_EQ(h->texture.contents(), h->app->engine.pixels.snapshot());
  // A partial image is no finished one: it does not open at full size.
  ASSERT_TRUE(h->click("preview image"));
  EXPECT_FALSE(h->app->viewer.open);

  // Cancel during the single part of Run Both: no multi follows.
  ASSERT_TRUE(h->click("Run Both"));
  ASSERT_TRUE(h->frames_until([&] { return h->app->engine.tiles_done.load() > 0; }));
  ASSERT_TRUE(h->click("Cancel"));
  EXPECT_FALSE(h->app->run_both);
  ASSERT_TRUE(h->frames_until([&] { return !h->running(); }));
  for (int i = 0; i < 5; ++i) h->frame();
  EXPECT_FALSE(h->running());
  EXPECT_EQ(h->app->history.size(), 0u);

  h->settle_leaderboard();
  EXPECT_EQ(h->app->leaderboard.submit_status_text(), "");
}

TEST_F(PanelFlows, CancelInTheMultiPartKeepsTheSingleResultOnly) {
  // The quick workload's single part must finish, so its reference must be right; the multi
  // part is cancelled in the frame after it starts.
  auto h = open_quick();
  ASSERT_TRUE(h->click("Run Both"));
  ASSERT_TRUE(h->frames_until([&] { return h->app->run_both_single_done; }));
  ASSERT_TRUE(h->running());
  h->frame();  // Cancel is offered from the first frame that begins with the run in progress
  ASSERT_TRUE(h->click("Cancel"));
  ASSERT_TRUE(h->frames_until([&] { return !h->running(); }));
  for (int i = 0; i < 5; ++i) h->frame();
  EXPECT_FALSE(h->app->run_both);
  EXPECT_TRUE(h->app->run_both_single_done);  // kept until the next Run Both
  ASSERT_EQ(h->app->history.size(), 1u);
  EXPECT_EQ(h->app->history[0].type, "single");
  EXPECT_EQ(h->app->multi_score, 0);
}

TEST_F(PanelFlows, AWrongImageIsShownWithAWarningButNeverRecordedOrSubmitted) {
  auto h = open(kQuickWorkload, std::string(64, '0'));
  ASSERT_TRUE(h->click("Run Both"));
  ASSERT_TRUE(h->frames_until([&] { return !h->running() && !h->app->engine.result_ready.load(); }));
  for (int i = 0; i < 5; ++i) h->frame();
  // The sequence stops after the wrong single image: no multi run is started.
  EXPECT_FALSE(h->running());
  EXPECT_FALSE(h->app->run_both);
  EXPECT_EQ(h->app->unverified_kind, RunKind::single);
  EXPECT_GT(h->app->single_score, 0);
  EXPECT_TRUE(contains(h->last_text, "WRONG IMAGE"));
  EXPECT_TRUE(contains(h->last_text, std::to_string(h->app->single_score) + " !"));
  EXPECT_EQ(h->app->history.size(), 0u);
  EXPECT_FALSE(fs::exists(history));
  h->settle_leaderboard();
  EXPECT_EQ(h->app->leaderboard.submit_status_text(), "");
  EXPECT_FALSE(h->on_leaderboard(RunKind::single));
  EXPECT_TRUE(contains(h->frame(), "image differs from the reference, not stored or submitted"));

  // The next run clears the warning.
  ASSERT_TRUE(h->click("Single-Core"));
  EXPECT_FALSE(h->app->unverified_kind);
}

TEST_F(PanelFlows, WithSubmissionsOffRunsAreRecordedButNotSubmitted) {
  set_variable("STRELVIK_NO_SUBMIT", "1");
  auto h = open_quick();
  unset_variable("STRELVIK_NO_SUBMIT");
  ASSERT_TRUE(h->click("Single-Core"));
  ASSERT_TRUE(h->frames_until([&] { return h->app->history.size() == 1; }));
  h->settle_leaderboard();
  EXPECT_FALSE(h->on_leaderboard(RunKind::single));
  EXPECT_EQ(h->app->leaderboard.submit_status_text(), "");
  ASSERT_TRUE(h->click("Leaderboard tab"));
  EXPECT_TRUE(contains(h->frame(), "Submissions off")) << h->last_text;
}

TEST_F(PanelFlows, ARunOnBatteryIsWarnedRecordedWithItsWarningAndNotSubmitted) {
  auto h = open_quick();
  attach_run_monitor(*h->app, unplugged_laptop_monitor());
  ASSERT_TRUE(h->click("Single-Core"));
  ASSERT_TRUE(h->frames_until([&] { return h->app->history.size() == 1; }));
  const HistoryEntry& entry = h->app->history[0];
  ASSERT_EQ(entry.warnings.size(), 1u);
  EXPECT_EQ(entry.warnings[0].code, "battery");
  EXPECT_TRUE(contains(read_file(history), "\"code\": \"battery\""));
  EXPECT_TRUE(contains(h->frame(), "Single-core: The machine ran")) << h->last_text;

  h->settle_leaderboard();
  EXPECT_FALSE(h->on_leaderboard(RunKind::single));
  EXPECT_EQ(h->app->leaderboard.submit_status_text(),
            "Single-core run not submitted: the machine ran on battery, which usually lowers the clock: plug it in "
            "for a comparable score.");
}

TEST_F(PanelFlows, TheFinishedImageReachesThePreviewAndTheLineShowsTheMeasuredTime) {
  auto h = open_quick();
  EXPECT_NE(find_item_rect("preview placeholder"), nullptr);
  EXPECT_FALSE(contains(h->last_text, "tiles"));
  ASSERT_TRUE(h->click("Single-Core"));
  ASSERT_TRUE(h->frames_until([&] { return h->app->history.size() == 1; }));
  h->frame();
  EXPECT_EQ(find_item_rect("preview placeholder"), nullptr);
  EXPECT_NE(find_item_rect("preview image"), nullptr);
  // The last upload follows the end of the run: the texture holds every finished pixel.
  EXPECT_EQ(h->texture.contents(), h->app->engine.pixels.snapshot());
  const int uploads = h->texture.uploads();
  h->frame();
  EXPECT_EQ(h->texture.uploads(), uploads);  // and no more uploads while idle

  char expected[96];
  const std::int32_t tiles = h->app->engine.tile_count.load();
  std::snprintf(expected, sizeof expected, "%d / %d tiles  |  100.0%%  |  %.1fs", tiles, tiles,
                h->app->history[0].time_seconds);
  EXPECT_TRUE(contains(h->last_text, expected)) << h->last_text;
  EXPECT_FALSE(contains(h->last_text, "s Cancelled"));
  // What ran and the guess made as it started stay beside the measured time.
  EXPECT_TRUE(contains(h->last_text, "Single-core, 1 thread, custom workload: about ")) << h->last_text;
  EXPECT_TRUE(contains(h->last_text, "click the image to view or save it"));
}

TEST_F(PanelFlows, TheFinishedImageOpensAtFullSizeAndSavesAsPng) {
  auto h = open_quick();
  ASSERT_TRUE(h->click("Single-Core"));
  ASSERT_TRUE(h->frames_until([&] { return h->app->history.size() == 1; }));
  h->frame();

  ASSERT_TRUE(h->click("preview image"));
  ASSERT_TRUE(h->app->viewer.open);
  h->frame();
  ASSERT_NE(find_item_rect("Save PNG"), nullptr);
  // The image one texture pixel per screen pixel, in a region that scrolls to show the rest.
  const ImGuiWindow* region = HeadlessGui::child("##viewer_image");
  ASSERT_NE(region, nullptr);
  EXPECT_EQ(region->ContentSize.x, static_cast<float>(kQuickWorkload.width));
  EXPECT_EQ(region->ContentSize.y, static_cast<float>(kQuickWorkload.height));

  // Named after the run's type and date, beside the history file.
  std::string stamp = h->app->history[0].date;
  std::replace(stamp.begin(), stamp.end(), 'T', '_');
  stamp.erase(std::remove(stamp.begin(), stamp.end(), ':'), stamp.end());
  const fs::path expected = dir.path() / ("strelvik-single-" + stamp + ".png");
  EXPECT_EQ(h->app->viewer.path, expected.string());
  ASSERT_TRUE(h->click("Save PNG"));
  ASSERT_TRUE(fs::exists(expected)) << h->app->viewer.message;
  std::ifstream png(expected, std::ios::binary);
  char signature[8] = {};
  png.read(signature, sizeof signature);
  EXPECT_EQ(std::string(signature + 1, 3), "PNG");

  // Another path typed by the user; one that cannot be written is reported.
  h->app->viewer.path = (dir.path() / "mine.png").string();
  ASSERT_TRUE(h->click("Save PNG"));
  EXPECT_TRUE(fs::exists(dir.path() / "mine.png"));
  h->app->viewer.path = (dir.path() / "missing" / "x.png").string();
  ASSERT_TRUE(h->click("Save PNG"));
  EXPECT_TRUE(h->app->viewer.save_failed);
  EXPECT_TRUE(contains(h->app->viewer.message, "Could not save")) << h->app->viewer.message;
  EXPECT_TRUE(contains(h->app->viewer.message, "does not exist")) << h->app->viewer.message;
  // The runner's rule for the name: PNG data goes only into a .png file.
  h->app->viewer.path = (dir.path() / "pic.jpg").string();
  ASSERT_TRUE(h->click("Save PNG"));
  EXPECT_FALSE(fs::exists(dir.path() / "pic.jpg"));
  EXPECT_TRUE(contains(h->app->viewer.message, "must end in .png")) << h->app->viewer.message;

  // A new run clears the image: the viewer closes.
  h->app->viewer.open = true;
  start_run(*h->app, RunKind::single);
  h->frame();
  EXPECT_FALSE(h->app->viewer.open);
  EXPECT_EQ(find_item_rect("Save PNG"), nullptr);
  h->frames_until([&] { return !h->running(); });
}

TEST_F(PanelFlows, TheProgressLineCountsFromTheMeasuredPhaseOnly) {
  auto h = open_quick();
  h->app->shown_run_seconds = 42.0;  // a previous run's time
  // A run whose measured phase has not begun yet, as the engine shows it during scene set-up.
  BenchmarkEngine& engine = h->app->engine;
  engine.tile_count.store(8);
  engine.tiles_done.store(2);
  engine.start_time.store(0);
  engine.running.store(true);
  std::string text = h->frame();
  EXPECT_TRUE(contains(text, "2 / 8 tiles  |  25.0%  |  0.0s")) << text;
  EXPECT_TRUE(contains(text, "RUNNING..."));
  engine.start_time.store(BenchmarkEngine::steady_now_ns() - 2'500'000'000);
  text = h->frame();
  EXPECT_TRUE(contains(text, "|  2.5s") || contains(text, "|  2.6s")) << text;
  EXPECT_TRUE(contains(text, "|  0:08 left")) << text;  // six tiles to go at 0.8 s each
  engine.running.store(false);
  text = h->frame();
  // Ended without a result (cancelled): the time stays where it got to.
  EXPECT_TRUE(contains(text, "|  2.5s") || contains(text, "|  2.6s")) << text;
}

TEST_F(PanelFlows, ScorePanelShowsDashesAndOnlyTheBestLinesThatExist) {
  std::ofstream(history)
      << R"({"runs":[)"
         R"({"cpu":"c","date":"2026-01-01T00:00:00","resolution_h":1080,"resolution_w":1920,"samples":128,"score":0,"threads":1,"time_seconds":1.0,"type":"single"},)"
         R"({"cpu":"c","date":"2026-01-02T00:00:00","resolution_h":1080,"resolution_w":1920,"samples":128,"score":700,"threads":8,"time_seconds":1.0,"type":"multi"},)"
         R"({"cpu":"c","date":"2026-01-03T00:00:00","resolution_h":1080,"resolution_w":1920,"samples":128,"score":900,"threads":8,"time_seconds":1.0,"type":"multi"})"
         R"(]})";
  auto h = open_quick();
  const std::string text = h->frame();
  // The single score below 1 is no score at all; only the multi best exists.
  EXPECT_TRUE(contains(text, "SC: ---")) << text;
  EXPECT_TRUE(contains(text, "MC: 900"));
  EXPECT_TRUE(contains(text, "Best:"));
  EXPECT_TRUE(contains(text, "  MC: 900"));
  EXPECT_FALSE(contains(text, "  SC: "));

  // The runner adds a result to the file: the window shows it in the next frame.
  ResultsHistory other(history.string());
  other.load();
  HistoryEntry added = other[2];
  added.type = "single";
  added.score = 450;
  ASSERT_TRUE(other.add(added));
  const std::string after = h->frame();
  EXPECT_EQ(h->app->history.size(), 4u);
  EXPECT_TRUE(contains(after, "  SC: 450")) << after;
}

}  // namespace
