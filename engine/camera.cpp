#include "engine/camera.h"

#include <bit>
#include <cstdint>

namespace {

// sin(x) / cos(x) from their series, in basic IEEE operations only: the same bits on every
// platform, unlike the C runtimes' tan. For 0 < x < pi/2; not correctly rounded.
double series_tangent(double x) {
  const double x2 = x * x;
  double sine = 0.0, cosine = 0.0;
  double term_s = x, term_c = 1.0;
  for (int n = 0; n < 20; ++n) {
    sine += term_s;
    cosine += term_c;
    term_s = -term_s * x2 / static_cast<double>((2 * n + 2) * (2 * n + 3));
    term_c = -term_c * x2 / static_cast<double>((2 * n + 1) * (2 * n + 2));
  }
  return sine / cosine;
}

}  // namespace

double half_angle_tangent(double vfov_degrees) {
  // The standard view: tan(10 degrees) correctly rounded, as glibc computes it for the angle
  // below; the standard image's hash depends on these bits.
  if (vfov_degrees == 20.0) return std::bit_cast<double>(std::uint64_t{0x3FC691E1EBC5CBBC});
  return series_tangent(vfov_degrees * 0.008726646259971648);  // pi / 360: half the angle, in radians
}

void Camera::initialize() {
  const double h = half_angle_tangent(vfov);
  const double viewport_height = 2.0 * h;
  // The aspect ratio comes from the integer size, so only the horizontal view changes with it.
  const double viewport_width =
      viewport_height * (static_cast<double>(image_width) * (1.0 / static_cast<double>(image_height)));

  const Vec3 w = unit_vector(lookfrom - lookat);
  const Vec3 u = unit_vector(cross(vup, w));

  viewport_u = viewport_width * u;
  viewport_v = viewport_height * cross(u, w);  // equals -v: row numbers grow downwards

  pixel_delta_u = viewport_u / static_cast<double>(image_width);
  pixel_delta_v = viewport_v / static_cast<double>(image_height);
  pixel00_loc = lookfrom - w - viewport_u / 2.0 - viewport_v / 2.0 + 0.5 * (pixel_delta_u + pixel_delta_v);
}
