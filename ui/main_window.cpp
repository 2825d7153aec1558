#include "ui/main_window.h"

#include <imgui.h>

#include "state/app.h"
#include "ui/item_rects.h"
#include "ui/palette.h"
#include "ui/panels.h"

static constexpr float kLeftWidth = 280.0f;
static constexpr float kRightWidth = 320.0f;
static constexpr float kColumnSpacing = 24.0f;
// "RUNNING..." sits this far left of the main window's right edge (not scaled, as the title
// line's other offsets are not).
static constexpr float kRunningOffsetFromRight = 200.0f;

ColumnWidths column_widths(float available_width, float dpi_scale) {
  const float left = kLeftWidth * dpi_scale;
  const float right = kRightWidth * dpi_scale;
  return {left, available_width - left - right - kColumnSpacing * dpi_scale, right};
}

static void draw_title_line(App& app) {
  if (app.font_heading != nullptr) ImGui::PushFont(app.font_heading);
  ImGui::TextColored(kTeal, "STRELVIK");
  ImGui::SameLine();
  ImGui::TextColored(ImVec4(0.4f, 0.4f, 0.4f, 1.0f), "v1.4");
  if (app.font_heading != nullptr) ImGui::PopFont();

  ImGui::SameLine(ImGui::GetWindowWidth() - kRunningOffsetFromRight);
  if (app.engine.running.load()) {
    ImGui::TextColored(kTeal, "RUNNING...");
  } else {
    // Ends the title line without drawing: the separator below would otherwise be placed on it.
    ImGui::NewLine();
  }
}

void draw_main_window(App& app) {
  begin_item_rects();
  follow_history_file(app);
  const ImGuiViewport* viewport = ImGui::GetMainViewport();
  ImGui::SetNextWindowPos(viewport->WorkPos, ImGuiCond_Always);
  ImGui::SetNextWindowSize(viewport->WorkSize, ImGuiCond_Always);
  const ImGuiWindowFlags flags = ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
                                 ImGuiWindowFlags_NoScrollbar | ImGuiWindowFlags_NoCollapse |
                                 ImGuiWindowFlags_NoBringToFrontOnFocus;
  // The content is submitted whatever Begin returns: the window cannot be collapsed or hidden.
  ImGui::Begin("##main", nullptr, flags);

  draw_title_line(app);
  ImGui::Separator();
  ImGui::Spacing();

  const ColumnWidths widths = column_widths(ImGui::GetContentRegionAvail().x, app.dpi_scale);

  ImGui::BeginChild("##left", ImVec2(widths.left, -1), true);
  draw_system_info_panel(app, app.font_mono);
  draw_benchmark_panel(app);
  draw_score_panel(app, app.font_mono_large);
  ImGui::EndChild();
  ImGui::SameLine();

  ImGui::BeginChild("##center", ImVec2(widths.center, -1), true);
  draw_preview_panel(app);
  draw_progress_line(app, app.font_mono);
  draw_cpu_usage_panel(app, app.font_mono);
  ImGui::EndChild();
  ImGui::SameLine();

  ImGui::BeginChild("##right", ImVec2(widths.right, -1), true);
  if (ImGui::BeginTabBar("##right_tabs")) {
    const bool history_open = ImGui::BeginTabItem("History");
    record_item_rect("History tab");
    if (history_open) {
      draw_history_panel(app);
      ImGui::EndTabItem();
    }
    const bool leaderboard_open = ImGui::BeginTabItem("Leaderboard");
    record_item_rect("Leaderboard tab");
    if (leaderboard_open) {
      draw_leaderboard_panel(app);
      ImGui::EndTabItem();
    }
    ImGui::EndTabBar();
  }
  ImGui::EndChild();

  ImGui::End();
}
