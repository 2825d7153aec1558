#include "engine/benchmark_scene.h"

#include <memory>
#include <vector>

#include "engine/materials.h"
#include "engine/sphere.h"

namespace {

struct PlannedSphere {
  Vec3 center;
  double radius;
  std::shared_ptr<Material> material;
};

// The spheres are created only once every material exists, so that they lie next to each other
// in memory: every ray segment walks all of them, and interleaved materials would double the
// memory it touches.
using ScenePlan = std::vector<PlannedSphere>;

void add_sphere(ScenePlan& plan, const Vec3& center, double radius, std::shared_ptr<Material> material) {
  plan.push_back(PlannedSphere{center, radius, std::move(material)});
}

bool under_a_large_sphere(const Vec3& center) {
  for (const Vec3 spot : {Vec3{4.0, 0.2, 0.0}, Vec3{0.0, 0.2, 0.0}, Vec3{-4.0, 0.2, 0.0}}) {
    if (length(center - spot) <= 0.9) {
      return true;
    }
  }
  return false;
}

// One grid cell. The two raw outputs that choose the material are drawn before the position,
// and a cell under a large sphere draws nothing more: the order fixes the whole layout.
void add_grid_sphere(ScenePlan& world, Rng& rng, int a, int b) {
  const std::uint32_t u1 = rng.next_u32();
  const std::uint32_t u2 = rng.next_u32();
  const double z = b + 0.9 * random_double(rng);
  const double x = a + 0.9 * random_double(rng);
  const Vec3 center{x, 0.2, z};
  if (under_a_large_sphere(center)) {
    return;
  }

  const double choose = to_unit_double(u1, u2);
  std::shared_ptr<Material> material;
  if (choose < 0.65) {
    double r[6];
    for (double& value : r) {
      value = random_double(rng);
    }
    material = std::make_shared<Lambertian>(Vec3{r[2] * r[5], r[1] * r[4], r[0] * r[3]});
  } else if (choose < 0.85) {
    const double f1 = random_double(rng, 0.5, 1.0);
    const double f2 = random_double(rng, 0.5, 1.0);
    const double f3 = random_double(rng, 0.5, 1.0);
    const double g = random_double(rng, 0.0, 0.5);
    material = std::make_shared<Metal>(Vec3{f3, f2, f1}, g);
  } else {
    material = std::make_shared<Dielectric>(1.5);
  }
  add_sphere(world, center, 0.2, std::move(material));
}

}  // namespace

BenchmarkScene build_benchmark_scene() {
  BenchmarkScene scene;
  ScenePlan world;

  add_sphere(world, Vec3{0.0, -1000.0, 0.0}, 1000.0,
             std::make_shared<CheckerBoard>(Vec3{0.9, 0.9, 0.9}, Vec3{0.2, 0.2, 0.2}, 1.0));

  Rng rng(42);
  for (int a = -11; a < 11; ++a) {
    for (int b = -11; b < 11; ++b) {
      add_grid_sphere(world, rng, a, b);
    }
  }

  add_sphere(world, Vec3{0.0, 1.0, 0.0}, 1.0, std::make_shared<Dielectric>(1.5));
  add_sphere(world, Vec3{-4.0, 1.0, 0.0}, 1.0, std::make_shared<Lambertian>(Vec3{0.4, 0.2, 0.1}));
  add_sphere(world, Vec3{4.0, 1.0, 0.0}, 1.0, std::make_shared<Metal>(Vec3{0.7, 0.6, 0.5}, 0.0));
  add_sphere(world, Vec3{0.0, 3.5, -2.0}, 0.5, std::make_shared<Emissive>(Vec3{4.0, 2.0, 0.5}));

  scene.world.objects.reserve(world.size());
  for (PlannedSphere& planned : world) {
    // make_shared: each object and its reference count in one allocation.
    scene.world.add(std::make_shared<Sphere>(planned.center, planned.radius, std::move(planned.material)));
  }

  Camera& camera = scene.camera;
  camera.image_width = kStandardWorkload.width;
  camera.image_height = kStandardWorkload.height;
  camera.vfov = 20.0;
  camera.lookfrom = Vec3{13.0, 2.0, 3.0};
  camera.lookat = Vec3{0.0, 0.0, 0.0};
  camera.vup = Vec3{0.0, 1.0, 0.0};
  camera.initialize();
  return scene;
}
