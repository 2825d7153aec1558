// The "Leaderboard" tab: the client's status, a Refresh button and the two leaderboards. The
// client's request threads publish into it under its locks; the panel draws copies, so no lock
// is held while drawing.
#include "ui/leaderboard_panel.h"

#include <imgui.h>

#include <mutex>
#include <string>

#include "state/app.h"
#include "ui/item_rects.h"
#include "ui/palette.h"
#include "ui/panels.h"

namespace {

const ImVec4 kFetchErrorRed{0.6f, 0.2f, 0.2f, 1.0f};
const ImU32 kOwnRowBg = packed(kTeal, 32);
// The leaderboard tables' fixed column widths at 100 % scaling; they grow with the DPI scale,
// as the fonts do, so that "Runs" and the scores are not cut.
constexpr float kRankWidth = 30.0f;
constexpr float kScoreWidth = 60.0f;
constexpr float kRunsWidth = 40.0f;

const char* tab_label(RunKind kind) {
  switch (kind) {
    case RunKind::single: return "Single-Core";
    case RunKind::smt: return "SMT";
    case RunKind::multi: return "Multi-Core";
  }
  return "Multi-Core";  // unreachable: every kind is listed above
}

// Copies one kind's rows under the client's data lock, then draws them.
void draw_rows_of(App& app, const std::vector<LeaderboardRow>& published, const char* id) {
  std::vector<LeaderboardRow> rows;
  {
    std::lock_guard lock(app.leaderboard.data_mutex);
    rows = published;
  }
  draw_leaderboard_table(rows, app, id);
}

void few_runs_tooltip(const LeaderboardRow& row) {
  if (!ImGui::IsItemHovered()) return;
  const int counted = row.counted_runs.value_or(row.runs);
  ImGui::SetTooltip("Average of %d counted run%s: fewer than %d, so it may still change a lot", counted,
                    counted == 1 ? "" : "s", kConfidentRuns);
}

}  // namespace

std::string fit_text(const std::string& text, float width) {
  if (ImGui::CalcTextSize(text.c_str()).x <= width) return text;
  static constexpr const char* kEllipsis = "...";
  const float room = width - ImGui::CalcTextSize(kEllipsis).x;
  // The longest start that fits, cut between UTF-8 characters.
  std::size_t length = 0;
  for (std::size_t next = 1; next <= text.size(); ++next) {
    if (next < text.size() && (static_cast<unsigned char>(text[next]) & 0xC0) == 0x80) continue;
    if (ImGui::CalcTextSize(text.data(), text.data() + next).x > room) break;
    length = next;
  }
  return text.substr(0, length) + kEllipsis;
}

void draw_status_text(const StatusLine& status, float width) {
  if (status.text.empty()) {
    // An empty line still: without an item here, the button beside it would land on the tab
    // bar's row above.
    ImGui::TextUnformatted("");
    return;
  }
  const std::string shown = fit_text(status.text, width);
  ImGui::TextColored(status.colour, "%s", shown.c_str());
  if (shown != status.text && ImGui::IsItemHovered()) {
    ImGui::BeginTooltip();
    ImGui::PushTextWrapPos(ImGui::GetFontSize() * 30.0f);
    ImGui::TextUnformatted(status.text.c_str());
    ImGui::PopTextWrapPos();
    ImGui::EndTooltip();
  }
}

StatusLine leaderboard_status_line(std::int32_t pending, const std::string& submit_status, bool submissions_enabled,
                                   const std::string& fetch_error) {
  if (pending > 0) return {"Loading...", kTeal};
  // A fetch error is always the latest fetch's (a fetch that works clears it), and every
  // submission is followed by a fetch: shown first, it is never hidden behind an older
  // "Submitted OK" or the note that submissions are off. The submission's outcome stays beside
  // the score.
  if (!fetch_error.empty()) return {fetch_error, kFetchErrorRed};
  if (!submit_status.empty()) {
    return {submit_status, submit_status.find("error") != std::string::npos ? kErrorRed : kLabelGrey};
  }
  if (!submissions_enabled) return {"Submissions off (STRELVIK_NO_SUBMIT=1)", kLabelGrey};
  return {};
}

