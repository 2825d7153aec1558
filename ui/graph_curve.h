#pragma once
// A series of timed values as the CPU graph draws it: points on a time axis shared by every
// series of the graph, at most one per pixel column (a run of an hour has 7200 samples and the
// graph a few hundred pixels), and broken where a value is missing, never drawn as zero.
#include <imgui.h>

#include <functional>
#include <optional>
#include <vector>

// Seconds before each series' latest value, spread over the graph's width, the latest at the
// right edge.
struct TimeAxis {
  float left = 0.0f, width = 0.0f;
  double span_seconds = 0.0;  // the longest series; never below the sampling interval
  float x(double seconds_in) const;
};

// The value of sample i on a 0..1 scale, or nullopt where the reading is missing.
using CurveValue = std::function<std::optional<float>(std::size_t i)>;

// The runs of points between gaps, left to right; `bottom` and `height` give the y of a 0..1
// value. Samples that fall in one pixel column become one point at their mean.
std::vector<std::vector<ImVec2>> curve_segments(const std::vector<double>& times, const CurveValue& value,
                                                const TimeAxis& axis, float bottom, float height);

// The top of a scale for values up to `highest`: a round step above it (1, 1.5, 2, 2.5, 3, 4, 5,
// 6 or 8 times a
// power of ten), so the grid's quarters read as plain numbers.
double round_scale_top(double highest);
