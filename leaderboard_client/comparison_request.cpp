#include "leaderboard_client/comparison_request.h"

#include <nlohmann/json.hpp>

#include <exception>

#include "leaderboard_client/http_transport.h"

namespace {

bool unreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
         c == '_' || c == '~';
}

std::string percent_encoded(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (unreserved(c)) {
      out += ch;
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    }
  }
  return out;
}

}  // namespace

std::string distribution_path(RunKind kind, std::string_view cpu) {
  return std::string(kDistributionRoute) + "?kind=" + run_kind_text(kind) + "&name=" + percent_encoded(cpu) +
         "&distribution=1";
}

ComparisonOutcome comparison_from_reply(std::string_view reply, RunKind kind, std::string_view cpu,
                                        std::int32_t score) {
  // An earlier server answers its processor page: an object, but without the buckets. Anything
  // else malformed is read_distribution's to name.
  const nlohmann::json doc = nlohmann::json::parse(reply, nullptr, false);
  if (doc.is_object() && !doc.contains("buckets")) return {std::nullopt, std::string(kNoComparisons)};
  DistributionReading reading = read_distribution(reply, kind, cpu);
  if (!reading.distribution) return {std::nullopt, std::move(reading.error)};
  return {compare_score(*reading.distribution, score), ""};
}

ComparisonOutcome fetch_comparison(const LeaderboardSettings& settings, RunKind kind, const std::string& cpu,
                                   std::int32_t score) {
  if (!settings.unusable_reason.empty()) return {std::nullopt, settings.unusable_reason};
  std::string reply;
  try {
    reply = http_get(settings, distribution_path(kind, cpu));
  } catch (const std::exception& e) {
    // The transport names a refusal by its status alone ("HTTP 404").
    if (std::string_view(e.what()) == "HTTP 404") return {std::nullopt, std::string(kNoRunsYet)};
    return {std::nullopt, std::string("No comparison: ") + e.what()};
  }
  return comparison_from_reply(reply, kind, cpu, score);
}

std::string low_result_causes(const ScoreComparison& comparison, const std::vector<std::string>& warning_texts) {
  if (comparison.verdict != ComparisonVerdict::low) return "";
  if (warning_texts.empty()) return "Usual causes: cooling, power plan, memory settings";
  std::string line = "Likely cause: ";
  for (std::size_t i = 0; i < warning_texts.size(); ++i) line += (i > 0 ? "; " : "") + warning_texts[i];
  return line;
}

std::string comparison_outcome_text(const ComparisonOutcome& outcome) {
  return outcome.comparison ? comparison_text(*outcome.comparison) : outcome.reason;
}
