// The window's stress test through the panels of a real App: the quick workload pass after pass
// on a clock that moves 30 s per pass, so that a one-minute test ends after its three passes at
// once. What it shows, stores and refuses.
#include <gtest/gtest.h>

#include "state/run_monitoring.h"
#include "tests/ui/panel_harness.h"
#include "tests/ui/unplugged_laptop.h"

namespace {

PanelServers* servers = nullptr;
const auto* const environment = ::testing::AddGlobalTestEnvironment(new SharedEnvironment<PanelServers>(servers));

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class StressFlows : public ::testing::Test {
 protected:
  std::unique_ptr<PanelHarness> open(std::string reference) {
    const std::string cpu =
        std::string("Stress CPU ") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    auto h =
        std::make_unique<PanelHarness>(*servers, history, cpu, ReferenceWorkload{kQuickWorkload, std::move(reference)});
    App* app = h->app.get();
    app->stress.minutes = 1;
    // Each pass ends 30 s after the one before: the time of a pass read as it ends is its end.
    app->stress.clock = [app] {
      const std::size_t done = app->stress.test ? app->stress.test->passes().size() : 0;
      return 30.0 * static_cast<double>(done + (app->engine.result_ready.load() ? 1 : 0));
    };
    return h;
  }
  bool test_over(PanelHarness& h) {
    return h.frames_until([&] { return !h.app->stress.active && !h.running(); });
  }

  TempDir dir;
  fs::path history = dir.path() / "history.json";
};

TEST_F(StressFlows, ThreePassesShowTheirBarsAndStoreOneStressEntryThatIsNoMultiCoreScore) {
  auto h = open(servers->quick_hash);
  ASSERT_TRUE(h->click("Stress Test"));
  ASSERT_TRUE(h->app->stress.active);
  h->frame();
  EXPECT_TRUE(find_item_rect("Stress Test")->disabled);
  EXPECT_TRUE(contains(h->last_text, "Pass 1  |  1:00 left"));
  ASSERT_TRUE(test_over(*h));
  h->frame();

  ASSERT_EQ(h->app->history.size(), 1u);
  const HistoryEntry& entry = h->app->history[0];
  EXPECT_EQ(entry.type, "stress");
  ASSERT_TRUE(entry.stress);
  EXPECT_EQ(entry.stress->passes.size(), 3u);
  EXPECT_EQ(entry.time_seconds, 90.0);
  EXPECT_EQ(entry.score, median_pass_score(h->app->stress.test->passes()));
  EXPECT_EQ(h->app->multi_score, 0) << "a stress test sets no multi-core score";
  EXPECT_NE(find_item_rect("stress pass bars"), nullptr);
  EXPECT_TRUE(contains(h->last_text, "Stability"));
  EXPECT_TRUE(contains(h->last_text, "STR"));
  EXPECT_FALSE(find_item_rect("Stress Test")->disabled);
  h->settle_leaderboard();
  EXPECT_FALSE(h->on_leaderboard(RunKind::multi)) << "never submitted";
}

TEST_F(StressFlows, EveryPassCarriesTheMonitorsSensorsAndTheTestItsWarningsOnce) {
  auto h = open(servers->quick_hash);
  attach_run_monitor(*h->app, unplugged_laptop_monitor(3000.0));
  ASSERT_TRUE(h->click("Stress Test"));
  ASSERT_TRUE(test_over(*h));
  h->frame();

  ASSERT_EQ(h->app->history.size(), 1u);
  const HistoryEntry& entry = h->app->history[0];
  ASSERT_TRUE(entry.stress);
  ASSERT_EQ(entry.stress->passes.size(), 3u);
  for (const StressPass& pass : entry.stress->passes) EXPECT_EQ(pass.sensors.clock_mhz_avg, 3000.0);
  ASSERT_EQ(entry.warnings.size(), 1u);
  EXPECT_EQ(entry.warnings[0].code, "battery");
  EXPECT_TRUE(contains(h->last_text, "Multi-core: The machine ran on battery")) << h->last_text;
}

TEST_F(StressFlows, AWrongImageEndsTheTestAtThatPassInRedAndACancelStoresNothingEither) {
  auto h = open(std::string(64, '0'));
  ASSERT_TRUE(h->click("Stress Test"));
  ASSERT_TRUE(test_over(*h));
  h->frame();
  EXPECT_EQ(h->app->stress.test->summary().verdict, StressVerdict::unstable);
  EXPECT_TRUE(contains(h->last_text, "UNSTABLE: pass 1 computed a wrong image after 0:30"));
  EXPECT_EQ(h->app->history.size(), 0u);

  h.reset();  // one GUI context at a time
  h = open(servers->quick_hash);
  h->app->stress.minutes = kStressMaxMinutes;  // hundreds of passes: the cancel lands in one
  ASSERT_TRUE(h->click("Stress Test"));
  h->frame();
  ASSERT_TRUE(h->click("Cancel"));
  ASSERT_TRUE(test_over(*h));
  h->frame();
  EXPECT_EQ(h->app->stress.test->summary().verdict, StressVerdict::cancelled);
  EXPECT_EQ(h->app->history.size(), 0u);
  EXPECT_FALSE(fs::exists(history));
}

}  // namespace
