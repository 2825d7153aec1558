// The score panel: the shown scores of both kinds, the best stored ones, and the warning for a
// run whose image was wrong.
#include <imgui.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string>

#include "engine/smt_uplift.h"
#include "history/best_scores.h"
#include "state/app.h"
#include "state/score_trust.h"
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

// Under a score of this session: verified or not, and where it went.
void draw_trust_line(const App& app, RunKind kind) {
  const ScoreTrust* trust = find_score_trust(app, kind);
  if (trust == nullptr) return;
  ImGui::PushStyleColor(ImGuiCol_Text, trust->image_verified == false ? kErrorRed : kDimGrey);
  ImGui::TextWrapped("%s", score_trust_text(*trust).c_str());
  ImGui::PopStyleColor();
}

// Beside the SMT line: what the core's other threads add, once both scores exist.
void draw_smt_uplift(App& app) {
  const std::string uplift = smt_uplift_text(shown_score(app, RunKind::single), shown_score(app, RunKind::smt));
  if (uplift.empty()) return;
  ImGui::SameLine();
  ImGui::TextColored(kLabelGrey, "%s", uplift.c_str());
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
  std::string kind = run_kind_title(*app.unverified_kind);  // "Single-core", mid-sentence
  kind[0] = static_cast<char>(kind[0] - 'A' + 'a');
  ImGui::Spacing();
  ImGui::PushStyleColor(ImGuiCol_Text, kErrorRed);
  ImGui::TextWrapped(
      "WRONG IMAGE: this machine rendered the %s image incorrectly, so its score is not "
      "valid. It was not saved or submitted. Unstable clocks, overheating or faulty memory "
      "can cause this.",
      kind.c_str());
  ImGui::PopStyleColor();
}

}  // namespace

void draw_score_panel(App& app, ImFont* font) {
  ImGui::Spacing();
  ImGui::Spacing();
  draw_section_title("SCORE", kTeal);

  follow_submission(app);
  for (const RunKind kind : kRunKinds) {
    if (font != nullptr) ImGui::PushFont(font);
    draw_score_line(kind, shown_score(app, kind), app.unverified_kind == kind);
    if (kind == RunKind::smt) draw_smt_uplift(app);
    if (font != nullptr) ImGui::PopFont();
    draw_trust_line(app, kind);
    draw_score_comparison(app, kind);
  }

  draw_stress_score(app);
  if (app.unverified_kind) draw_image_warning(app);
  draw_run_warning_lines(app);
  if (app.history.size() > 0) draw_best_scores(app);
}
