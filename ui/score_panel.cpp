// The score panel: the shown scores of both kinds, the best stored ones, and the warning for a
// run whose image was wrong.
#include <imgui.h>

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "history/best_scores.h"
#include "state/app.h"
#include "ui/palette.h"
#include "ui/panel_parts.h"
#include "ui/panels.h"
#include "ui/run_conditions_text.h"
#include "ui/score_comparison_line.h"
#include "ui/stress_panel_parts.h"

namespace {

const ImVec4 kNoScoreGrey{0.3f, 0.3f, 0.3f, 1.0f};

void draw_score_line(RunKind kind, std::int32_t score, bool unverified) {
  const KindBadge badge = kind_badge(kind);
  ImGui::TextColored(kLabelGrey, "%s:", badge.label);
  ImGui::SameLine();
  if (score < 1) {
    ImGui::TextColored(kNoScoreGrey, "---");
  } else if (unverified) {
    ImGui::TextColored(kErrorRed, "%d !", score);
  } else {
    ImGui::TextColored(badge.colour, "%d", score);
  }
}

void draw_best_scores(const App& app) {
  const BestScores best = best_scores(app.history.entries());
  if (std::none_of(std::begin(kRunKinds), std::end(kRunKinds), [&](RunKind kind) { return best.of(kind) > 0; })) {
    return;
  }
  ImGui::Spacing();
  ImGui::TextColored(kDimGrey, "Best:");
  for (const RunKind kind : kRunKinds) {
    if (best.of(kind) > 0) ImGui::Text("  %s: %d", kind_badge(kind).label, best.of(kind));
  }
}

void draw_image_warning(const App& app) {
  ImGui::Spacing();
  ImGui::PushStyleColor(ImGuiCol_Text, kErrorRed);
  ImGui::TextWrapped(
      "WRONG IMAGE: this machine rendered the %s-core image incorrectly, so its score is not "
      "valid. It was not saved or submitted. Unstable clocks, overheating or faulty memory "
      "can cause this.",
      run_kind_text(*app.unverified_kind));
  ImGui::PopStyleColor();
}

}  // namespace

void draw_score_panel(App& app, ImFont* font) {
  ImGui::Spacing();
  ImGui::Spacing();
  draw_section_title("SCORE", kTeal);

  for (const RunKind kind : kRunKinds) {
    if (font != nullptr) ImGui::PushFont(font);
    draw_score_line(kind, shown_score(app, kind), app.unverified_kind == kind);
    if (font != nullptr) ImGui::PopFont();
    draw_score_comparison(app, kind);
  }

  draw_stress_score(app);
  if (app.unverified_kind) draw_image_warning(app);
  draw_run_warning_lines(app);
  if (app.history.size() > 0) draw_best_scores(app);
}
