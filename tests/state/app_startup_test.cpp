// The application state's start-up steps that need no window, and its shutdown order.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include <fstream>

#include "state/app.h"
#include "state/null_gpu_backend.h"
#include "tests/leaderboard_client/leaderboard_fixture.h"

static SystemInfo fake_machine() {
  SystemInfo info;
  info.cpu_name = "Test CPU 9000";
  info.logical_processors = 8;
  return info;
}
static void fake_graphics(SystemInfo& info) {
  info.gpu_name = "Test GPU";
  info.vram_mb = 4096;
}
static const MachineProbe kFakeProbe{fake_machine, fake_graphics};

static std::string run_json(const char* type, int score) {
  return std::string(R"({"cpu":"c","date":"2026-01-02T03:04:05","resolution_h":1080,"resolution_w":1920,)") +
         R"("samples":128,"score":)" + std::to_string(score) + R"(,"threads":1,"time_seconds":1.5,"type":")" + type +
         R"("})";
}

// Every App here talks to a scripted HTTPS server on loopback, as the window would to a
// leaderboard, with a temporary history file.
class AppStartup : public ::testing::Test {
 protected:
  void SetUp() override {
    use_no_proxy();
    setenv("STRELVIK_HISTORY", history_path.c_str(), 1);
    const std::string url = "https://127.0.0.1:" + std::to_string(leaderboard.port());
    setenv("STRELVIK_LEADERBOARD_URL", url.c_str(), 1);
    setenv("STRELVIK_LEADERBOARD_CA", cert.cert.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("STRELVIK_HISTORY");
    unsetenv("STRELVIK_LEADERBOARD_URL");
    unsetenv("STRELVIK_LEADERBOARD_CA");
  }
  void write_history(std::initializer_list<std::string> runs) {
    std::string text = R"({"runs":[)";
    bool first = true;
    for (const std::string& run : runs) {
      text += (first ? "" : ",") + run;
      first = false;
    }
    std::ofstream(history_path) << text << "]}";
  }

  TempDir dir;
  std::string history_path = (dir.path() / "history.json").string();
  Certificate cert = make_self_signed_certificate(dir.path(), "leaderboard");
  ScriptedTlsServer leaderboard{cert};
};

static const char* kRows = R"({"leaderboard":[{"cpu":"Test CPU 9000","avg_score":1234,"runs":3}]})";

TEST_F(AppStartup, ANewAppHoldsTheDefaultsAndTouchesNoFile) {
  App app;
  EXPECT_EQ(app.gpu, nullptr);
  EXPECT_EQ(app.single_score, 0);
  EXPECT_EQ(app.multi_score, 0);
  EXPECT_FALSE(app.run_both);
  EXPECT_FALSE(app.run_both_single_done);
  EXPECT_EQ(app.font_body, nullptr);
  EXPECT_EQ(app.font_heading, nullptr);
  EXPECT_EQ(app.dpi_scale, 1.0f);
  EXPECT_TRUE(app.cpu_monitor.first_sample);
  EXPECT_FALSE(app.cpu_monitor.sampling);
  EXPECT_FALSE(app.engine.running.load());
  EXPECT_EQ(app.history.path(), history_path);
  EXPECT_FALSE(std::filesystem::exists(history_path));
  EXPECT_EQ(app.leaderboard.pending.load(), 0);
  EXPECT_TRUE(leaderboard.requests().empty());  // no request before start-up asks for one
}

TEST_F(AppStartup, StartUpFetchesEveryLeaderboardAndShutdownWaitsForThem) {
  // The last reply comes late: shutdown must wait for it rather than cut it off.
  leaderboard.push(ScriptedTlsServer::reply(200, kRows));
  leaderboard.push(ScriptedTlsServer::reply(200, kRows));
  ScriptedTlsServer::Script late = {ScriptedTlsServer::pause(std::chrono::milliseconds(400))};
  for (const auto& step : ScriptedTlsServer::reply(200, kRows)) late.push_back(step);
  leaderboard.push(late);
  App app;
  start_app_services(app, kFakeProbe);
  stop_app_services(app);
  EXPECT_EQ(app.leaderboard.pending.load(), 0);
  const std::vector<std::string> requests = leaderboard.requests();
  ASSERT_EQ(requests.size(), 3u);
  for (const RunKind kind : kRunKinds) {
    const std::string query = std::string("type=") + run_kind_text(kind);
    EXPECT_EQ(std::count_if(requests.begin(), requests.end(),
                            [&](const std::string& r) { return r.find(query) != std::string::npos; }),
              1)
        << query;
    EXPECT_EQ(app.leaderboard.rows(kind).size(), 1u);
  }
  EXPECT_EQ(app.leaderboard.fetch_error_text(), "");
}

TEST_F(AppStartup, StartUpFillsTheMachineFactsAndLoadsTheHistory) {
  write_history({run_json("single", 1200), run_json("multi", 9000)});
  App app;
  start_app_services(app, kFakeProbe);
  EXPECT_EQ(app.system_info.cpu_name, "Test CPU 9000");
  EXPECT_EQ(app.system_info.gpu_name, "Test GPU");  // the adapter query completes the probe's facts
  EXPECT_EQ(app.system_info.vram_mb, 4096u);
  ASSERT_EQ(app.history.size(), 2u);
  EXPECT_EQ(app.single_score, 1200);
  EXPECT_EQ(app.multi_score, 9000);
}

TEST_F(AppStartup, InitialScoresTakeTheBestOfExactlySingleAndMulti) {
  write_history({run_json("single", 800), run_json("single", 1300), run_json("Single", 5000), run_json("multi", 7000),
                 run_json("MULTI", 9999), run_json("both", 8888), run_json("multi", 6500)});
  App app;
  start_app_services(app, kFakeProbe);
  EXPECT_EQ(app.single_score, 1300);
  EXPECT_EQ(app.multi_score, 7000);
}

TEST_F(AppStartup, ScoresOfZeroOrBelowAndAMissingFileGiveNoScore) {
  {
    App app;
    start_app_services(app, kFakeProbe);
    EXPECT_EQ(app.history.size(), 0u);
    EXPECT_EQ(app.single_score, 0);
    EXPECT_EQ(app.multi_score, 0);
  }
  write_history({run_json("single", 0), run_json("multi", -40)});
  App app;
  start_app_services(app, kFakeProbe);
  EXPECT_EQ(app.history.size(), 2u);
  EXPECT_EQ(app.single_score, 0);
  EXPECT_EQ(app.multi_score, 0);
}

TEST_F(AppStartup, ShutdownCancelsARunningBenchmarkWithoutAResult) {
  App app;
  NullGpuBackend gpu;
  app.gpu = &gpu;
  start_app_services(app, kFakeProbe);
  // A run far too long to finish on its own: only the cancel can end it.
  Workload long_run = kStandardWorkload;
  long_run.samples_per_pixel = 64;
  app.engine.start(RunRequest{.workload = long_run, .kind = RunKind::single, .threads = 1});
  ASSERT_TRUE(app.engine.running.load());
  const auto begin = std::chrono::steady_clock::now();
  stop_app_services(app);
  while (app.engine.running.load() && std::chrono::steady_clock::now() - begin < std::chrono::seconds(20)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_FALSE(app.engine.running.load());
  EXPECT_FALSE(app.engine.result_ready.load());
  EXPECT_FALSE(std::filesystem::exists(history_path));  // nothing is written at shutdown
}
