#include "ui/run_conditions_text.h"

#include <imgui.h>

#include "state/app.h"
#include "system/sensor_summary.h"
#include "ui/palette.h"

void draw_run_warning_lines(const App& app) {
  bool first = true;
  for (const auto& [kind, conditions] : app.finished_conditions) {
    for (const RunWarning& warning : conditions.warnings) {
      if (first) ImGui::Spacing();
      first = false;
      ImGui::PushStyleColor(ImGuiCol_Text, kOrange);
      ImGui::TextWrapped("%s: %s", run_kind_title(kind), warning.text.c_str());
      ImGui::PopStyleColor();
    }
  }
}

std::string history_entry_conditions(const HistoryEntry& entry) {
  std::string text;
  if (entry.sensors) text = sensor_summary_line(*entry.sensors);
  for (const HistoryWarning& warning : entry.warnings) {
    if (!text.empty()) text += "\n";
    text += warning.text;
  }
  return text;
}
