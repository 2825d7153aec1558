#include "engine/render_tile.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "engine/material.h"
#include "engine/preview_image.h"

Vec3 ray_color(const Ray& r, const HittableList& world, std::int32_t depth, Rng& rng) {
  if (depth <= 0) {
    return Vec3{0.0, 0.0, 0.0};
  }
  HitRecord rec;
  // 0.001 keeps a scattered ray, which starts on the surface, from hitting it again.
  if (!world.hit(r, Interval{0.001, 1e30}, rec)) {
    const double a = 0.5 * (unit_vector(r.direction).y + 1.0);
    return (1.0 - a) * Vec3{1.0, 1.0, 1.0} + a * Vec3{0.5, 0.7, 1.0};  // the sky is a light
  }
  const Vec3 emitted = rec.material->emitted();
  Vec3 attenuation;
  Ray scattered;
  if (!rec.material->scatter(r, rec, attenuation, scattered, rng)) {
    return emitted;
  }
  return emitted + attenuation * ray_color(scattered, world, depth - 1, rng);
}

std::uint8_t channel_to_byte(double average) {
  // `average > 0` is false for NaN too, so a NaN channel becomes 0.
  const double value = average > 0.0 ? std::sqrt(average) : 0.0;
  return static_cast<std::uint8_t>(std::clamp(value, 0.0, 0.999) * 256.0);
}

void render_tile(std::uint32_t* pixels, const Workload& workload, const Tile& tile, const BenchmarkScene& scene,
                 std::int32_t seed, const std::atomic<bool>* cancel) {
  Rng rng(static_cast<std::uint32_t>(seed));
  const std::int32_t image_width = workload.width;
  const std::int32_t samples_per_pixel = workload.samples_per_pixel;
  const std::int32_t max_depth = workload.max_depth;
  const Camera& camera = scene.camera;
  const std::int32_t x_end = std::min(image_width, tile.x + tile.w);
  const std::int32_t y_end = std::min(workload.height, tile.y + tile.h);
  const double scale = 1.0 / samples_per_pixel;

  for (std::int32_t y = tile.y; y < y_end; ++y) {
    if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) {
      return;
    }
    for (std::int32_t x = tile.x; x < x_end; ++x) {
      Vec3 sum;
      for (std::int32_t s = 0; s < samples_per_pixel; ++s) {
        // Vertical jitter is drawn first.
        const double jy = random_double(rng);
        const double jx = random_double(rng);
        const double sy = (y + jy) - 0.5;
        const double sx = (jx - 0.5) + x;
        sum += ray_color(camera.primary_ray(sx, sy), scene.world, max_depth, rng);
      }
      const std::uint32_t rgba = pack_rgba(channel_to_byte(sum.x * scale), channel_to_byte(sum.y * scale),
                                           channel_to_byte(sum.z * scale), 255);
      store_pixel(pixels, static_cast<std::size_t>(y) * static_cast<std::size_t>(image_width) + x, rgba);
    }
  }
}
