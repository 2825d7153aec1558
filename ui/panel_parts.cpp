#include "ui/panel_parts.h"

void draw_section_title(const char* title, const ImVec4& colour) {
  ImGui::PushStyleColor(ImGuiCol_Text, colour);
  ImGui::Text("%s", title);
  ImGui::PopStyleColor();
  ImGui::Separator();
  ImGui::Spacing();
}
