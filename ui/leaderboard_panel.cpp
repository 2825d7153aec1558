// The "Leaderboard" tab: the client's status, a Refresh button and the two leaderboards. The
// client's request threads publish into it under its locks; the panel draws copies, so no lock
// is held while drawing.
#include "ui/leaderboard_panel.h"

#include <imgui.h>

#include <mutex>

#include "state/app.h"
#include "ui/item_rects.h"
#include "ui/palette.h"
#include "ui/panels.h"

namespace {

const ImVec4 kFetchErrorRed{0.6f, 0.2f, 0.2f, 1.0f};
const ImU32 kOwnRowBg = IM_COL32(0, 212, 170, 32);
constexpr float kRefreshFromRight = 55.0f;

// Copies one kind's rows under the client's data lock, then draws them.
void draw_rows_of(App& app, const std::vector<LeaderboardRow>& published, const char* id) {
  std::vector<LeaderboardRow> rows;
  {
    std::lock_guard lock(app.leaderboard.data_mutex);
    rows = published;
  }
  draw_leaderboard_table(rows, app, id);
}

}  // namespace

StatusLine leaderboard_status_line(std::int32_t pending, const std::string& submit_status, bool submissions_enabled,
                                   const std::string& fetch_error) {
  if (pending > 0) return {"Loading...", kTeal};
  if (!submit_status.empty()) {
    return {submit_status, submit_status.find("error") != std::string::npos ? kErrorRed : kLabelGrey};
  }
  if (!submissions_enabled) return {"Submissions off (STRELVIK_NO_SUBMIT=1)", kLabelGrey};
  if (!fetch_error.empty()) return {fetch_error, kFetchErrorRed};
  return {};
}

void draw_leaderboard_table(const std::vector<LeaderboardRow>& rows, App& app, const char* id) {
  if (rows.empty()) {
    ImGui::TextColored(kDimGrey, "No data yet");
    return;
  }
  const ImGuiTableFlags flags = ImGuiTableFlags_ScrollY | ImGuiTableFlags_RowBg | ImGuiTableFlags_Borders;
  if (!ImGui::BeginTable(id, 4, flags, ImVec2(0, -1), 0.0f)) return;
  ImGui::TableSetupColumn("#", ImGuiTableColumnFlags_WidthFixed, 30.0f);
  ImGui::TableSetupColumn("CPU", ImGuiTableColumnFlags_WidthStretch);
  ImGui::TableSetupColumn("Score", ImGuiTableColumnFlags_WidthFixed, 60.0f);
  ImGui::TableSetupColumn("Runs", ImGuiTableColumnFlags_WidthFixed, 40.0f);
  ImGui::TableHeadersRow();

  // The server keeps names as submitted: only the very same bytes are this machine.
  const std::string& own_cpu = app.system_info.cpu_name;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const LeaderboardRow& row = rows[i];
    const bool own = row.cpu == own_cpu;
    ImGui::TableNextRow();
    if (own) ImGui::TableSetBgColor(ImGuiTableBgTarget_RowBg1, kOwnRowBg);
    ImGui::TableNextColumn();
    ImGui::Text("%d", static_cast<int>(i) + 1);
    ImGui::TableNextColumn();
    // This machine's name wraps like the others: cut off at the column's edge it would be the
    // one name the user cannot read whole.
    if (own) ImGui::PushStyleColor(ImGuiCol_Text, kTeal);
    ImGui::TextWrapped("%s", row.cpu.c_str());
    if (own) ImGui::PopStyleColor();
    ImGui::TableNextColumn();
    ImGui::Text("%d", row.avg_score);
    ImGui::TableNextColumn();
    ImGui::TextColored(kLabelGrey, "%d", row.runs);
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
  if (status.text.empty()) {
    // An empty line still: without an item here, the button below would land on the tab bar's
    // row above.
    ImGui::TextUnformatted("");
  } else {
    ImGui::TextColored(status.colour, "%s", status.text.c_str());
  }

  ImGui::SameLine(ImGui::GetContentRegionAvail().x - kRefreshFromRight);
  const bool refresh = ImGui::SmallButton("Refresh");
  record_item_rect("Refresh");
  if (refresh) {
    client.fetch("single");
    client.fetch("multi");
  }
  ImGui::Spacing();

  if (!ImGui::BeginTabBar("##lb_type")) return;
  const bool single_open = ImGui::BeginTabItem("Single-Core");
  record_item_rect("Single-Core tab");
  if (single_open) {
    draw_rows_of(app, client.single_rows, "##lb_single");
    ImGui::EndTabItem();
  }
  const bool multi_open = ImGui::BeginTabItem("Multi-Core");
  record_item_rect("Multi-Core tab");
  if (multi_open) {
    draw_rows_of(app, client.multi_rows, "##lb_multi");
    ImGui::EndTabItem();
  }
  ImGui::EndTabBar();
}
