#include "engine/camera.h"

#include <cmath>

void Camera::initialize() {
  // tan is the only maths-library call in the image; glibc rounds it correctly.
  const double h = std::tan(vfov * 0.008726646259971648);  // pi / 360: half the angle, in radians
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
