#pragma once
// A pinhole camera with the viewport at distance 1 in front of the eye; no defocus blur.
#include <cstdint>

#include "engine/ray.h"
#include "engine/workload.h"

// tan(vfov / 2) for a vertical field of view in degrees (0 < vfov < 180), computed without the
// platform's maths library so that the image is the same everywhere.
double half_angle_tangent(double vfov_degrees);

struct Camera {
  std::int32_t image_width = kStandardWorkload.width;
  std::int32_t image_height = kStandardWorkload.height;
  double vfov = 20.0;  // vertical field of view, degrees
  Vec3 lookfrom{13.0, 2.0, 3.0};
  Vec3 lookat{0.0, 0.0, 0.0};
  Vec3 vup{0.0, 1.0, 0.0};

  // Derived by initialize(); zero until then.
  Vec3 viewport_u;
  Vec3 viewport_v;
  Vec3 pixel_delta_u;
  Vec3 pixel_delta_v;
  Vec3 pixel00_loc;

  // Recomputes the derived fields; call again after changing the size or the vectors.
  void initialize();

  // The primary ray through sample position (sx, sy) in pixels, integers at pixel centres.
  Ray primary_ray(double sx, double sy) const {
    return Ray{lookfrom, pixel00_loc + sx * pixel_delta_u + sy * pixel_delta_v - lookfrom};
  }
};
