#include "cli/run_comparison.h"

std::string not_compared_reason(const RunVerdict& verdict, bool in_series) {
  if (verdict.custom || !verdict.image_verified) return "custom runs are not compared";
  if (!*verdict.image_verified) return "a run with a wrong image is not compared";
  if (!verdict.may_compare && !verdict.not_submitted_reason.empty()) {
    // The submission's reason ("not submitted: this process may use only ...") with its cause.
    const std::string& reason = verdict.not_submitted_reason;
    const std::size_t colon = reason.find(": ");
    return "not compared: " + (colon == std::string::npos ? reason : reason.substr(colon + 2));
  }
  if (in_series) return "only the series' median run is compared";
  return "not compared";
}

void put_comparison_json(nlohmann::ordered_json& object, const std::optional<ComparisonOutcome>& outcome,
                         const std::string& not_compared) {
  if (outcome && outcome->comparison) {
    const ScoreComparison& c = *outcome->comparison;
    object["comparison"] = {{"runs", c.runs},
                            {"median", c.median},
                            {"percentile", c.percentile ? nlohmann::ordered_json(*c.percentile) : nullptr},
                            {"verdict", comparison_verdict_text(c.verdict)}};
    object["comparison_reason"] = nullptr;
  } else {
    object["comparison"] = nullptr;
    object["comparison_reason"] = outcome ? outcome->reason : not_compared;
  }
}

std::string comparison_lines(const ComparisonOutcome& outcome, const std::vector<RunWarning>& warnings) {
  // Without a leaderboard the submission line says so already; the JSON still gives the reason.
  if (!outcome.comparison && outcome.reason == kNotConfigured) return "";
  std::string text = "  comparison: " + comparison_outcome_text(outcome) + "\n";
  if (outcome.comparison) {
    std::vector<std::string> texts;
    for (const RunWarning& warning : warnings) texts.push_back(warning.text);
    const std::string causes = low_result_causes(*outcome.comparison, texts);
    if (!causes.empty()) text += "  " + causes + "\n";
  }
  return text;
}
