#pragma once
// Reading and writing the text of history.json, without touching any file.
#include <string>
#include <string_view>
#include <vector>

#include "history/history_entry.h"

enum class HistoryTextKind {
  Empty,       // no bytes at all: nothing to lose
  Runs,        // an object with a "runs" array whose every element loaded
  NoRuns,      // valid JSON, but not an object holding a "runs" array
  Unreadable,  // not JSON, or a value of the wrong type somewhere in "runs"
};

struct ParsedHistory {
  HistoryTextKind kind = HistoryTextKind::Empty;
  std::vector<HistoryEntry> entries;  // filled only for Runs; never partial
};

// Reads the first JSON value of the text; whatever follows it is ignored. A leading UTF-8
// byte-order mark is accepted. Never throws.
ParsedHistory parse_history(std::string_view text);

// The document as the store writes it: keys sorted, two-space indentation, no final newline.
// Each run's keys that this version does not know are written back as they were read.
std::string serialize_history(const std::vector<HistoryEntry>& entries);