void draw_leaderboard_table(const std::vector<LeaderboardRow>& rows, App& app, const char* id) {
  if (rows.empty()) {
    ImGui::TextColored(kDimGrey, "No data yet");
    return;
  }
  const ImGuiTableFlags flags = ImGuiTableFlags_ScrollY | ImGuiTableFlags_RowBg | ImGuiTableFlags_Borders;
  if (!ImGui::BeginTable(id, 4, flags, ImVec2(0, -1), 0.0f)) return;
  const float scale = app.dpi_scale;
  ImGui::TableSetupColumn("#", ImGuiTableColumnFlags_WidthFixed, kRankWidth * scale);
  ImGui::TableSetupColumn("CPU", ImGuiTableColumnFlags_WidthStretch);
  ImGui::TableSetupColumn("Score", ImGuiTableColumnFlags_WidthFixed, kScoreWidth * scale);
  ImGui::TableSetupColumn("Runs", ImGuiTableColumnFlags_WidthFixed, kRunsWidth * scale);
  ImGui::TableHeadersRow();

  // The server keeps names as submitted: only the very same bytes are this machine.
  const std::string& own_cpu = app.system_info.cpu_name;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const LeaderboardRow& row = rows[i];
    const bool own = row.cpu == own_cpu;
    // An average of a few runs can be far off: the row is dimmed (this machine's name keeps its
    // colour, its row being marked already) and says why under the pointer.
    const bool few = has_few_runs(row);
    if (few) ImGui::PushStyleColor(ImGuiCol_Text, kDimGrey);
    ImGui::TableNextRow();
    if (own) ImGui::TableSetBgColor(ImGuiTableBgTarget_RowBg1, kOwnRowBg);
    ImGui::TableNextColumn();
    ImGui::Text("%d", static_cast<int>(i) + 1);
    if (few) few_runs_tooltip(row);
    ImGui::TableNextColumn();
    // This machine's name wraps like the others: cut off at the column's edge it would be the
    // one name the user cannot read whole.
    if (own) ImGui::PushStyleColor(ImGuiCol_Text, kTeal);
    ImGui::TextWrapped("%s", row.cpu.c_str());
    if (own) ImGui::PopStyleColor();
    if (few) few_runs_tooltip(row);
    ImGui::TableNextColumn();
    ImGui::Text("%d", row.avg_score);
    if (few) few_runs_tooltip(row);
    ImGui::TableNextColumn();
    ImGui::TextColored(few ? kDimGrey : kLabelGrey, "%d", row.runs);
    if (few) few_runs_tooltip(row);
    if (few) ImGui::PopStyleColor();
  }
  ImGui::EndTable();
}

void draw_leaderboard_panel(App& app) {
  LeaderboardClient& client = app.leaderboard;
  std::string submit_status;
  std::string fetch_error;
  {
    std::lock_guard lock(client.status_mutex);
    submit_status = client.submit_status;
    fetch_error = client.fetch_error;
  }
  const StatusLine status =
      leaderboard_status_line(client.pending.load(), submit_status, client.submissions_enabled(), fetch_error);
  // Refresh sits at the right edge; the status gets the room before it, one line whatever its
  // length, so the button keeps its row.
  const float line_start = ImGui::GetCursorPosX();
  const float refresh_width = ImGui::CalcTextSize("Refresh").x + ImGui::GetStyle().FramePadding.x * 2.0f;
  const float refresh_x = line_start + ImGui::GetContentRegionAvail().x - refresh_width;
  draw_status_text(status, refresh_x - line_start - ImGui::GetStyle().ItemSpacing.x);

  ImGui::SameLine(refresh_x);
  const bool refresh = ImGui::SmallButton("Refresh");
  record_item_rect("Refresh");
  if (refresh) {
    for (const RunKind kind : kRunKinds) client.fetch(kind);
  }
  ImGui::Spacing();

  if (!ImGui::BeginTabBar("##lb_type")) return;
  for (const RunKind kind : kRunKinds) {
    const char* label = tab_label(kind);
    const bool open = ImGui::BeginTabItem(label);
    record_item_rect(std::string(label) + " tab");
    if (open) {
      draw_rows_of(app, client.rows_slot(kind), (std::string("##lb_") + run_kind_text(kind)).c_str());
      ImGui::EndTabItem();
    }
  }
  ImGui::EndTabBar();
}
