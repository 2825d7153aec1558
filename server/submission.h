#pragma once
// A leaderboard submission and the rules that decide whether it is stored.

#include <optional>
#include <string>
#include <string_view>

struct Submission {
  std::string cpu_name;  // exactly as sent: grouping and the client's own-row highlight are byte-exact
  std::string kind;      // "single" or "multi"
  int score = 0;
  int threads = 0;
};

// Outcome of checking one request body: a submission, or a reason the user can read.
struct SubmissionCheck {
  std::optional<Submission> submission;
  std::string error;
};

inline constexpr int kMinScore = 1;
inline constexpr int kMaxScore = 10'000'000;
inline constexpr int kMaxThreads = 4096;
inline constexpr std::size_t kMaxCpuNameBytes = 128;

SubmissionCheck validate_submission(std::string_view body);

// True when `text` is well-formed UTF-8 (no overlong forms, surrogates or code points past U+10FFFF).
bool is_valid_utf8(std::string_view text);
