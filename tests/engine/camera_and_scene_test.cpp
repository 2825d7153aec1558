#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>

#include "engine/benchmark_scene.h"
#include "engine/materials.h"
#include "engine/sphere.h"

namespace {

const Sphere& sphere_at(const BenchmarkScene& scene, std::size_t index) {
  return dynamic_cast<const Sphere&>(*scene.world.objects.at(index));
}

template <class M>
const M* material_of(const Sphere& sphere) {
  return dynamic_cast<const M*>(sphere.material.get());
}

}  // namespace

TEST(Camera, BenchmarkViewHasTheExpectedGeometry) {
  Camera camera;
  camera.initialize();
  const double height = length(camera.viewport_v);
  const double width = length(camera.viewport_u);
  EXPECT_NEAR(height, 0.352654, 1e-6);
  EXPECT_NEAR(width, 0.626940, 1e-6);
  EXPECT_NEAR(camera.pixel00_loc.x, 11.940478, 1e-6);
  EXPECT_NEAR(camera.pixel00_loc.y, 2.025967, 1e-6);
  EXPECT_NEAR(camera.pixel00_loc.z, 3.077036, 1e-6);
  EXPECT_NEAR(camera.viewport_u.x / width, 0.224860, 1e-6);
  EXPECT_EQ(camera.viewport_u.y, 0.0);
  EXPECT_NEAR(camera.viewport_u.z / width, -0.974391, 1e-6);
  EXPECT_LT(camera.viewport_v.y, 0.0);  // rows grow downwards
}

TEST(Camera, SquareImageGivesASquareViewport) {
  Camera camera;
  camera.image_width = 1080;
  camera.image_height = 1080;
  camera.initialize();
  EXPECT_DOUBLE_EQ(length(camera.viewport_u), length(camera.viewport_v));
}

// The standard view's tangent is a constant, the same on every platform: tan(10 degrees)
// correctly rounded (0.17632698070846496327...). Other angles come from the engine's own series.
TEST(Camera, TheStandardTangentHasFixedBitsAndOtherAnglesStayCloseToTan) {
  EXPECT_EQ(std::bit_cast<std::uint64_t>(half_angle_tangent(20.0)), 0x3FC691E1EBC5CBBCu);
  for (double vfov : {1.0, 20.000000000000004, 45.0, 90.0, 120.0, 170.0}) {
    const double expected = std::tan(vfov * 0.008726646259971648);
    EXPECT_NEAR(half_angle_tangent(vfov), expected, 4e-16 * expected) << vfov;
  }
}

TEST(BenchmarkScene, HasTheFixedListOfObjects) {
  const BenchmarkScene scene = build_benchmark_scene();
  ASSERT_EQ(scene.world.objects.size(), 482u);
  EXPECT_NE(material_of<CheckerBoard>(sphere_at(scene, 0)), nullptr);
  int lambertian = 0, metal = 0, glass = 0;
  for (std::size_t i = 1; i <= 477; ++i) {
    const Sphere& s = sphere_at(scene, i);
    EXPECT_EQ(s.radius, 0.2);
    lambertian += material_of<Lambertian>(s) != nullptr;
    metal += material_of<Metal>(s) != nullptr;
    glass += material_of<Dielectric>(s) != nullptr;
  }
  EXPECT_EQ(lambertian, 303);
  EXPECT_EQ(metal, 102);
  EXPECT_EQ(glass, 72);
  EXPECT_NE(material_of<Dielectric>(sphere_at(scene, 478)), nullptr);
  EXPECT_NE(material_of<Lambertian>(sphere_at(scene, 479)), nullptr);
  EXPECT_NE(material_of<Metal>(sphere_at(scene, 480)), nullptr);
  const auto* light = material_of<Emissive>(sphere_at(scene, 481));
  ASSERT_NE(light, nullptr);
  EXPECT_EQ(light->emit.x, 4.0);
  EXPECT_EQ(sphere_at(scene, 481).center.z, -2.0);
}

TEST(BenchmarkScene, RandomLayoutFollowsTheSeededStream) {
  const BenchmarkScene scene = build_benchmark_scene();
  const Sphere& first = sphere_at(scene, 1);
  EXPECT_NEAR(first.center.x, -10.298278, 1e-6);
  EXPECT_EQ(first.center.y, 0.2);
  EXPECT_NEAR(first.center.z, -10.834909, 1e-6);
  const Metal* metal = material_of<Metal>(first);
  ASSERT_NE(metal, nullptr);
  EXPECT_NEAR(metal->albedo.x, 0.549987, 1e-6);
  EXPECT_NEAR(metal->albedo.y, 0.722916, 1e-6);
  EXPECT_NEAR(metal->albedo.z, 0.798425, 1e-6);
  EXPECT_NEAR(metal->fuzz, 0.229624, 1e-6);

  const Sphere& second = sphere_at(scene, 2);
  EXPECT_NEAR(second.center.x, -10.414200, 1e-6);
  EXPECT_NEAR(second.center.z, -9.871420, 1e-6);
  const Lambertian* matte = material_of<Lambertian>(second);
  ASSERT_NE(matte, nullptr);
  EXPECT_NEAR(matte->albedo.x, 0.579539, 1e-6);
  EXPECT_NEAR(matte->albedo.y, 0.716376, 1e-6);
  EXPECT_NEAR(matte->albedo.z, 0.0000439, 1e-7);

  const Sphere& last = sphere_at(scene, 477);
  EXPECT_NEAR(last.center.x, 10.549694, 1e-6);
  EXPECT_NEAR(last.center.z, 10.626062, 1e-6);
  EXPECT_NE(material_of<Dielectric>(last), nullptr);
}

TEST(BenchmarkScene, CellsUnderTheLargeSpheresStayEmpty) {
  const BenchmarkScene scene = build_benchmark_scene();
  // Every small sphere lies in cell (floor(x), floor(z)); the seven skipped cells have none.
  const std::pair<int, int> skipped[] = {{-5, 0}, {-4, 0}, {-1, -1}, {-1, 0}, {3, -1}, {3, 0}, {4, 0}};
  for (std::size_t i = 1; i <= 477; ++i) {
    const Sphere& s = sphere_at(scene, i);
    const std::pair<int, int> cell{static_cast<int>(std::floor(s.center.x)), static_cast<int>(std::floor(s.center.z))};
    for (const auto& empty : skipped) {
      EXPECT_NE(cell, empty) << "sphere " << i;
    }
  }
}

TEST(BenchmarkScene, IsIdenticalWhenBuiltTwice) {
  const BenchmarkScene a = build_benchmark_scene();
  const BenchmarkScene b = build_benchmark_scene();
  ASSERT_EQ(a.world.objects.size(), b.world.objects.size());
  for (std::size_t i = 0; i < a.world.objects.size(); ++i) {
    EXPECT_EQ(sphere_at(a, i).center.x, sphere_at(b, i).center.x);
    EXPECT_EQ(sphere_at(a, i).center.z, sphere_at(b, i).center.z);
  }
  EXPECT_EQ(a.camera.pixel00_loc.x, b.camera.pixel00_loc.x);
}
