#include "ui/score_comparison_line.h"

#include <imgui.h>

#include <string>
#include <vector>

#include "state/app.h"
#include "ui/palette.h"

namespace {

ImVec4 verdict_colour(ComparisonVerdict verdict) {
  switch (verdict) {
    case ComparisonVerdict::low: return kOrange;
    case ComparisonVerdict::high: return kTeal;
    case ComparisonVerdict::typical:
    case ComparisonVerdict::too_few: break;
  }
  return kLabelGrey;
}

// The left column is narrow: a line wraps rather than push the column wider, indented whole
// under its score.
void wrapped_line(const ImVec4& colour, const std::string& text) {
  ImGui::Indent();
  ImGui::PushStyleColor(ImGuiCol_Text, colour);
  ImGui::TextWrapped("%s", text.c_str());
  ImGui::PopStyleColor();
  ImGui::Unindent();
}

}  // namespace

void draw_score_comparison(App& app, RunKind kind) {
  const std::optional<ComparisonOutcome> outcome = app.leaderboard.comparison(kind);
  if (!outcome) return;
  if (!outcome->comparison) {
    wrapped_line(kDimGrey, outcome->reason);
    return;
  }
  const ScoreComparison& comparison = *outcome->comparison;
  wrapped_line(verdict_colour(comparison.verdict), comparison_text(comparison));
  // The kind's run is the one compared: its warnings, if any, are the likely cause.
  std::vector<std::string> warning_texts;
  for (const auto& [finished, conditions] : app.finished_conditions) {
    if (finished != kind) continue;
    for (const RunWarning& warning : conditions.warnings) warning_texts.push_back(warning.text);
  }
  const std::string causes = low_result_causes(comparison, warning_texts);
  if (!causes.empty()) wrapped_line(kLabelGrey, causes);
}
