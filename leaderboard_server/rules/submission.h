#pragma once
// A leaderboard submission and the rules that decide whether it is stored.

#include "engine/run_kind.h"

#include <optional>
#include <string>
#include <string_view>

struct Submission {
  std::string cpu_name;  // exactly as sent: grouping and the client's own-row highlight are byte-exact
  RunKind kind = RunKind::single;
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

// The most one thread can score. A run renders the standard image (1920 x 1080 pixels, 128
// samples) as 711 million ray segments, each tested against every sphere of the flat scene list:
// 342.7 billion sphere tests, whatever the processor. One core of the development machine needs
// about 25 minutes for them (score 80), some 230 million tests a second. The ceiling grants one
// thread 50 billion tests a second, over 200 times that and ten tests per clock cycle at 5 GHz for
// code that does one test after another: 342.7e9 / 50e9 = 6.85 s, a score of 120000 / 6.85 =
// 17,507. No real processor comes near it; a faster run is not a measurement.
inline constexpr int kMaxScorePerThread = 17'507;
// A multi-core run's ceiling is per thread: `per_thread` times its thread count, at most kMaxScore.
// Only tests of small workloads (which score far higher) raise `per_thread`.
int max_score_for_threads(int threads, int per_thread = kMaxScorePerThread);
inline constexpr int kMaxThreads = 4096;
// An SMT run uses the hardware threads of one core: 2 on x86, up to 8 on SMT8 servers.
inline constexpr int kMaxSmtThreads = 8;
inline constexpr std::size_t kMaxCpuNameBytes = 128;

// The kinds a request may name, quoted, for its refusals: "single", "smt" or "multi".
std::string run_kind_choices();

SubmissionCheck validate_submission(std::string_view body, int max_score_per_thread = kMaxScorePerThread);

// True when `text` is well-formed UTF-8 (no overlong forms, surrogates or code points past U+10FFFF).
bool is_valid_utf8(std::string_view text);
