#pragma once
// The SMT uplift: what the other hardware threads of a core add to it, the SMT score over the
// single-core score, less one. Shown wherever both scores exist.
#include <cstdint>
#include <optional>
#include <string>

// In whole percent, rounded half away from zero; nothing unless both scores are positive.
std::optional<std::int32_t> smt_uplift_percent(std::int32_t single_score, std::int32_t smt_score);

// "+31 %", "-3 %" or "+0 %"; empty without an uplift.
std::string smt_uplift_text(std::int32_t single_score, std::int32_t smt_score);
