#include "cli/run_options.h"

#include <charconv>
#include <limits>

std::vector<RunRequest> planned_runs(const RunOptions& options, const MachineThreads& machine) {
  std::vector<RunRequest> runs;
  for (const RunKind kind : options.kinds) {
    // The parser accepts --threads for `multi` alone.
    const std::int32_t threads =
        kind == RunKind::multi && options.threads ? *options.threads : standard_threads(kind, machine);
    if (threads < 1) continue;
    for (std::int32_t i = 0; i < options.repeat; ++i) {
      runs.push_back(RunRequest{.workload = options.workload, .kind = kind, .threads = threads});
    }
  }
  return runs;
}

namespace {

std::optional<std::int32_t> parse_positive(std::string_view text) {
  std::int32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 1) {
    return std::nullopt;
  }
  return value;
}

}  // namespace

std::optional<std::pair<std::int32_t, std::int32_t>> parse_image_size(const std::string& text) {
  const std::size_t x = text.find_first_of("xX");
  if (x == std::string::npos) {
    return std::nullopt;
  }
  const auto width = parse_positive(std::string_view(text).substr(0, x));
  const auto height = parse_positive(std::string_view(text).substr(x + 1));
  if (!width || !height) {
    return std::nullopt;
  }
  // The engine sizes its image in 32-bit arithmetic.
  const std::int64_t bytes = std::int64_t{*width} * *height * 4;
  if (bytes > std::numeric_limits<std::int32_t>::max()) {
    return std::nullopt;
  }
  return std::pair{*width, *height};
}
