// Feeds arbitrary request bodies to the submission validator. Besides crashes it checks the
// promises the server relies on: an accepted submission obeys every rule, a refusal says why.
#include "leaderboard_server/rules/submission.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view body(reinterpret_cast<const char*>(data), size);
  const SubmissionCheck check = validate_submission(body);
  if (!check.submission) {
    if (check.error.empty()) std::abort();
    return 0;
  }
  const Submission& s = *check.submission;
  const bool kind_ok = (s.kind == RunKind::single && s.threads == 1) ||
                       (s.kind == RunKind::multi && s.threads >= 2 && s.threads <= kMaxThreads);
  const bool name_ok = !s.cpu_name.empty() && s.cpu_name.size() <= kMaxCpuNameBytes && is_valid_utf8(s.cpu_name) &&
                       s.cpu_name.find_first_not_of(' ') != std::string::npos;
  if (!kind_ok || !name_ok || s.score < kMinScore || s.score > kMaxScore) std::abort();
  for (unsigned char c : s.cpu_name)
    if (c < 0x20 || c == 0x7F) std::abort();
  return 0;
}
