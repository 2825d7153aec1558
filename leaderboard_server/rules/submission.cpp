#include "leaderboard_server/rules/submission.h"

#include <unicode/uchar.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cstdint>

#include "leaderboard_client/utf8_decode.h"

namespace {

using nlohmann::json;

constexpr std::array<std::string_view, 4> kKeys = {"cpu_name", "score", "threads", "type"};

// Characters that make a name look like another one, or blank: format characters (zero-width
// spaces and joiners, the bidi controls, soft hyphens), spaces other than the ASCII one, line and
// paragraph separators, and the fillers and selectors that draw nothing.
bool is_invisible(char32_t cp) {
  switch (u_charType(static_cast<UChar32>(cp))) {
    case U_FORMAT_CHAR:
    case U_LINE_SEPARATOR:
    case U_PARAGRAPH_SEPARATOR: return true;
    case U_SPACE_SEPARATOR: return cp != U' ';
    default: break;
  }
  return cp == 0x034F || cp == 0x115F || cp == 0x1160 || cp == 0x3164 || cp == 0xFFA0 || cp == 0x2800 ||
         (cp >= 0xFE00 && cp <= 0xFE0F) || (cp >= 0xE0100 && cp <= 0xE01EF) || (cp >= 0x180B && cp <= 0x180F);
}

bool is_combining_mark(char32_t cp) {
  const auto type = u_charType(static_cast<UChar32>(cp));
  return type == U_NON_SPACING_MARK || type == U_COMBINING_SPACING_MARK || type == U_ENCLOSING_MARK;
}

std::string check_cpu_name(const std::string& name) {
  if (name.empty()) return "cpu_name must not be empty";
  if (name.size() > kMaxCpuNameBytes)
    return "cpu_name is " + std::to_string(name.size()) + " bytes long; at most " + std::to_string(kMaxCpuNameBytes) +
           " are allowed";
  bool only_spaces = true;
  for (std::size_t i = 0; i < name.size();) {
    char32_t cp = 0;
    const std::size_t len = decode_utf8(name, i, cp);
    if (len == 0) return "cpu_name is not valid UTF-8";
    // C0, DEL and C1 controls: they break log lines and table cells alike.
    if (cp < 0x20 || (cp >= 0x7F && cp <= 0x9F)) return "cpu_name must not contain control characters";
    if (is_invisible(cp)) return "cpu_name must not contain invisible, format or non-ASCII space characters";
    if (i == 0 && is_combining_mark(cp)) return "cpu_name must not start with a combining mark";
    if (cp != U' ') only_spaces = false;
    i += len;
  }
  if (only_spaces) return "cpu_name must not consist only of spaces";
  return {};
}

// A JSON number is an integer here only when it was written as one: 1.0 and 1e3 are refused,
// so that what is stored is exactly what the client measured.
std::optional<std::int64_t> as_integer(const json& value) {
  if (value.is_number_integer()) return value.get<std::int64_t>();
  if (value.is_number_unsigned()) {
    const auto u = value.get<std::uint64_t>();
    return u > static_cast<std::uint64_t>(INT64_MAX) ? INT64_MAX : static_cast<std::int64_t>(u);
  }
  return std::nullopt;
}

SubmissionCheck fail(std::string reason) { return {std::nullopt, std::move(reason)}; }

// The thread counts a run of `kind` may claim, or the reason it may not.
std::string check_threads(RunKind kind, std::optional<std::int64_t> threads) {
  switch (kind) {
    case RunKind::single:
      if (!threads || *threads != 1) return "threads must be 1 for a single-core run";
      return {};
    case RunKind::smt:
      if (!threads || *threads < 2 || *threads > kMaxSmtThreads)
        return "threads must be an integer from 2 to " + std::to_string(kMaxSmtThreads) + " for an SMT run";
      return {};
    case RunKind::multi:
      if (!threads || *threads < 2 || *threads > kMaxThreads)
        return "threads must be an integer from 2 to " + std::to_string(kMaxThreads) + " for a multi-core run";
      return {};
  }
  return "unknown kind of run";
}

}  // namespace

