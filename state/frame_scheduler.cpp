#include "state/frame_scheduler.h"

#include <algorithm>

static std::chrono::duration<double> seconds(double s) { return std::chrono::duration<double>(s); }

bool FrameScheduler::should_draw(Clock::time_point now, bool busy) const {
  if (busy || frames_owed_ > 0 || !drawn_any_) return true;
  return now - last_frame_ >= seconds(kIdleRedrawSeconds);
}

void FrameScheduler::frame_drawn(Clock::time_point now) {
  if (frames_owed_ > 0) --frames_owed_;
  last_frame_ = now;
  drawn_any_ = true;
}

double FrameScheduler::wait_seconds(Clock::time_point now) const {
  if (!drawn_any_) return 0.0;
  const double until_redraw = kIdleRedrawSeconds - std::chrono::duration<double>(now - last_frame_).count();
  return std::clamp(until_redraw, 0.0, kIdleWakeSeconds);
}
