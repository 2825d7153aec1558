#include "engine/smt_uplift.h"

std::optional<std::int32_t> smt_uplift_percent(std::int32_t single_score, std::int32_t smt_score) {
  if (single_score < 1 || smt_score < 1) return std::nullopt;
  // Integer rounding: the engine's objects use no maths-library function but sqrt.
  const std::int64_t gain = (static_cast<std::int64_t>(smt_score) - single_score) * 100;
  const std::int64_t half = single_score / 2;
  const std::int64_t percent = gain >= 0 ? (gain + half) / single_score : -((-gain + half) / single_score);
  return static_cast<std::int32_t>(percent);
}

std::string smt_uplift_text(std::int32_t single_score, std::int32_t smt_score) {
  const std::optional<std::int32_t> percent = smt_uplift_percent(single_score, smt_score);
  if (!percent) return {};
  std::string text = *percent >= 0 ? "+" : "";
  text += std::to_string(*percent);
  text += " %";
  return text;
}
