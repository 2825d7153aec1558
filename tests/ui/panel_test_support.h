#pragma once
// A fresh App in a headless GUI for the panel tests: a temporary history file, the leaderboard
// left unconfigured (a request fails at once, offline), the program's theme and the library's
// built-in font. Helpers click items by their recorded rectangles and read what a window's
// draw list holds.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support/test_environment.h"
#include "tests/support/test_processes.h"
#include "tests/ui/headless_gui.h"
#include "ui/item_rects.h"
#include "ui/theme.h"

inline bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class PanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    set_variable("STRELVIK_HISTORY", history_path);
    set_variable("STRELVIK_LEADERBOARD_URL", "https://leaderboard.strelvik.example");
    unset_variable("STRELVIK_NO_SUBMIT");
    apply_theme();
    gui.build_fonts();
  }
  void TearDown() override {
    if (app) {
      app->engine.running.store(false);
      app->leaderboard.stop_all();
      app.reset();
    }
    unset_variable("STRELVIK_HISTORY");
    unset_variable("STRELVIK_LEADERBOARD_URL");
    unset_variable("STRELVIK_NO_SUBMIT");
  }

  // The App, after any environment a test sets; the history is loaded as at start-up. Two
  // frames let the library settle its layout before the first click.
  App& make_app() {
    app = std::make_unique<App>();
    app->history.load();
    collect_history_notices(*app);
    frame();
    frame();
    return *app;
  }

  std::string frame() { return gui.frame(*app); }

  // Presses and releases the left button over the named item, then draws one more frame so
  // that whatever the click changed is on screen. False when the item was not drawn.
  bool click(const std::string& name) {
    const ItemRect* rect = find_item_rect(name);
    if (rect == nullptr) return false;
    ImGuiIO& io = ImGui::GetIO();
    io.MousePos = ImVec2(rect->center_x(), rect->center_y());
    io.MouseDown[0] = true;
    frame();
    io.MouseDown[0] = false;
    frame();
    io.MousePos = ImVec2(-1, -1);
    frame();
    return true;
  }

  TempDir dir;
  std::string history_path = dir.file("history.json");
  HeadlessGui gui;
  std::unique_ptr<App> app;
};

// The vertices of one colour in a window's draw list, in drawing order.
inline std::vector<ImVec2> vertices_of(const ImGuiWindow* window, ImU32 colour) {
  std::vector<ImVec2> found;
  for (const ImDrawVert& vertex : window->DrawList->VtxBuffer) {
    if (vertex.col == colour) found.push_back(vertex.pos);
  }
  return found;
}

// A text's glyphs are quads of four vertices in its colour, the top-left corner first.
struct GlyphBox {
  ImVec2 min, max;
};
inline std::vector<GlyphBox> glyphs_of(const ImGuiWindow* window, const ImVec4& colour) {
  const std::vector<ImVec2> corners = vertices_of(window, ImGui::ColorConvertFloat4ToU32(colour));
  std::vector<GlyphBox> glyphs;
  for (std::size_t i = 0; i + 3 < corners.size(); i += 4) glyphs.push_back({corners[i], corners[i + 2]});
  return glyphs;
}
