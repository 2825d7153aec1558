// Start-up, frame loop and shutdown of the window program.
//
// Start-up: window system; window and OpenGL context; window shown; GUI context, theme and the
// GLFW and OpenGL3 backends; App; preview texture; fonts at the window's DPI scale; machine
// facts, history, initial scores and leaderboard fetches; frame loop.
// Shutdown: leaderboard requests joined and the engine told to cancel; GUI backends and
// context; the preview texture; the window; the App last, whose engine joins its run thread.
#include "app/program.h"

#include <GLFW/glfw3.h>
#include <imgui.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "app/gl_texture.h"
#include "app/glfw_window.h"
#include "backends/imgui_impl_glfw.h"
#include "backends/imgui_impl_opengl3.h"
#include "state/app.h"
#include "state/cpu_clock.h"
#include "state/frame_budget.h"
#include "state/frame_pacer.h"
#include "state/frame_scheduler.h"
#include "system/stop_signal.h"
#include "ui/fonts.h"
#include "ui/item_rects.h"
#include "ui/main_window.h"
#include "ui/theme.h"

// The one preview texture; it lives as long as the program, its GL name is released at
// shutdown while the context still exists.
static GlTexture g_preview_texture;

static FrameRates frame_rates_from_environment() {
  const MaxFpsSetting max_fps = parse_max_fps(std::getenv("STRELVIK_MAX_FPS"));
  if (!max_fps.error.empty()) std::fprintf(stderr, "strelvik: %s\n", max_fps.error.c_str());
  return choose_frame_rates(primary_monitor_refresh_rate(), max_fps.value);
}

static void draw_frame(GLFWwindow* window, App& app) {
  ImGui_ImplOpenGL3_NewFrame();
  ImGui_ImplGlfw_NewFrame();
  ImGui::NewFrame();
  if (app.font_body != nullptr) ImGui::PushFont(app.font_body);
  draw_main_window(app);
  if (app.font_body != nullptr) ImGui::PopFont();
  ImGui::Render();

  int width = 0, height = 0;
  glfwGetFramebufferSize(window, &width, &height);
  glViewport(0, 0, width, height);
  // No clear: the main window's opaque background covers every pixel each frame, and with
  // software OpenGL a clear costs a third of the frame.
  ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());
  glfwSwapBuffers(window);
}

// STRELVIK_ITEM_RECTS=FILE: where the clickable items are, rewritten whenever they move, so a
// script can click by name (the real-window test does).
class ItemRectsFile {
 public:
  explicit ItemRectsFile(const char* path) : path_(path != nullptr ? path : "") {}
  void update() {
    if (path_.empty() || item_rects() == written_) return;
    written_ = item_rects();
    const std::string temp = path_ + ".tmp";
    std::ofstream(temp, std::ios::trunc) << format_item_rects(written_);
    std::rename(temp.c_str(), path_.c_str());
  }

 private:
  std::string path_;
  ItemRects written_;
};

// Set by the GLFW callbacks below (main thread only): input or an expose arrived since the loop
// last looked. The GUI backend's own callbacks chain to these.
static bool g_window_event = false;

static void note_event(GLFWwindow*) { g_window_event = true; }
static void note_cursor(GLFWwindow*, double, double) { g_window_event = true; }
static void note_button(GLFWwindow*, int, int, int) { g_window_event = true; }
static void note_key(GLFWwindow*, int, int, int, int) { g_window_event = true; }
static void note_char(GLFWwindow*, unsigned int) { g_window_event = true; }
static void note_flag(GLFWwindow*, int) { g_window_event = true; }
static void note_size(GLFWwindow*, int, int) { g_window_event = true; }

// Installed before the GUI backend, which keeps them as the callbacks it calls on.
static void install_event_callbacks(GLFWwindow* window) {
  glfwSetCursorPosCallback(window, note_cursor);
  glfwSetMouseButtonCallback(window, note_button);
  glfwSetScrollCallback(window, note_cursor);
  glfwSetKeyCallback(window, note_key);
  glfwSetCharCallback(window, note_char);
  glfwSetWindowFocusCallback(window, note_flag);
  glfwSetCursorEnterCallback(window, note_flag);
  glfwSetWindowIconifyCallback(window, note_flag);
  glfwSetFramebufferSizeCallback(window, note_size);
  glfwSetWindowRefreshCallback(window, note_event);
}

