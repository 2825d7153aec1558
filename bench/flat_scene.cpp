#include "bench/flat_scene.h"

#include <algorithm>
#include <cmath>

#include "engine/preview_image.h"
#include "engine/render_tile.h"
#include "engine/sphere.h"

FlatScene flatten(const BenchmarkScene& scene) {
  FlatScene flat;
  flat.camera = scene.camera;
  for (const auto& object : scene.world.objects) {
    const auto& sphere = dynamic_cast<const Sphere&>(*object);
    flat.spheres.push_back(FlatSphere{sphere.center, sphere.radius, sphere.material.get()});
  }
  return flat;
}

namespace {

// The same steps and operations as Sphere::hit and HittableList::hit, in the same order.
bool hit_world(const std::vector<FlatSphere>& spheres, const Ray& r, HitRecord& rec) {
  bool hit_anything = false;
  double closest = 1e30;
  constexpr double kMin = 0.001;
  const FlatSphere* nearest = nullptr;
  double nearest_t = 0.0;
  for (const FlatSphere& s : spheres) {
    const Vec3 oc = s.center - r.origin;
    const double a = length_squared(r.direction);
    const double h = dot(r.direction, oc);
    const double k = length_squared(oc) - s.radius * s.radius;
    const double discriminant = h * h - a * k;
    if (!(discriminant >= 0.0)) {
      continue;
    }
    const double sqrtd = std::sqrt(discriminant);
    double root = (h - sqrtd) / a;
    if (!(kMin < root && root < closest)) {
      root = (h + sqrtd) / a;
      if (!(kMin < root && root < closest)) {
        continue;
      }
    }
    hit_anything = true;
    closest = root;
    nearest = &s;
    nearest_t = root;
  }
  if (hit_anything) {
    rec.t = nearest_t;
    rec.p = r.at(nearest_t);
    const Vec3 outward_normal = (rec.p - nearest->center) / nearest->radius;
    rec.front_face = dot(r.direction, outward_normal) < 0.0;
    rec.normal = rec.front_face ? outward_normal : -outward_normal;
    rec.material = nearest->material;
  }
  return hit_anything;
}

Vec3 ray_color_flat(const Ray& r, const FlatScene& scene, std::int32_t depth, Rng& rng, FlatCounters& counters) {
  if (depth <= 0) {
    return Vec3{0.0, 0.0, 0.0};
  }
  HitRecord rec;
  ++counters.segments;
  counters.sphere_tests += scene.spheres.size();
  if (!hit_world(scene.spheres, r, rec)) {
    const double a = 0.5 * (unit_vector(r.direction).y + 1.0);
    return (1.0 - a) * Vec3{1.0, 1.0, 1.0} + a * Vec3{0.5, 0.7, 1.0};
  }
  const Vec3 emitted = rec.material->emitted();
  Vec3 attenuation;
  Ray scattered;
  if (!rec.material->scatter(r, rec, attenuation, scattered, rng)) {
    return emitted;
  }
  return emitted + attenuation * ray_color_flat(scattered, scene, depth - 1, rng, counters);
}

}  // namespace

void render_tile_flat(std::uint32_t* pixels, std::int32_t image_width, std::int32_t image_height, std::int32_t tile_x,
                      std::int32_t tile_y, std::int32_t tile_width, std::int32_t tile_height,
                      std::int32_t samples_per_pixel, std::int32_t max_depth, const FlatScene& scene, std::int32_t seed,
                      FlatCounters& counters) {
  Rng rng(static_cast<std::uint32_t>(seed));
  const std::int32_t x_end = std::min(image_width, tile_x + tile_width);
  const std::int32_t y_end = std::min(image_height, tile_y + tile_height);
  const double scale = 1.0 / samples_per_pixel;
  for (std::int32_t y = tile_y; y < y_end; ++y) {
    for (std::int32_t x = tile_x; x < x_end; ++x) {
      Vec3 sum;
      for (std::int32_t s = 0; s < samples_per_pixel; ++s) {
        const double jy = random_double(rng);
        const double jx = random_double(rng);
        sum +=
            ray_color_flat(scene.camera.primary_ray((jx - 0.5) + x, (y + jy) - 0.5), scene, max_depth, rng, counters);
      }
      store_pixel(pixels, static_cast<std::size_t>(y) * image_width + x,
                  pack_rgba(channel_to_byte(sum.x * scale), channel_to_byte(sum.y * scale),
                            channel_to_byte(sum.z * scale), 255));
    }
  }
}
