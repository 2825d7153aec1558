#pragma once
// What a run measures. A run carries its kind from the moment it starts; nothing derives it from
// a thread count. The text form exists only for JSON, SQL, URLs and file names; the title and the
// abbreviation are what people read. The switches below list every kind without a default, so
// that a new kind makes the compiler name each place that needs a case.
#include <optional>
#include <string_view>

enum class RunKind {
  single,  // one worker, on the fastest core
  smt,     // one worker on each hardware thread of the core the single-core run uses
  multi,   // one worker per processor this process may use
};

// The kinds a board, a history best score or a summary line covers, in the order they are shown.
inline constexpr RunKind kRunKinds[] = {RunKind::single, RunKind::smt, RunKind::multi};

inline constexpr const char* run_kind_text(RunKind kind) {
  switch (kind) {
    case RunKind::single: return "single";
    case RunKind::smt: return "smt";
    case RunKind::multi: return "multi";
  }
  return "multi";  // unreachable: every kind is listed above
}

// The kind a text names exactly; nothing for any other text.
inline constexpr std::optional<RunKind> parse_run_kind(std::string_view text) {
  for (const RunKind kind : kRunKinds) {
    if (text == run_kind_text(kind)) return kind;
  }
  return std::nullopt;
}

// The kind's name for people ("Single-core"), where a panel or a listing titles a run or a board.
inline constexpr const char* run_kind_title(RunKind kind) {
  switch (kind) {
    case RunKind::single: return "Single-core";
    case RunKind::smt: return "Single-core + SMT";
    case RunKind::multi: return "Multi-core";
  }
  return "Multi-core";  // unreachable: every kind is listed above
}

// The kind's few letters in a table column or a score line ("SC", "SMT").
inline constexpr const char* run_kind_abbreviation(RunKind kind) {
  switch (kind) {
    case RunKind::single: return "SC";
    case RunKind::smt: return "SMT";
    case RunKind::multi: return "MC";
  }
  return "MC";  // unreachable: every kind is listed above
}
