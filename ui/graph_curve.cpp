#include "ui/graph_curve.h"

#include <cmath>

float TimeAxis::x(double seconds_in) const {
  if (span_seconds <= 0.0) return left + width;
  return left + static_cast<float>(seconds_in / span_seconds) * width;
}

std::vector<std::vector<ImVec2>> curve_segments(const std::vector<double>& times, const CurveValue& value,
                                                const TimeAxis& axis, float bottom, float height) {
  std::vector<std::vector<ImVec2>> segments;
  if (times.empty()) return segments;
  // Each series ends at the axis's right edge: the load and the sensors are sampled on clocks
  // of their own, and both are current at the latest frame (or both ended with the run).
  const double end = times.back();
  bool in_gap = true;
  long column = 0;
  float sum = 0.0f;
  int count = 0;
  const auto flush = [&] {
    if (count == 0) return;
    segments.back().push_back(ImVec2(static_cast<float>(column), bottom - height * sum / static_cast<float>(count)));
    count = 0;
    sum = 0.0f;
  };
  for (std::size_t i = 0; i < times.size(); ++i) {
    const std::optional<float> v = value(i);
    if (!v) {
      flush();
      in_gap = true;
      continue;
    }
    // Whole pixel columns: neighbouring segments meet on one column instead of leaving a seam.
    const long c = std::lround(std::floor(axis.x(axis.span_seconds - (end - times[i]))));
    if (in_gap) {
      segments.emplace_back();
      in_gap = false;
    } else if (c != column) {
      flush();
    }
    column = c;
    sum += *v;
    ++count;
  }
  flush();
  return segments;
}

double round_scale_top(double highest) {
  if (!(highest > 0.0)) return 1.0;
  const double power = std::pow(10.0, std::floor(std::log10(highest)));
  for (const double step : {1.0, 1.5, 2.0, 2.5, 3.0, 4.0, 5.0, 6.0, 8.0, 10.0}) {
    if (highest <= step * power) return step * power;
  }
  return 10.0 * power;
}