std::string run_kind_choices() {
  std::string text;
  for (std::size_t i = 0; i < std::size(kRunKinds); ++i) {
    if (i > 0) text += i + 1 == std::size(kRunKinds) ? " or " : ", ";
    text += std::string("\"") + run_kind_text(kRunKinds[i]) + "\"";
  }
  return text;
}

int max_score_for_threads(int threads, int per_thread) {
  return static_cast<int>(std::min<long long>(kMaxScore, static_cast<long long>(per_thread) * threads));
}

bool is_valid_utf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    char32_t cp = 0;
    const std::size_t len = decode_utf8(text, i, cp);
    if (len == 0) return false;
    i += len;
  }
  return true;
}

SubmissionCheck validate_submission(std::string_view body, int max_score_per_thread) {
  if (!is_valid_utf8(body)) return fail("request body is not valid UTF-8");

  // The parser keeps the last of duplicated keys silently; a submission that says two things
  // about one field is refused instead, so duplicates are counted while parsing.
  bool duplicate_key = false;
  std::array<int, kKeys.size()> seen{};
  const json::parser_callback_t count_keys = [&](int depth, json::parse_event_t event, json& parsed) {
    if (event == json::parse_event_t::key && depth == 1 && parsed.is_string()) {
      for (std::size_t k = 0; k < kKeys.size(); ++k)
        if (parsed.get_ref<const std::string&>() == kKeys[k] && ++seen[k] > 1) duplicate_key = true;
    }
    return true;
  };
  json doc;
  try {
    doc = json::parse(body.begin(), body.end(), count_keys, /*allow_exceptions=*/true, /*ignore_comments=*/false);
  } catch (const json::exception&) {
    // parse_error for bad syntax, out_of_range for a number beyond double such as 1e400
    return fail("request body is not valid JSON");
  }
  if (!doc.is_object()) return fail("request body must be a JSON object");
  if (duplicate_key) return fail("request body repeats a key");
  for (const auto& [key, value] : doc.items()) {
    bool known = false;
    for (auto k : kKeys) known = known || key == k;
    if (!known) return fail("unexpected key \"" + key + "\"; only cpu_name, score, threads and type are allowed");
  }
  for (auto k : kKeys)
    if (!doc.contains(k)) return fail("missing key \"" + std::string(k) + "\"");

  const json& type = doc["type"];
  if (!type.is_string()) return fail("type must be a string");
  const std::optional<RunKind> kind = parse_run_kind(type.get_ref<const std::string&>());
  if (!kind) return fail("type must be " + run_kind_choices());

  const json& cpu = doc["cpu_name"];
  if (!cpu.is_string()) return fail("cpu_name must be a string");
  if (auto error = check_cpu_name(cpu.get_ref<const std::string&>()); !error.empty()) return fail(error);

  const auto score = as_integer(doc["score"]);
  if (!score || *score < kMinScore || *score > kMaxScore)
    return fail("score must be an integer from " + std::to_string(kMinScore) + " to " + std::to_string(kMaxScore));

  const auto threads = as_integer(doc["threads"]);
  if (auto error = check_threads(*kind, threads); !error.empty()) return fail(error);

  if (const int ceiling = max_score_for_threads(static_cast<int>(*threads), max_score_per_thread); *score > ceiling)
    return fail("score " + std::to_string(*score) + " is above what a run on " + std::to_string(*threads) +
                (*threads == 1 ? " thread" : " threads") + " can reach (" + std::to_string(ceiling) + ")");

  Submission s;
  s.cpu_name = cpu.get<std::string>();
  s.kind = *kind;
  s.score = static_cast<int>(*score);
  s.threads = static_cast<int>(*threads);
  return {std::move(s), {}};
}
