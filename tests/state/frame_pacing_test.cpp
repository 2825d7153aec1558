// The frame cap: the rates chosen from the monitor and STRELVIK_MAX_FPS, and a loop that sleeps
// instead of spinning. Also the stop signal that closes the window.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>

#include "state/cpu_clock.h"
#include "state/frame_budget.h"
#include "state/frame_pacer.h"
#include "state/frame_scheduler.h"
#include "system/stop_signal.h"

TEST(MaxFpsSetting, AcceptsOnlyAWholeNumberFromOneToTheLimit) {
  EXPECT_FALSE(parse_max_fps(nullptr).value);
  EXPECT_TRUE(parse_max_fps(nullptr).error.empty());
  EXPECT_EQ(parse_max_fps("30").value, 30);
  EXPECT_EQ(parse_max_fps("1").value, 1);
  EXPECT_EQ(parse_max_fps("1000").value, 1000);
  for (const char* bad : {"", "0", "-5", "1001", "99999", "30fps", " 30", "2.5", "abc"}) {
    const MaxFpsSetting setting = parse_max_fps(bad);
    EXPECT_FALSE(setting.value) << bad;
    EXPECT_NE(setting.error.find("STRELVIK_MAX_FPS"), std::string::npos) << bad;
  }
}

TEST(FrameRates, IdleFollowsTheMonitorAndARunDrawsLess) {
  FrameRates unknown = choose_frame_rates(0, std::nullopt);
  EXPECT_EQ(unknown.idle, 60.0);
  EXPECT_EQ(unknown.running, kRunningFrameRate);
  FrameRates fast = choose_frame_rates(144, std::nullopt);
  EXPECT_EQ(fast.idle, 144.0);
  EXPECT_EQ(fast.running, kRunningFrameRate);
  // A slow monitor: a run never draws faster than the idle window.
  EXPECT_EQ(choose_frame_rates(24, std::nullopt).running, 24.0);
}

TEST(FrameRates, TheEnvironmentSetsTheIdleRateAndBoundsTheRunningOne) {
  FrameRates ten = choose_frame_rates(60, 10);
  EXPECT_EQ(ten.idle, 10.0);
  EXPECT_EQ(ten.running, 10.0);
  FrameRates high = choose_frame_rates(60, 500);  // above the monitor, for measurements
  EXPECT_EQ(high.idle, 500.0);
  EXPECT_EQ(high.running, kRunningFrameRate);
}

TEST(FramePacer, AFrameThatOverranStartsAtOnceWithoutCatchingUp) {
  using Clock = FramePacer::Clock;
  const Clock::time_point t0{};
  const auto at_60 = FramePacer::interval(60.0);
  EXPECT_EQ(FramePacer::next_frame_start(t0, t0 + at_60 / 2, 60.0), t0 + at_60);
  const Clock::time_point late = t0 + 5 * at_60;
  EXPECT_EQ(FramePacer::next_frame_start(t0, late, 60.0), late);
}

TEST(FrameBudget, CheapFramesDrawAtTheCapAndDearOnesWithinTheShareOfTheMachine) {
  // A graphics card: a millisecond a frame fits 30 frames a second into 1 % of two threads.
  FrameBudget card(2, 30.0);
  card.add_idle_frame(0.0004, 0.0005);
  EXPECT_EQ(card.running_fps(), 30.0);

  // Software OpenGL: 4 ms on the interface thread and 16 ms in the driver's threads. 20 ms a
  // frame allows one frame a second on 2 threads, and 8 on 16.
  FrameBudget software(2, 30.0);
  for (int i = 0; i < 20; ++i) software.add_idle_frame(0.004, 0.020);
  EXPECT_NEAR(software.frame_cost(), 0.020, 1e-9);
  EXPECT_EQ(software.running_fps(), FrameBudget::kMinFps);
  FrameBudget wide(16, 30.0);
  for (int i = 0; i < 20; ++i) wide.add_idle_frame(0.004, 0.020);
  EXPECT_NEAR(wide.running_fps(), 8.0, 1e-9);

  // During a run the interface thread's own measurement replaces its idle cost (the upload
  // makes it costlier); the driver's threads keep their idle cost, as the workers hide them.
  for (int i = 0; i < 40; ++i) wide.add_running_frame(0.012);
  EXPECT_NEAR(wide.frame_cost(), 0.028, 1e-6);
  EXPECT_NEAR(wide.running_fps(), 0.16 / 0.028, 1e-3);
}

