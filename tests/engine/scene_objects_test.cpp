#include <gtest/gtest.h>

#include <memory>

#include "engine/hittable_list.h"
#include "engine/materials.h"
#include "engine/sphere.h"

namespace {

std::shared_ptr<Material> matte() { return std::make_shared<Lambertian>(Vec3{0.5, 0.5, 0.5}); }
constexpr Interval kAll{0.001, 1e30};

}  // namespace

TEST(Sphere, HitFromOutsideFillsTheRecord) {
  const auto material = matte();
  Sphere sphere(Vec3{0.0, 0.0, -5.0}, 1.0, material);
  HitRecord rec;
  ASSERT_TRUE(sphere.hit(Ray{Vec3{}, Vec3{0.0, 0.0, -2.0}}, kAll, rec));
  EXPECT_DOUBLE_EQ(rec.t, 2.0);
  EXPECT_DOUBLE_EQ(rec.p.z, -4.0);
  EXPECT_DOUBLE_EQ(rec.normal.z, 1.0);
  EXPECT_TRUE(rec.front_face);
  EXPECT_EQ(rec.material, material.get());
}

TEST(Sphere, RayFromInsideHitsTheFarSideWithTheNormalFacingTheRay) {
  Sphere sphere(Vec3{0.0, 0.0, 0.0}, 2.0, matte());
  HitRecord rec;
  ASSERT_TRUE(sphere.hit(Ray{Vec3{}, Vec3{1.0, 0.0, 0.0}}, kAll, rec));
  EXPECT_DOUBLE_EQ(rec.t, 2.0);
  EXPECT_FALSE(rec.front_face);
  EXPECT_DOUBLE_EQ(rec.normal.x, -1.0);  // towards the centre, against the ray
}

TEST(Sphere, GrazingRayHitsAtTheSingleRoot) {
  Sphere sphere(Vec3{0.0, 1.0, -5.0}, 1.0, matte());
  HitRecord rec;
  ASSERT_TRUE(sphere.hit(Ray{Vec3{}, Vec3{0.0, 0.0, -1.0}}, kAll, rec));
  EXPECT_DOUBLE_EQ(rec.t, 5.0);
}

TEST(Sphere, RootsExactlyAtTheIntervalEndsAreRejected) {
  Sphere sphere(Vec3{0.0, 0.0, -5.0}, 1.0, matte());  // roots at 4 and 6
  const Ray ray{Vec3{}, Vec3{0.0, 0.0, -1.0}};
  HitRecord rec;
  EXPECT_FALSE(sphere.hit(ray, Interval{0.0, 4.0}, rec));
  ASSERT_TRUE(sphere.hit(ray, Interval{4.0, 100.0}, rec));
  EXPECT_DOUBLE_EQ(rec.t, 6.0);  // the far root, since the near one sits on min
  EXPECT_FALSE(sphere.hit(ray, Interval{4.0, 6.0}, rec));
}

TEST(HittableList, NearestHitWinsAndTiesGoToTheFirstAdded) {
  const auto first = matte();
  const auto second = matte();
  HittableList world;
  world.add(std::make_shared<Sphere>(Vec3{0.0, 0.0, -10.0}, 1.0, matte()));
  world.add(std::make_shared<Sphere>(Vec3{0.0, 0.0, -5.0}, 1.0, first));
  world.add(std::make_shared<Sphere>(Vec3{0.0, 0.0, -5.0}, 1.0, second));
  HitRecord rec;
  ASSERT_TRUE(world.hit(Ray{Vec3{}, Vec3{0.0, 0.0, -1.0}}, kAll, rec));
  EXPECT_DOUBLE_EQ(rec.t, 4.0);
  EXPECT_EQ(rec.material, first.get());
}

TEST(HittableList, MissLeavesTheRecordUntouched) {
  HittableList empty;
  HitRecord rec;
  rec.t = 123.0;
  EXPECT_FALSE(empty.hit(Ray{Vec3{}, Vec3{0.0, 0.0, -1.0}}, kAll, rec));
  EXPECT_EQ(rec.t, 123.0);

  HittableList world;
  world.add(std::make_shared<Sphere>(Vec3{0.0, 10.0, -5.0}, 1.0, matte()));
  EXPECT_FALSE(world.hit(Ray{Vec3{}, Vec3{0.0, 0.0, -1.0}}, kAll, rec));
  EXPECT_EQ(rec.t, 123.0);
}