static void run_frame_loop(GLFWwindow* window, App& app, const ProgramOptions& options) {
  using Clock = std::chrono::steady_clock;
  FrameRates rates = frame_rates_from_environment();
  if (options.running_frame_rate) rates.running = *options.running_frame_rate;
  FramePacer pacer(rates);
  FrameBudget budget(hardware_thread_count(), rates.running);
  FrameScheduler scheduler;
  MinimumSizeKeeper minimum_size(window, app.dpi_scale);
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
      glfwPollEvents();
    } else {
      glfwWaitEventsTimeout(scheduler.wait_seconds(wait_start));
    }
    waiting += Clock::now() - wait_start;
    if (received_stop_signal() != 0) glfwSetWindowShouldClose(window, GLFW_TRUE);
    // Checked after the events are taken, so no frame is drawn once the window was closed.
    if (glfwWindowShouldClose(window)) break;
    minimum_size.enforce();
    const WatchedState now_watched = watched_state(app);
    if (g_window_event || now_watched != watched) scheduler.activity();
    g_window_event = false;
    watched = now_watched;
    const Clock::time_point frame_start = Clock::now();
    if (!scheduler.should_draw(frame_start, busy || app.engine.running.load())) continue;

    const bool running_before = app.engine.running.load();
    const double thread_cpu_before = thread_cpu_seconds();
    const double process_cpu_before = process_cpu_seconds();
    draw_frame(window, app);
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
    if (options.after_frame && !options.after_frame(app)) glfwSetWindowShouldClose(window, GLFW_TRUE);
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

int run_program(const ProgramOptions& options) {
  std::string error;
  if (!start_window_system(&error)) {
    std::fprintf(stderr, "strelvik: %s\n", error.c_str());
    return 1;
  }
  GLFWwindow* window = create_main_window(&error);
  if (window == nullptr) {
    std::fprintf(stderr, "strelvik: %s\n", error.c_str());
    glfwTerminate();
    return 1;
  }
  // Vertical sync where the driver honours it; the frame pacer caps the rate where it does not.
  glfwSwapInterval(1);
  glfwShowWindow(window);

  IMGUI_CHECKVERSION();
  ImGui::CreateContext();
  ImGui::GetIO().ConfigFlags |= ImGuiConfigFlags_NavEnableKeyboard;
  // No imgui.ini: the library would write it into the current directory (the user's home when
  // started from the desktop), and it could hold nothing this window uses, since every window's
  // place and size is set each frame.
  ImGui::GetIO().IniFilename = nullptr;
  // A blinking text cursor would need frames while nothing else changes (see FrameScheduler).
  ImGui::GetIO().ConfigInputTextCursorBlink = false;
  apply_theme();
  install_event_callbacks(window);
  ImGui_ImplGlfw_InitForOpenGL(window, true);
  if (!ImGui_ImplOpenGL3_Init("#version 330")) {
    std::fprintf(stderr, "strelvik: the OpenGL context cannot draw the interface\n");
    ImGui_ImplGlfw_Shutdown();
    ImGui::DestroyContext();
    glfwDestroyWindow(window);
    glfwTerminate();
    return 1;
  }

  App app(options.workload);
  app.gpu = &g_preview_texture;
  load_fonts(app, dpi_scale_from_content_scale(window_content_scale(window)), find_font_files());
  start_app_services(app);

  run_frame_loop(window, app, options);

  stop_app_services(app);
  ImGui_ImplOpenGL3_Shutdown();
  ImGui_ImplGlfw_Shutdown();
  ImGui::DestroyContext();
  g_preview_texture.release();
  glfwDestroyWindow(window);
  glfwTerminate();
  return 0;  // the App is destroyed after this, last, as its engine's run thread must be
}
