#include "ui/main_window.h"

#include <imgui.h>

#include <algorithm>

#include "state/app.h"
#include "ui/image_viewer.h"
#include "ui/item_rects.h"
#include "ui/palette.h"
#include "ui/panels.h"

static constexpr float kLeftWidth = 280.0f;
static constexpr float kRightWidth = 320.0f;
static constexpr float kColumnSpacing = 24.0f;

ColumnWidths column_widths(float available_width, float dpi_scale) {
  const float left = kLeftWidth * dpi_scale;
  const float right = kRightWidth * dpi_scale;
  return {left, available_width - left - right - kColumnSpacing * dpi_scale, right};
}

static void draw_title_line(App& app) {
  if (app.font_heading != nullptr) ImGui::PushFont(app.font_heading);
  ImGui::TextColored(kTeal, "STRELVIK");
  ImGui::SameLine();
  ImGui::TextColored(kDimGrey, "v1.4");
  if (app.font_heading != nullptr) ImGui::PopFont();

  // "RUNNING..." ends where the columns below end, at the window's right padding.
  const char* running_text = "RUNNING...";
  ImGui::SameLine(ImGui::GetWindowContentRegionMax().x - ImGui::CalcTextSize(running_text).x);
  if (app.engine.running.load()) {
    ImGui::TextColored(kTeal, "%s", running_text);
    record_item_rect("running mark");
  } else {
    // Ends the title line without drawing: the separator below would otherwise be placed on it.
    ImGui::NewLine();
  }
}

// The left column: the machine's facts, then the benchmark buttons and the scores. When the
// column is short (150 % scaling in a 1600 x 900 window, a small window) the facts scroll in a
// region of their own, so the buttons and the scores below them stay in view. Both heights come
// from the previous frame, kept in the GUI library's per-window storage.
static void draw_left_column(App& app) {
  const ImGuiStorage* storage = ImGui::GetStateStorage();
  const ImGuiID info_key = ImGui::GetID("info height");
  const ImGuiID lower_key = ImGui::GetID("lower height");
  const float room = ImGui::GetContentRegionAvail().y - storage->GetFloat(lower_key, 0.0f);
  const float info_height = storage->GetFloat(info_key, room);
  // The region spans the column from its left edge, so the panel's value column stays where
  // it would be without it, and ends at the column's padding, where the text wrapped before.
  // No fill of its own: it would cover the column's border.
  const float padding = ImGui::GetStyle().WindowPadding.x;
  ImGui::SetCursorPosX(0.0f);
  ImGui::PushStyleColor(ImGuiCol_ChildBg, ImVec4(0, 0, 0, 0));
  ImGui::BeginChild("##system_info",
                    ImVec2(ImGui::GetWindowWidth() - padding, std::max(1.0f, std::min(info_height, room))), false);
  ImGui::Indent(padding);
  draw_system_info_panel(app, app.font_mono);
  ImGui::Unindent(padding);
  const float drawn_height = ImGui::GetCursorPosY() - ImGui::GetStyle().ItemSpacing.y;
  ImGui::EndChild();
  ImGui::PopStyleColor();
  ImGui::GetStateStorage()->SetFloat(info_key, drawn_height);

  const float lower_top = ImGui::GetCursorPosY();
  draw_benchmark_panel(app);
  draw_score_panel(app, app.font_mono_large);
  ImGui::GetStateStorage()->SetFloat(lower_key, ImGui::GetCursorPosY() - lower_top);
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
  draw_left_column(app);
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
  draw_image_viewer(app);
}
