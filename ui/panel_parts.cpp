#include "ui/panel_parts.h"

#include "ui/palette.h"

void draw_section_title(const char* title, const ImVec4& colour) {
  ImGui::PushStyleColor(ImGuiCol_Text, colour);
  ImGui::Text("%s", title);
  ImGui::PopStyleColor();
  ImGui::Separator();
  ImGui::Spacing();
}

KindBadge kind_badge(RunKind kind) {
  switch (kind) {
    case RunKind::single: return {run_kind_abbreviation(kind), kTeal};
    case RunKind::smt: return {run_kind_abbreviation(kind), kViolet};
    case RunKind::multi: return {run_kind_abbreviation(kind), kOrange};
  }
  return {run_kind_abbreviation(kind), kOrange};  // unreachable: every kind is listed above
}
