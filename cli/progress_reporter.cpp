#include "cli/progress_reporter.h"

#include <cmath>
#include <initializer_list>
#include <optional>

#include "cli/terminal_size.h"

namespace {

constexpr double kPlainLineInterval = 10.0;  // seconds between lines when stderr is a file or pipe
constexpr int kFullBar = 30;
constexpr int kShortestBar = 5;
constexpr int kAssumedColumns = 80;  // a terminal that does not tell its width

// Display columns of UTF-8 text: one per character ("…" is three bytes).
int columns_of(const std::string& text) {
  int n = 0;
  for (unsigned char c : text) n += (c & 0xC0) != 0x80;
  return n;
}

struct Shown {
  bool label, elapsed, remaining, sensors = false;
};

std::string compose(const std::string& label, const ProgressSnapshot& s, const std::string& remaining, int bar_width,
                    Shown shown, const std::string& sensors = {}) {
  const double fraction = s.done_share >= 0.0 ? s.done_share
                          : s.tile_count > 0  ? static_cast<double>(s.tiles_done) / s.tile_count
                                              : 0.0;
  std::string line;
  if (shown.label) line = label + " ";
  if (bar_width > 0) {
    const int filled = static_cast<int>(fraction * bar_width);
    line += '[';
    line.append(static_cast<std::size_t>(filled), '#');
    line.append(static_cast<std::size_t>(bar_width - filled), '.');
    line += "]  ";
  }
  char counts[64];
  std::snprintf(counts, sizeof counts, "%d/%d  %5.1f%%", s.tiles_done, s.tile_count, fraction * 100.0);
  line += counts;
  if (shown.elapsed) line += "  elapsed " + format_duration(s.elapsed_seconds);
  if (shown.remaining && !remaining.empty()) line += "  remaining " + remaining;
  if (shown.sensors && !sensors.empty()) line += "  " + sensors;
  return line;
}

}  // namespace

std::string sensor_progress_text(std::optional<double> clock_mhz, std::optional<double> temp_c) {
  char text[64] = "";
  if (clock_mhz && temp_c) {
    std::snprintf(text, sizeof text, "%.2f GHz  %.0f \u00B0C", *clock_mhz / 1000.0, *temp_c);
  } else if (clock_mhz) {
    std::snprintf(text, sizeof text, "%.2f GHz", *clock_mhz / 1000.0);
  } else if (temp_c) {
    std::snprintf(text, sizeof text, "%.0f \u00B0C", *temp_c);
  }
  return text;
}

std::string format_progress_line(const std::string& label, const ProgressSnapshot& snapshot,
                                 const std::string& remaining, int columns, const std::string& sensors) {
  constexpr Shown kAll{true, true, true};
  constexpr Shown kAllAndSensors{true, true, true, true};
  if (columns <= 0) return compose(label, snapshot, remaining, 0, kAllAndSensors, sensors);
  const int limit = columns - 1;
  for (const Shown shown : {kAllAndSensors, kAll}) {
    for (int bar = kFullBar; bar >= kShortestBar; --bar) {
      std::string line = compose(label, snapshot, remaining, bar, shown, sensors);
      if (columns_of(line) <= limit) return line;
    }
  }
  for (Shown shown : {kAll, Shown{true, false, true}, Shown{false, false, true}, Shown{false, false, false}}) {
    std::string line = compose(label, snapshot, remaining, 0, shown);
    if (columns_of(line) <= limit) return line;
  }
  // Narrower than the counts themselves: cut (the counts are ASCII).
  std::string line = compose(label, snapshot, remaining, 0, Shown{false, false, false});
  line.resize(static_cast<std::size_t>(limit > 0 ? limit : 0));
  return line;
}

std::string remaining_text(const RemainingTimeEstimator& estimator, const ProgressSnapshot& s) {
  if (s.tile_count > 0 && s.tiles_done >= s.tile_count) return {};
  const auto seconds = estimator.remaining_seconds(s.tiles_done, s.tile_count, s.elapsed_seconds);
  return seconds ? format_duration(*seconds) : "estimating\u2026";
}

ProgressReporter::ProgressReporter(std::FILE* out, bool interactive, std::string label,
                                   RemainingTimeEstimator estimator)
    : out_(out), interactive_(interactive), label_(std::move(label)), estimator_(std::move(estimator)) {}

void ProgressReporter::draw(const ProgressSnapshot& snapshot) {
  if (columns_ == 0 || terminal_size_changed()) {
    const int columns = terminal_columns(out_);
    columns_ = columns > 0 ? columns : kAssumedColumns;
  }
  // \r and erase-to-end redraw the one line in place; the line never reaches the last column,
  // so it never wraps onto a second row that \r could not return to.
  const std::string line =
      format_progress_line(label_, snapshot, remaining_text(estimator_, snapshot), columns_, sensors_);
  std::fprintf(out_, "\r\033[K%s", line.c_str());
  std::fflush(out_);
  drew_ = true;
}

ProgressSnapshot ProgressReporter::weighed(ProgressSnapshot snapshot) const {
  snapshot.done_share = estimator_.done_share(snapshot.tiles_done, snapshot.tile_count);
  return snapshot;
}

void ProgressReporter::update(const ProgressSnapshot& counted) {
  const ProgressSnapshot snapshot = weighed(counted);
  if (interactive_) {
    draw(snapshot);
    return;
  }
  if (snapshot.elapsed_seconds >= next_plain_line_) {
    std::fprintf(out_, "%s\n",
                 format_progress_line(label_, snapshot, remaining_text(estimator_, snapshot), 0, sensors_).c_str());
    std::fflush(out_);
    next_plain_line_ = snapshot.elapsed_seconds + kPlainLineInterval;
  }
}

void ProgressReporter::finish(const ProgressSnapshot* counted) {
  const std::optional<ProgressSnapshot> last = counted ? std::optional(weighed(*counted)) : std::nullopt;
  if (interactive_) {
    if (last) draw(*last);
    if (drew_) {
      std::fputs("\n", out_);
      std::fflush(out_);
    }
    return;
  }
  if (last) {
    std::fprintf(out_, "%s\n",
                 format_progress_line(label_, *last, remaining_text(estimator_, *last), 0, sensors_).c_str());
    std::fflush(out_);
  }
}

void ProgressReporter::set_sensors(std::optional<double> clock_mhz, std::optional<double> temp_c) {
  sensors_ = sensor_progress_text(clock_mhz, temp_c);
}
