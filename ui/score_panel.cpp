// The score panel: the shown scores of both kinds, the best stored ones, and the warning for a
// run whose image was wrong.
#include <imgui.h>

#include <algorithm>
#include <cstdint>

#include "history/best_scores.h"
#include "state/app.h"
#include "ui/palette.h"
#include "ui/panel_parts.h"
#include "ui/panels.h"

namespace {

const ImVec4 kNoScoreGrey{0.3f, 0.3f, 0.3f, 1.0f};

void draw_score_line(const char* label, std::int32_t score, const ImVec4& colour, bool unverified) {
  ImGui::TextColored(kLabelGrey, "%s", label);
  ImGui::SameLine();
  if (score < 1) {
    ImGui::TextColored(kNoScoreGrey, "---");
  } else if (unverified) {
    ImGui::TextColored(kErrorRed, "%d !", score);
  } else {
    ImGui::TextColored(colour, "%d", score);
  }
}

void draw_best_scores(const App& app) {
  const BestScores best = best_scores(app.history.entries());
  if (best.single < 1 && best.multi < 1) return;
  ImGui::Spacing();
  ImGui::TextColored(kDimGrey, "Best:");
  if (best.single > 0) ImGui::Text("  SC: %d", best.single);
  if (best.multi > 0) ImGui::Text("  MC: %d", best.multi);
}

void draw_image_warning(const App& app) {
  ImGui::Spacing();
  ImGui::PushStyleColor(ImGuiCol_Text, kErrorRed);
  ImGui::TextWrapped(
      "WRONG IMAGE: this machine rendered the %s-core image incorrectly, so its score is not "
      "valid. It was not saved or submitted. Unstable clocks, overheating or faulty memory "
      "can cause this.",
      app.unverified_kind == "single" ? "single" : "multi");
  ImGui::PopStyleColor();
}

}  // namespace

void draw_score_panel(App& app, ImFont* font) {
  ImGui::Spacing();
  ImGui::Spacing();
  draw_section_title("SCORE", kTeal);

  if (font != nullptr) ImGui::PushFont(font);
  draw_score_line("SC:", app.single_score, kTeal, app.unverified_kind == "single");
  draw_score_line("MC:", app.multi_score, kOrange, app.unverified_kind == "multi");
  if (font != nullptr) ImGui::PopFont();

  if (!app.unverified_kind.empty()) draw_image_warning(app);
  if (app.history.size() > 0) draw_best_scores(app);
}
