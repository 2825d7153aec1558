// Start-up, frame loop and shutdown of the window program on Windows (Win32 and Direct3D 11).
//
// Start-up: per-monitor DPI awareness; window class and window; device, context, swap chain and
// the back buffer's view; window shown; GUI context, theme and the Win32 and DX11 backends; App;
// preview texture; fonts at the window's DPI scale; machine facts, history, initial scores and
// leaderboard fetches; frame loop.
// Shutdown: leaderboard requests joined and the engine told to cancel; GUI backends and
// context; the Direct3D objects; the window and its class; the App last, whose engine joins its
// run thread.
#include <windows.h>

#include <imgui.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "app/d3d11_texture_windows.h"
#include "app/frame_loop.h"
#include "app/gui_context.h"
#include "app/program.h"
#include "app/win32_window_windows.h"
#include "backends/imgui_impl_dx11.h"
#include "backends/imgui_impl_win32.h"
#include "state/app.h"
#include "state/run_monitoring.h"
#include "ui/fonts.h"
#include "ui/main_window.h"

// The Direct3D objects and the preview texture, for the program's whole life.
static DX11State g_dx;

namespace {

class Win32Host : public WindowHost {
 public:
  void poll_events() override {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) quit_ = true;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  void wait_events(double seconds) override {
    const DWORD ms = static_cast<DWORD>(std::ceil(seconds * 1000.0));
    MsgWaitForMultipleObjectsEx(0, nullptr, ms, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    poll_events();
  }
  bool close_requested() const override { return quit_; }
  // The window goes as its close button makes it go; its WM_QUIT ends the loop.
  void request_close() override {
    if (!close_sent_) PostMessageW(window_, WM_CLOSE, 0, 0);
    close_sent_ = true;
  }
  bool take_input_event() override { return take_window_event(); }
  void after_events() override { apply_pending_resize(g_dx); }
  void begin_frame() override {
    ImGui_ImplDX11_NewFrame();
    ImGui_ImplWin32_NewFrame();
  }
  void end_frame() override {
    // The back buffer's contents are undefined after a discarding present: clear it to the
    // theme's window background.
    const ImVec4& bg = ImGui::GetStyle().Colors[ImGuiCol_WindowBg];
    const float clear[4] = {bg.x, bg.y, bg.z, 1.0f};
    if (g_dx.back_buffer_view != nullptr) {
      g_dx.context->OMSetRenderTargets(1, &g_dx.back_buffer_view, nullptr);
      g_dx.context->ClearRenderTargetView(g_dx.back_buffer_view, clear);
    }
    ImGui_ImplDX11_RenderDrawData(ImGui::GetDrawData());
    g_dx.swap_chain->Present(1, 0);
  }
  int refresh_rate() const override { return display_refresh_rate(); }

  explicit Win32Host(HWND window) : window_(window) {}

 private:
  HWND window_;
  bool quit_ = false;
  bool close_sent_ = false;
};

}  // namespace

int run_program(const ProgramOptions& options) {
  SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
  HINSTANCE instance = GetModuleHandleW(nullptr);
  const MainWindow created = create_main_window(instance);
  if (created.window == nullptr) {
    std::fprintf(stderr, "strelvik: %s\n", created.error.c_str());
    return 1;
  }
  HWND window = created.window;
  if (const std::string error = create_device(window, g_dx); !error.empty()) {
    std::fprintf(stderr, "strelvik: %s\n", error.c_str());
    return 1;
  }
  ShowWindow(window, SW_SHOWDEFAULT);
  UpdateWindow(window);

  create_gui_context();
  ImGui_ImplWin32_Init(window);
  ImGui_ImplDX11_Init(g_dx.device, g_dx.context);

  App app(options.reference);
  app.gpu = &g_dx;
  load_fonts(app, window_dpi_scale(window), find_font_files());
  set_minimum_client_size(window, static_cast<int>(std::ceil(kMinimumWindowWidth * app.dpi_scale)),
                          static_cast<int>(std::ceil(kMinimumWindowHeight * app.dpi_scale)));
  start_app_services(app);
  // The program's one sensor sampler, made once and kept for every run.
  attach_run_monitor(app, make_platform_run_monitor(options.machine_root));

  Win32Host host(window);
  run_frame_loop(host, app, options);

  stop_app_services(app);
  ImGui_ImplDX11_Shutdown();
  ImGui_ImplWin32_Shutdown();
  ImGui::DestroyContext();
  g_dx.release();
  // Already destroyed when the loop ended on its close; then this only fails.
  DestroyWindow(window);
  UnregisterClassW(kWindowClassName, instance);
  return 0;  // the App is destroyed after this, last, as its engine's run thread must be
}
