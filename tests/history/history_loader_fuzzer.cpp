// Any bytes given to the loader: it must not crash, and whatever loads must survive a
// save-and-load round trip unchanged.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "history/history_format.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  ParsedHistory first = parse_history(text);
  if (first.kind != HistoryTextKind::Runs) {
    if (!first.entries.empty()) std::abort();  // never a partial list
    return 0;
  }
  const ParsedHistory again = parse_history(serialize_history(first.entries));
  if (again.kind != HistoryTextKind::Runs || again.entries.size() != first.entries.size()) std::abort();
  for (std::size_t i = 0; i < first.entries.size(); ++i) {
    HistoryEntry expected = first.entries[i];
    if (!std::isfinite(expected.time_seconds)) expected.time_seconds = 0.0;  // written as 0.0
    if (!(again.entries[i] == expected)) std::abort();
  }
  return 0;
}
