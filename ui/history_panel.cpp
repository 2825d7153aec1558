// The "History" tab: every stored result, newest first, each with a button that deletes it from
// the history and its file once the user confirms it.
#include <imgui.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>

#include "state/app.h"
#include "state/result_deletion.h"
#include "ui/item_rects.h"
#include "ui/palette.h"
#include "ui/panel_parts.h"
#include "ui/panels.h"
#include "ui/run_conditions_text.h"
#include "ui/stress_panel_parts.h"

namespace {

const ImVec4 kDeleteButton{0.4f, 0.1f, 0.1f, 1.0f};
constexpr float kTableHeight = 200.0f;  // times the DPI scale: as many rows at every scale
// "YYYY-MM-DD HH:MM" of the stored "YYYY-MM-DDTHH:MM:SS": two runs of one day differ.
constexpr std::size_t kDateLength = 16;
const char* const kConfirmTitle = "Delete this result?##history";

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

// The day and minute of the date, local time as stored. A hand-edited file may hold other text:
// the cut never splits a UTF-8 character, which would show as a replacement glyph.
std::string shown_date(const std::string& date) {
  std::size_t length = std::min(date.size(), kDateLength);
  if (length < date.size()) {
    while (length > 0 && (static_cast<unsigned char>(date[length]) & 0xC0) == 0x80) --length;
  }
  std::string shown = date.substr(0, length);
  if (shown.size() > 10 && shown[10] == 'T') shown[10] = ' ';
  return shown;
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
  ImGui::Text("%d", entry.threads);
  ImGui::TableNextColumn();
  ImGui::Text("%.1fs", entry.time_seconds);
  ImGui::TableNextColumn();
  ImGui::TextUnformatted(shown_date(entry.date).c_str());
  ImGui::TableNextColumn();
  char label[32];
  std::snprintf(label, sizeof label, "X##del%d", i);
  ImGui::PushStyleColor(ImGuiCol_Button, kDeleteButton);
  const bool pressed = ImGui::SmallButton(label);
  ImGui::PopStyleColor();
  if (ImGui::IsItemHovered()) ImGui::SetTooltip("Delete this result from the history (asks first)");
  record_item_rect("history delete " + std::to_string(index));
  return pressed;
}

// The question before a delete: a result may stand for a run of an hour.
void draw_delete_confirmation(App& app) {
  const ImGuiViewport* viewport = ImGui::GetMainViewport();
  ImGui::SetNextWindowPos(
      ImVec2(viewport->WorkPos.x + viewport->WorkSize.x * 0.5f, viewport->WorkPos.y + viewport->WorkSize.y * 0.5f),
      ImGuiCond_Appearing, ImVec2(0.5f, 0.5f));
  if (!ImGui::BeginPopupModal(kConfirmTitle, nullptr, ImGuiWindowFlags_AlwaysAutoResize)) return;
  if (app.history_delete_pending) {
    const HistoryEntry& entry = *app.history_delete_pending;
    ImGui::Text("%s %d, %.1fs, %s", kind_badge(entry.kind().value_or(RunKind::multi)).label, entry.score,
                entry.time_seconds, shown_date(entry.date).c_str());
    ImGui::TextUnformatted("It is removed from history.json for good.");
  }
  ImGui::PushStyleColor(ImGuiCol_Button, kDeleteButton);
  const bool confirmed = ImGui::Button("Delete");
  ImGui::PopStyleColor();
  record_item_rect("confirm delete");
  ImGui::SameLine();
  const bool kept = ImGui::Button("Keep") || ImGui::IsKeyPressed(ImGuiKey_Escape);
  record_item_rect("keep result");
  if (confirmed && app.history_delete_pending) delete_result(app, *app.history_delete_pending);
  if (confirmed || kept) {
    app.history_delete_pending.reset();
    ImGui::CloseCurrentPopup();
  }
  ImGui::EndPopup();
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
  if (!ImGui::BeginTable("##history", 7, flags, ImVec2(0, kTableHeight * app.dpi_scale), 0.0f)) return;
  // The fixed columns fit their contents. The delete button has a column of its own, sized to
  // the button: beside the date, in the stretching column, a wide time or the scrollbar of a
  // long table squeezed it to a sliver. Only the date gives way (it is clipped) when the
  // column is short of room.
  const ImGuiStyle& style = ImGui::GetStyle();
  const float button_width = ImGui::CalcTextSize("X").x + style.FramePadding.x * 2.0f;
  ImGui::TableSetupColumn("#", ImGuiTableColumnFlags_WidthFixed);
  ImGui::TableSetupColumn("Type", ImGuiTableColumnFlags_WidthFixed);
  ImGui::TableSetupColumn("Score", ImGuiTableColumnFlags_WidthFixed);
  ImGui::TableSetupColumn("Thr", ImGuiTableColumnFlags_WidthFixed);
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
    app.history_delete_pending = app.history[*clicked];
    ImGui::OpenPopup(kConfirmTitle);
  }
  draw_delete_confirmation(app);
}
