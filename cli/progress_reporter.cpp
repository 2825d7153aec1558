#include "cli/progress_reporter.h"

#include <cmath>

namespace {
constexpr double kPlainLineInterval = 10.0;  // seconds between lines when stderr is a file or pipe
}

std::string format_duration(double seconds) {
  const long total = seconds > 0.0 ? std::lround(seconds) : 0;
  char text[32];
  if (total >= 3600) {
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
  } else {
    std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
  }
  return text;
}

std::string format_progress_line(const ProgressSnapshot& snapshot, int bar_width) {
  const double fraction =
      snapshot.tile_count > 0 ? static_cast<double>(snapshot.tiles_done) / snapshot.tile_count : 0.0;
  std::string line;
  if (bar_width > 0) {
    const int filled = static_cast<int>(fraction * bar_width);
    line.reserve(bar_width + 80);
    line.push_back('[');
    line.append(filled, '#');
    line.append(bar_width - filled, '.');
    line.append("]  ");
  }
  char numbers[96];
  std::snprintf(numbers, sizeof numbers, "%d/%d  %5.1f%%  elapsed %s", snapshot.tiles_done, snapshot.tile_count,
                fraction * 100.0, format_duration(snapshot.elapsed_seconds).c_str());
  line += numbers;
  if (snapshot.tiles_done > 0 && snapshot.tiles_done < snapshot.tile_count) {
    const double remaining =
        snapshot.elapsed_seconds * (snapshot.tile_count - snapshot.tiles_done) / snapshot.tiles_done;
    line += "  remaining " + format_duration(remaining);
  }
  return line;
}

ProgressReporter::ProgressReporter(std::FILE* out, bool interactive, std::string label)
    : out_(out), interactive_(interactive), label_(std::move(label)) {}

void ProgressReporter::update(const ProgressSnapshot& snapshot) {
  if (interactive_) {
    // \r and erase-to-end redraw the one line in place.
    std::fprintf(out_, "\r\033[K%s %s", label_.c_str(), format_progress_line(snapshot, 30).c_str());
    std::fflush(out_);
    drew_ = true;
    return;
  }
  if (snapshot.elapsed_seconds >= next_plain_line_) {
    std::fprintf(out_, "%s %s\n", label_.c_str(), format_progress_line(snapshot, 0).c_str());
    std::fflush(out_);
    next_plain_line_ = snapshot.elapsed_seconds + kPlainLineInterval;
  }
}

void ProgressReporter::finish() {
  if (interactive_ && drew_) {
    std::fputs("\n", out_);
    std::fflush(out_);
  }
}
