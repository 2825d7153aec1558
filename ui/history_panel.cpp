// The "History" tab: every stored result, newest first, each with a button that deletes it from
// the history and its file.
#include <imgui.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "state/app.h"
#include "ui/item_rects.h"
#include "ui/palette.h"
#include "ui/panel_parts.h"
#include "ui/panels.h"
#include "ui/run_conditions_text.h"
#include "ui/stress_panel_parts.h"

namespace {

const ImVec4 kDeleteButton{0.4f, 0.1f, 0.1f, 1.0f};
constexpr float kTableHeight = 200.0f;   // times the DPI scale: as many rows at every scale
constexpr std::size_t kDateLength = 10;  // "YYYY-MM-DD" of the stored "YYYY-MM-DDTHH:MM:SS"

void draw_error_text(const char* text) {
  ImGui::PushStyleColor(ImGuiCol_Text, kErrorRed);
  ImGui::TextWrapped("%s", text);
  ImGui::PopStyleColor();
}

// The file's problems stay on screen: the user may not look at this tab until much later.
void draw_file_messages(const App& app) {
  if (app.history.file_unreadable()) {
    const std::string text = "The history file " + app.history.path() +
                             " could not be read. It will be kept aside under another name when the "
                             "next result is saved.";
    draw_error_text(text.c_str());
  }
  for (const std::string& notice : app.history_notices) draw_error_text(notice.c_str());
}

// The day part of the date. A hand-edited file may hold other text: the cut never splits a
// UTF-8 character, which would show as a replacement glyph.
std::string_view day_of(const std::string& date) {
  std::size_t length = std::min(date.size(), kDateLength);
  if (length < date.size()) {
    while (length > 0 && (static_cast<unsigned char>(date[length]) & 0xC0) == 0x80) --length;
  }
  return std::string_view(date).substr(0, length);
}

// One row; true when its delete button was pressed.
bool draw_row(const HistoryEntry& entry, std::size_t index) {
  const int i = static_cast<int>(index);
  ImGui::TableNextRow();
  ImGui::TableNextColumn();
  ImGui::Text("%d", i + 1);
  ImGui::TableNextColumn();
  const KindBadge badge = history_badge(entry);
  ImGui::TextColored(badge.colour, "%s", badge.label);
  ImGui::TableNextColumn();
  if (entry.stress) {
    ImGui::Text("%d (%.1f%%)", entry.score, entry.stress->stability_percent);  // the median pass, the stability
  } else {
    ImGui::Text("%d", entry.score);
  }
  // What the run ran under, where it was measured.
  if (ImGui::IsItemHovered()) {
    if (const std::string conditions = history_entry_conditions(entry); !conditions.empty()) {
      ImGui::SetTooltip("%s", conditions.c_str());
    }
  }
  ImGui::TableNextColumn();
  ImGui::Text("%.1fs", entry.time_seconds);
  ImGui::TableNextColumn();
  const std::string_view day = day_of(entry.date);
  ImGui::TextUnformatted(day.data(), day.data() + day.size());
  ImGui::TableNextColumn();
  char label[32];
  std::snprintf(label, sizeof label, "X##del%d", i);
  ImGui::PushStyleColor(ImGuiCol_Button, kDeleteButton);
  const bool pressed = ImGui::SmallButton(label);
  ImGui::PopStyleColor();
  record_item_rect("history delete " + std::to_string(index));
  return pressed;
}

}  // namespace

void draw_history_panel(App& app) {
  draw_section_title("RESULTS HISTORY", kOrange);
  draw_file_messages(app);
  if (app.history.size() == 0) {
    ImGui::TextColored(kDimGrey, "No results yet");
    return;
  }

  const ImGuiTableFlags flags = ImGuiTableFlags_ScrollY | ImGuiTableFlags_RowBg | ImGuiTableFlags_Borders;
  if (!ImGui::BeginTable("##history", 6, flags, ImVec2(0, kTableHeight * app.dpi_scale), 0.0f)) return;
  // The fixed columns fit their contents. The delete button has a column of its own, sized to
  // the button: beside the date, in the stretching column, a wide time or the scrollbar of a
  // long table squeezed it to a sliver. Only the date gives way (it is clipped) when the
  // column is short of room.
  const ImGuiStyle& style = ImGui::GetStyle();
  const float button_width = ImGui::CalcTextSize("X").x + style.FramePadding.x * 2.0f;
  ImGui::TableSetupColumn("#", ImGuiTableColumnFlags_WidthFixed);
  ImGui::TableSetupColumn("Type", ImGuiTableColumnFlags_WidthFixed);
  ImGui::TableSetupColumn("Score", ImGuiTableColumnFlags_WidthFixed);
  ImGui::TableSetupColumn("Time", ImGuiTableColumnFlags_WidthFixed);
  ImGui::TableSetupColumn("Date", ImGuiTableColumnFlags_WidthStretch);
  ImGui::TableSetupColumn("", ImGuiTableColumnFlags_WidthFixed | ImGuiTableColumnFlags_NoResize, button_width);
  ImGui::TableHeadersRow();

  // The list is changed only after the table is finished: this frame's rows stay as drawn.
  std::optional<std::size_t> clicked;
  for (std::size_t i = app.history.size(); i-- > 0;) {
    if (draw_row(app.history[i], i)) clicked = i;
  }
  ImGui::EndTable();

  if (clicked) {
    app.history.remove(*clicked);
    collect_history_notices(app);  // a failed save says so
  }
}