TEST(FrameBudget, OneSlowFrameFadesAndNothingMeasuredMeansTheCap) {
  FrameBudget budget(8, 20.0);
  EXPECT_EQ(budget.running_fps(), 20.0);
  for (int i = 0; i < 30; ++i) budget.add_idle_frame(0.001, 0.002);
  budget.add_idle_frame(0.001, 0.2);  // a leaderboard reply parsed during that frame
  EXPECT_LT(budget.running_fps(), 2.0);
  for (int i = 0; i < 30; ++i) budget.add_idle_frame(0.001, 0.002);
  EXPECT_NEAR(budget.frame_cost(), 0.002, 1e-4);
  EXPECT_EQ(budget.running_fps(), 20.0);
  // A process clock that went backwards (never below zero) cannot make frames free.
  budget.add_idle_frame(0.001, 0.0);
  EXPECT_GT(budget.frame_cost(), 0.001);
}

TEST(FramePacer, WaitsBySleepingNotSpinning) {
  FramePacer pacer(FrameRates{100.0, 25.0});
  const double cpu_before = thread_cpu_seconds();
  const auto wall_before = std::chrono::steady_clock::now();
  for (int frame = 0; frame < 21; ++frame) pacer.wait_for_next_frame(false);  // 20 intervals at 100/s
  for (int frame = 0; frame < 5; ++frame) pacer.wait_for_next_frame(true);    // 5 intervals at 25/s
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_before).count();
  const double cpu = thread_cpu_seconds() - cpu_before;
  EXPECT_GE(wall, 0.39);  // no upper bound: a loaded machine may wake the thread late
  EXPECT_LT(cpu, wall * 0.2) << "the pacer burns the processor while it waits";
}

#ifndef _WIN32  // Windows has console events instead: tests/windows/ sends the runner a Ctrl-C
TEST(StopSignal, SigtermIsRecordedAsARequestToStop) {
  install_stop_signal_handlers();
  EXPECT_EQ(received_stop_signal(), 0);
  std::raise(SIGTERM);
  EXPECT_EQ(received_stop_signal(), SIGTERM);
}
#endif

TEST(FrameScheduler, AnUntouchedWindowWaitsForEventsAndRedrawsRarely) {
  using Clock = FrameScheduler::Clock;
  const auto after = [](double s) {
    return Clock::time_point{} + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(s));
  };
  FrameScheduler scheduler;
  // The first frames lay the window out.
  for (int i = 0; i < FrameScheduler::kFramesAfterActivity; ++i) {
    ASSERT_TRUE(scheduler.should_draw(after(0.01 * i), false));
    scheduler.frame_drawn(after(0.01 * i));
  }
  const double last = 0.01 * (FrameScheduler::kFramesAfterActivity - 1);
  EXPECT_FALSE(scheduler.should_draw(after(last + 0.1), false));
  // Waits are short enough to notice a stop signal, and end at the idle redraw.
  EXPECT_EQ(scheduler.wait_seconds(after(last + 0.1)), FrameScheduler::kIdleWakeSeconds);
  EXPECT_NEAR(scheduler.wait_seconds(after(last + 0.9)), 0.1, 1e-9);
  EXPECT_TRUE(scheduler.should_draw(after(last + FrameScheduler::kIdleRedrawSeconds), false));
  scheduler.frame_drawn(after(last + 1.0));
  EXPECT_FALSE(scheduler.should_draw(after(last + 1.5), false));

  // A run draws every frame; input or a change owes the next few.
  EXPECT_TRUE(scheduler.should_draw(after(last + 1.5), true));
  scheduler.activity();
  for (int i = 0; i < FrameScheduler::kFramesAfterActivity; ++i) {
    ASSERT_TRUE(scheduler.should_draw(after(last + 1.5), false)) << i;
    scheduler.frame_drawn(after(last + 1.5));
  }
  EXPECT_FALSE(scheduler.should_draw(after(last + 1.6), false));
}
