#pragma once
// A ray (direction never normalised by the ray itself) and an open range of ray parameters.
#include "engine/vec3.h"

struct Ray {
  Vec3 origin;
  Vec3 direction;

  constexpr Vec3 at(double t) const { return origin + t * direction; }
};

struct Interval {
  double min;
  double max;

  // Strict at both ends: a hit at exactly min or max is rejected, which is what lets the first
  // of several objects hit at the same parameter win.
  constexpr bool surrounds(double x) const { return min < x && x < max; }
};
