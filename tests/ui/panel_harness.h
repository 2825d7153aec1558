#pragma once
// A real App driven through its panels without a window: a temporary history, a leaderboard
// server on loopback, the null preview texture, and clicks injected at the rectangles the
// panels record. Runs render a small workload whose reference hash the harness computes once.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "state/app.h"
#include "state/null_gpu_backend.h"
#include "tests/leaderboard_client/leaderboard_fixture.h"
#include "tests/support/test_environment.h"
#include "tests/support/test_workloads.h"
#include "tests/ui/headless_gui.h"
#include "ui/item_rects.h"
#include "ui/theme.h"
#include "verify/sha256.h"

// One certificate and one leaderboard server for the whole test program.
struct PanelServers {
  TempDir dir;
  Certificate cert = make_self_signed_certificate(dir.path(), "leaderboard");
  LeaderboardServer server{cert, dir.path()};
  std::string quick_hash = reference_hash(kQuickWorkload);
};

class PanelHarness {
 public:
  using Clock = std::chrono::steady_clock;

  // `cpu_name` keeps each test's submissions apart on the shared server.
  PanelHarness(const PanelServers& servers, const fs::path& history, const std::string& cpu_name,
               ReferenceWorkload workload)
      : PanelHarness(servers.server.port(), servers.cert.cert, history, cpu_name, std::move(workload)) {}
  // Against another server on loopback (a scripted one) at `port`, trusting `ca`.
  PanelHarness(int port, const fs::path& ca, const fs::path& history, const std::string& cpu_name,
               ReferenceWorkload workload) {
    set_variable("STRELVIK_HISTORY", history.string());
    const std::string url = "https://127.0.0.1:" + std::to_string(port);
    set_variable("STRELVIK_LEADERBOARD_URL", url);
    set_variable("STRELVIK_LEADERBOARD_CA", ca.string());
    app = std::make_unique<App>(std::move(workload));
    app->gpu = &texture;
    cpu = cpu_name;
    start_app_services(*app, MachineProbe{fake_machine, no_graphics});
    apply_theme();
    gui.build_fonts();
    frame();
    frame();
  }
  ~PanelHarness() {
    stop_app_services(*app);
    app.reset();
    unset_variable("STRELVIK_HISTORY");
    unset_variable("STRELVIK_LEADERBOARD_URL");
    unset_variable("STRELVIK_LEADERBOARD_CA");
  }

  std::string frame() {
    last_text = gui.frame(*app);
    return last_text;
  }

  // Moves over the named item, then presses and releases the left button, a frame each, as a
  // hand would (some items react only when they were already hovered); false when not drawn.
  bool click(const std::string& name) {
    const ItemRect* rect = find_item_rect(name);
    if (rect == nullptr) return false;
    ImGuiIO& io = ImGui::GetIO();
    io.MousePos = ImVec2(rect->center_x(), rect->center_y());
    frame();
    io.MouseDown[0] = true;
    frame();
    io.MouseDown[0] = false;
    frame();
    return true;
  }

  // Draws frames until `done` holds; false after `limit`.
  bool frames_until(const std::function<bool()>& done, std::chrono::seconds limit = std::chrono::seconds(120)) {
    const Clock::time_point deadline = Clock::now() + limit;
    while (!done()) {
      if (Clock::now() > deadline) return false;
      frame();
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
  }

  bool running() const { return app->engine.running.load(); }

  // Waits until no leaderboard request is in flight.
  void settle_leaderboard() {
    frames_until([&] { return app->leaderboard.pending.load() == 0; }, std::chrono::seconds(60));
    app->leaderboard.stop_all();
  }

  bool on_leaderboard(RunKind kind) {
    for (const LeaderboardRow& row : app->leaderboard.rows(kind)) {
      if (row.cpu == cpu) return true;
    }
    return false;
  }

  HeadlessGui gui;
  NullGpuBackend texture;
  std::unique_ptr<App> app;
  std::string last_text;

 private:
  static inline std::string cpu;
  static SystemInfo fake_machine() {
    SystemInfo info;
    info.cpu_name = cpu;
    return info;
  }
  static void no_graphics(SystemInfo&) {}
};
