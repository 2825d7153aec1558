// Stand-ins for the panels until they are written: each shows its section title so the layout
// can be seen and tested, and the CPU graph's sampling already follows the engine.
#include <imgui.h>

#include "app/app.h"
#include "ui/palette.h"
#include "ui/panels.h"

static void section_title(const char* title, const ImVec4& colour) {
  ImGui::PushStyleColor(ImGuiCol_Text, colour);
  ImGui::TextUnformatted(title);
  ImGui::PopStyleColor();
  ImGui::Separator();
  ImGui::Spacing();
}

void draw_system_info_panel(App&, ImFont*) { section_title("SYSTEM INFO", kTeal); }

void draw_benchmark_panel(App&) {
  ImGui::Spacing();
  section_title("BENCHMARK", kOrange);
}

void draw_score_panel(App&, ImFont*) {
  ImGui::Spacing();
  ImGui::Spacing();
  section_title("SCORE", kTeal);
}

void draw_preview_panel(App&) { section_title("RENDER PREVIEW", kTeal); }

void draw_progress_line(App&, ImFont*) {}

void draw_cpu_usage_panel(App& app, ImFont*) { app.cpu_monitor.update(app.engine.running.load()); }

void draw_history_panel(App&) { section_title("RESULTS HISTORY", kOrange); }

void draw_leaderboard_panel(App&) {}
