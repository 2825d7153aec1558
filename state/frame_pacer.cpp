#include "state/frame_pacer.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <thread>

MaxFpsSetting parse_max_fps(const char* text) {
  if (text == nullptr) return {};
  const std::string value(text);
  const std::string error = "ignoring STRELVIK_MAX_FPS=" + value + ": expected a whole number from 1 to " +
                            std::to_string(kMaxFrameRateLimit);
  if (value.empty() || value.find_first_not_of("0123456789") != std::string::npos || value.size() > 4) {
    return {std::nullopt, error};
  }
  const int fps = std::atoi(value.c_str());
  if (fps < 1 || fps > kMaxFrameRateLimit) return {std::nullopt, error};
  return {fps, {}};
}

FrameRates choose_frame_rates(int refresh_hz, std::optional<int> max_fps) {
  FrameRates rates;
  rates.idle = refresh_hz > 0 ? refresh_hz : 60.0;
  rates.running = kRunningFrameRate;
  if (max_fps) {
    // The setting replaces the monitor's rate, also above it: a test or a measurement may want
    // the loop faster than the display.
    rates.idle = *max_fps;
    rates.running = std::min<double>(rates.running, *max_fps);
  }
  // A run never draws faster than the idle window does.
  rates.running = std::min(rates.running, rates.idle);
  return rates;
}

FramePacer::Clock::duration FramePacer::interval(double fps) {
  return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / fps));
}

FramePacer::Clock::time_point FramePacer::next_frame_start(Clock::time_point previous_start, Clock::time_point now,
                                                           double fps) {
  const Clock::time_point due = previous_start + interval(fps);
  return due > now ? due : now;
}

void FramePacer::wait_for_next_frame(bool running) {
  const Clock::time_point now = Clock::now();
  if (!frame_start_) {
    frame_start_ = now;
    return;
  }
  const Clock::time_point start = next_frame_start(*frame_start_, now, running ? rates_.running : rates_.idle);
  if (start > now) std::this_thread::sleep_until(start);
  frame_start_ = start;
}
