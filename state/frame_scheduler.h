#pragma once
// Whether the loop draws a frame now or waits for events. A window nobody touches shows nothing
// new, yet with software OpenGL each frame costs tens of milliseconds: drawing them at the
// monitor's rate idles on a whole core. So frames are drawn during a run, for a few frames after
// any input or change (the GUI library settles hovers, new tabs and popups over a couple of
// frames), and otherwise once every kIdleRedrawSeconds; in between the loop sleeps in the
// event wait and wakes every kIdleWakeSeconds to look for a stop signal or a finished request.
#include <chrono>

class FrameScheduler {
 public:
  using Clock = std::chrono::steady_clock;

  static constexpr int kFramesAfterActivity = 3;
  static constexpr double kIdleRedrawSeconds = 1.0;
  static constexpr double kIdleWakeSeconds = 0.25;

  // Input arrived, or state the window shows changed: the next frames are drawn.
  void activity() { frames_owed_ = kFramesAfterActivity; }

  // True when a frame is due now: while busy (a run in progress), while frames
  // are owed after activity, or when the last frame is kIdleRedrawSeconds old.
  bool should_draw(Clock::time_point now, bool busy) const;

  // After each drawn frame.
  void frame_drawn(Clock::time_point now);

  // How long the loop may wait for events when should_draw is false: until the next idle
  // redraw, at most kIdleWakeSeconds.
  double wait_seconds(Clock::time_point now) const;

 private:
  int frames_owed_ = kFramesAfterActivity;  // the first frames lay the window out
  Clock::time_point last_frame_{};
  bool drawn_any_ = false;
};
