#include "cli/run_options.h"

#include <charconv>
#include <limits>

std::vector<BenchmarkConfig> planned_runs(const RunOptions& options, std::int32_t hardware_threads) {
  std::vector<std::int32_t> thread_counts;
  if (options.kind != RunKind::Multi) {
    thread_counts.push_back(1);  // --threads is for multi-core runs only
  }
  if (options.kind != RunKind::Single) {
    thread_counts.push_back(options.threads.value_or(hardware_threads));
  }
  std::vector<BenchmarkConfig> runs;
  for (std::int32_t threads : thread_counts) {
    for (std::int32_t i = 0; i < options.repeat; ++i) {
      runs.push_back(
          BenchmarkConfig{options.samples, options.depth, options.tile, threads, options.width, options.height});
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
