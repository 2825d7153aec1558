// Start-up, frame loop and shutdown of the window program on Linux (GLFW and OpenGL).
//
// Start-up: window system; window and OpenGL context; window shown; GUI context, theme and the
// GLFW and OpenGL3 backends; App; preview texture; fonts at the window's DPI scale; machine
// facts, history, initial scores and leaderboard fetches; frame loop.
// Shutdown: leaderboard requests joined and the engine told to cancel; GUI backends and
// context; the preview texture; the window; the App last, whose engine joins its run thread.
#include <GLFW/glfw3.h>
#include <imgui.h>

#include <cstdio>
#include <string>

#include "app/frame_loop.h"
#include "app/gl_texture.h"
#include "app/glfw_window.h"
#include "app/gui_context.h"
#include "app/program.h"
#include "backends/imgui_impl_glfw.h"
#include "backends/imgui_impl_opengl3.h"
#include "state/app.h"
#include "state/run_monitoring.h"
#include "ui/fonts.h"

// The one preview texture; it lives as long as the program, its GL name is released at
// shutdown while the context still exists.
static GlTexture g_preview_texture;

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

namespace {

class GlfwHost : public WindowHost {
 public:
  GlfwHost(GLFWwindow* window, float dpi_scale) : window_(window), minimum_size_(window, dpi_scale) {}

  void poll_events() override { glfwPollEvents(); }
  void wait_events(double seconds) override { glfwWaitEventsTimeout(seconds); }
  bool close_requested() const override { return glfwWindowShouldClose(window_) == GLFW_TRUE; }
  void request_close() override { glfwSetWindowShouldClose(window_, GLFW_TRUE); }
  bool take_input_event() override {
    const bool event = g_window_event;
    g_window_event = false;
    return event;
  }
  void after_events() override { minimum_size_.enforce(); }
  void begin_frame() override {
    ImGui_ImplOpenGL3_NewFrame();
    ImGui_ImplGlfw_NewFrame();
  }
  void end_frame() override {
    int width = 0, height = 0;
    glfwGetFramebufferSize(window_, &width, &height);
    glViewport(0, 0, width, height);
    // No clear: the main window's opaque background covers every pixel each frame, and with
    // software OpenGL a clear costs a third of the frame.
    ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());
    glfwSwapBuffers(window_);
  }
  int refresh_rate() const override { return primary_monitor_refresh_rate(); }

 private:
  GLFWwindow* window_;
  MinimumSizeKeeper minimum_size_;
};

}  // namespace

int run_program(const ProgramOptions& options) {
  if (const std::string error = start_window_system(); !error.empty()) {
    std::fprintf(stderr, "strelvik: %s\n", error.c_str());
    return 1;
  }
  const MainWindow created = create_main_window();
  if (created.window == nullptr) {
    std::fprintf(stderr, "strelvik: %s\n", created.error.c_str());
    glfwTerminate();
    return 1;
  }
  GLFWwindow* window = created.window;
  // Vertical sync where the driver honours it; the frame pacer caps the rate where it does not.
  glfwSwapInterval(1);
  glfwShowWindow(window);

  create_gui_context();
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

  App app(options.reference);
  app.gpu = &g_preview_texture;
  load_fonts(app, dpi_scale_from_content_scale(window_content_scale(window)), find_font_files());
  start_app_services(app);
  // The program's one sensor sampler, made once and kept for every run.
  attach_run_monitor(app, make_platform_run_monitor(options.machine_root));

  {
    GlfwHost host(window, app.dpi_scale);
    run_frame_loop(host, app, options);
  }

  stop_app_services(app);
  ImGui_ImplOpenGL3_Shutdown();
  ImGui_ImplGlfw_Shutdown();
  ImGui::DestroyContext();
  g_preview_texture.release();
  glfwDestroyWindow(window);
  glfwTerminate();
  return 0;  // the App is destroyed after this, last, as its engine's run thread must be
}
