#include "app/frame_loop.h"

#include <imgui.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "state/app.h"
#include "state/cpu_clock.h"
#include "state/frame_budget.h"
#include "state/frame_pacer.h"
#include "state/frame_scheduler.h"
#include "system/stop_signal.h"
#include "ui/item_rects.h"
#include "ui/main_window.h"

namespace {

FrameRates frame_rates_from_environment(int refresh_hz) {
  const MaxFpsSetting max_fps = parse_max_fps(std::getenv("STRELVIK_MAX_FPS"));
  if (!max_fps.error.empty()) std::fprintf(stderr, "strelvik: %s\n", max_fps.error.c_str());
  return choose_frame_rates(refresh_hz, max_fps.value);
}

void draw_frame(WindowHost& host, App& app) {
  host.begin_frame();
  ImGui::NewFrame();
  if (app.font_body != nullptr) ImGui::PushFont(app.font_body);
  draw_main_window(app);
  if (app.font_body != nullptr) ImGui::PopFont();
  ImGui::Render();
  host.end_frame();
}

// STRELVIK_ITEM_RECTS=FILE: where the clickable items are, rewritten whenever they move, so a
// script can click by name (the real-window tests do).
class ItemRectsFile {
 public:
  explicit ItemRectsFile(const char* path) : path_(path != nullptr ? path : "") {}
  void update() {
    if (path_.empty() || item_rects() == written_) return;
    written_ = item_rects();
    const std::string temp = path_ + ".tmp";
    // Binary: the same bytes on every platform, no CR LF where scripts read lines.
    std::ofstream(temp, std::ios::trunc | std::ios::binary) << format_item_rects(written_);
    if (std::rename(temp.c_str(), path_.c_str()) != 0) {
      // Windows renames onto no existing file: a reader may then find none for a moment.
      std::remove(path_.c_str());
      std::rename(temp.c_str(), path_.c_str());
    }
  }

 private:
  std::string path_;
  ItemRects written_;
};

}  // namespace

void run_frame_loop(WindowHost& host, App& app, const ProgramOptions& options) {
  using Clock = std::chrono::steady_clock;
  FrameRates rates = frame_rates_from_environment(host.refresh_rate());
  if (options.running_frame_rate) rates.running = *options.running_frame_rate;
  FramePacer pacer(rates);
  FrameBudget budget(app.engine.placement().thread_count(), rates.running);
  FrameScheduler scheduler;
  // STRELVIK_REPORT_FRAMES: one line on stderr at exit with the frame rate and where the time
  // went, for measuring what the window costs the machine it measures.
  const bool report_frames = std::getenv("STRELVIK_REPORT_FRAMES") != nullptr;
  const Clock::time_point loop_start = Clock::now();
  Clock::duration drawing{}, waiting{};
  long frames = 0;
  ItemRectsFile rects_file(std::getenv("STRELVIK_ITEM_RECTS"));
  WatchedState watched = watched_state(app);
  // A measurement program drives every frame itself.
  const bool always_draw = static_cast<bool>(options.after_frame);
  bool drawn_before = false;
  for (;;) {
    const bool busy = always_draw || app.engine.running.load();
    const Clock::time_point wait_start = Clock::now();
    if (scheduler.should_draw(wait_start, busy)) {
      // The previous frame's pace: sleeping, as events wait until the frame begins.
      if (drawn_before) pacer.wait_for_next_frame(app.engine.running.load());
      host.poll_events();
    } else {
      host.wait_events(scheduler.wait_seconds(wait_start));
    }
    waiting += Clock::now() - wait_start;
    if (received_stop_signal() != 0) host.request_close();
    // Checked after the events are taken, so no frame is drawn once the window was closed.
    if (host.close_requested()) break;
    host.after_events();
    const WatchedState now_watched = watched_state(app);
    if (host.take_input_event() || now_watched != watched) scheduler.activity();
    watched = now_watched;
    const Clock::time_point frame_start = Clock::now();
    if (!scheduler.should_draw(frame_start, busy || app.engine.running.load())) continue;

    const bool running_before = app.engine.running.load();
    const double thread_cpu_before = thread_cpu_seconds();
    const double process_cpu_before = process_cpu_seconds();
    draw_frame(host, app);
    if (!options.running_frame_rate) {
      // Frames that start or end a run measure neither state.
      const bool running_after = app.engine.running.load();
      const double thread_cpu = thread_cpu_seconds() - thread_cpu_before;
      if (running_before && running_after) budget.add_running_frame(thread_cpu);
      if (!running_before && !running_after) {
        budget.add_idle_frame(thread_cpu, process_cpu_seconds() - process_cpu_before);
      }
      pacer.set_running_rate(budget.running_fps());
    }
    rects_file.update();
    if (options.after_frame && !options.after_frame(app)) host.request_close();
    // What the frame changed (a run started, a request sent) is drawn in the frames after it.
    if (watched_state(app) != watched) scheduler.activity();
    watched = watched_state(app);
    scheduler.frame_drawn(Clock::now());
    drawn_before = true;
    drawing += Clock::now() - frame_start;
    ++frames;
  }
  if (report_frames && frames > 0) {
    const auto seconds = [](Clock::duration d) { return std::chrono::duration<double>(d).count(); };
    const double total = seconds(Clock::now() - loop_start);
    std::fprintf(stderr,
                 "strelvik: %ld frames in %.2f s (%.1f per second; cap %.0f idle, %.1f running); "
                 "per frame %.1f ms drawing, %.1f ms waiting; a frame during a run costs %.1f ms of CPU\n",
                 frames, total, frames / total, pacer.rates().idle, pacer.rates().running,
                 seconds(drawing) * 1000.0 / frames, seconds(waiting) * 1000.0 / frames, budget.frame_cost() * 1000.0);
  }
}
