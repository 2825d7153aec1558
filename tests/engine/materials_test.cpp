// Each material consumes a fixed number of generator outputs; a wrong count shifts every later
// sample of the tile, so the counts are checked against a reference stream.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "engine/exact_floor.h"
#include "engine/materials.h"

namespace {

// True when `rng` has consumed exactly `outputs` outputs since it was seeded with `seed`.
bool consumed(Rng rng, std::uint32_t seed, int outputs) {
  Rng reference(seed);
  for (int i = 0; i < outputs; ++i) {
    reference.next_u32();
  }
  return rng.next_u32() == reference.next_u32();
}

HitRecord record_at(const Vec3& p, const Vec3& normal, bool front_face) {
  HitRecord rec;
  rec.p = p;
  rec.normal = normal;
  rec.front_face = front_face;
  rec.t = 1.0;
  return rec;
}

}  // namespace

TEST(Metal, ClampsFuzzAndDrawsAVectorEvenWithoutFuzz) {
  EXPECT_EQ(Metal(Vec3{}, 2.5).fuzz, 1.0);
  const Metal mirror(Vec3{0.7, 0.6, 0.5}, 0.0);
  Rng rng(42);
  Vec3 attenuation;
  Ray scattered;
  const HitRecord rec = record_at(Vec3{}, Vec3{0.0, 1.0, 0.0}, true);
  EXPECT_TRUE(mirror.scatter(Ray{Vec3{0.0, 1.0, 0.0}, Vec3{1.0, -1.0, 0.0}}, rec, attenuation, scattered, rng));
  EXPECT_TRUE(consumed(rng, 42, 12));  // seed 42's first unit vector takes two attempts
  EXPECT_DOUBLE_EQ(scattered.direction.y, std::sqrt(0.5));
}

TEST(Metal, AbsorbsAFuzzedRayThatPointsIntoTheSurface) {
  // A grazing reflection with full fuzz: some draws push the ray below the surface.
  const Metal rough(Vec3{1.0, 1.0, 1.0}, 1.0);
  const HitRecord rec = record_at(Vec3{}, Vec3{0.0, 1.0, 0.0}, true);
  Rng rng(7);
  int absorbed = 0;
  for (int i = 0; i < 200; ++i) {
    Vec3 attenuation;
    Ray scattered;
    if (!rough.scatter(Ray{Vec3{-1.0, 0.01, 0.0}, Vec3{1.0, -0.01, 0.0}}, rec, attenuation, scattered, rng)) {
      ++absorbed;
      EXPECT_LE(dot(scattered.direction, rec.normal), 0.0);
    }
  }
  EXPECT_GT(absorbed, 0);
}

TEST(Dielectric, HeadOnEntryDrawsOnceAndReflectsOnlyBelowTheReflectance) {
  const Dielectric glass(1.5);
  const HitRecord rec = record_at(Vec3{}, Vec3{0.0, 1.0, 0.0}, true);
  const Ray down{Vec3{0.0, 1.0, 0.0}, Vec3{0.0, -1.0, 0.0}};
  EXPECT_NEAR(reflectance(1.0, 1.0 / 1.5), 0.04, 1e-15);

  Rng rng(42);  // first draw 0.7965 > 0.04: refracts straight through
  Vec3 attenuation;
  Ray scattered;
  ASSERT_TRUE(glass.scatter(down, rec, attenuation, scattered, rng));
  EXPECT_TRUE(consumed(rng, 42, 2));
  EXPECT_DOUBLE_EQ(scattered.direction.y, -1.0);
  EXPECT_EQ(attenuation.x, 1.0);

  // Find a seed whose first draw is below 0.04: that sample reflects.
  for (std::uint32_t seed = 0;; ++seed) {
    Rng probe(seed);
    if (random_double(probe) < 0.04) {
      Rng chosen(seed);
      ASSERT_TRUE(glass.scatter(down, rec, attenuation, scattered, chosen));
      EXPECT_DOUBLE_EQ(scattered.direction.y, 1.0);
      break;
    }
  }
}

TEST(Dielectric, TotalInternalReflectionDrawsNothing) {
  const Dielectric glass(1.5);
  // Leaving the glass at 60 degrees: sin 60 = 0.866 > 1 / 1.5.
  const HitRecord rec = record_at(Vec3{}, Vec3{0.0, -1.0, 0.0}, false);
  const Ray inside{Vec3{}, Vec3{std::sqrt(3.0) / 2.0, 0.5, 0.0}};
  Rng rng(42);
  Vec3 attenuation;
  Ray scattered;
  ASSERT_TRUE(glass.scatter(inside, rec, attenuation, scattered, rng));
  EXPECT_TRUE(consumed(rng, 42, 0));
  EXPECT_LT(scattered.direction.y, 0.0);  // reflected back into the glass
}

TEST(Reflectance, FifthPowerIsExact) {
  // (1 - 0.5)^5 = 1/32 is exact in binary: any error comes from the method, not rounding.
  EXPECT_EQ(reflectance(0.5, 1.0), 1.0 / 32.0);
}

TEST(CheckerBoard, PatternFollowsFloorOfXAndZ) {
  const Vec3 even{0.9, 0.9, 0.9};
  const Vec3 odd{0.2, 0.2, 0.2};
  const CheckerBoard board(even, odd, 1.0);
  auto colour_at = [&](double x, double y, double z) {
    Rng rng(1);
    Vec3 attenuation;
    Ray scattered;
    EXPECT_TRUE(board.scatter(Ray{}, record_at(Vec3{x, y, z}, Vec3{0.0, 1.0, 0.0}, true), attenuation, scattered, rng));
    return attenuation.x;
  };
  EXPECT_EQ(colour_at(0.5, 0.0, 0.5), even.x);
  EXPECT_EQ(colour_at(1.5, 0.0, 0.5), odd.x);
  EXPECT_EQ(colour_at(-0.5, 0.0, 0.5), odd.x);  // floor, not truncation
  EXPECT_EQ(colour_at(-0.5, 0.0, -0.5), even.x);
  EXPECT_EQ(colour_at(0.5, 7.0, 0.5), even.x);  // height does not matter
}

TEST(Lambertian, DirectionCancellingTheNormalFallsBackToTheNormal) {
  Rng peek(42);
  const Vec3 first = random_unit_vector(peek);
  const HitRecord rec = record_at(Vec3{1.0, 2.0, 3.0}, -first, true);
  const Lambertian matte(Vec3{0.5, 0.5, 0.5});
  Rng rng(42);
  Vec3 attenuation;
  Ray scattered;
  ASSERT_TRUE(matte.scatter(Ray{}, rec, attenuation, scattered, rng));
  EXPECT_EQ(scattered.direction.x, rec.normal.x);
  EXPECT_EQ(scattered.direction.y, rec.normal.y);
  EXPECT_EQ(scattered.direction.z, rec.normal.z);
  EXPECT_EQ(scattered.origin.y, 2.0);  // starts exactly at the hit point
}

TEST(Emissive, NeverScattersAndDrawsNothing) {
  const Emissive light(Vec3{4.0, 2.0, 0.5});
  Rng rng(42);
  Vec3 attenuation{9.0, 9.0, 9.0};
  Ray scattered;
  EXPECT_FALSE(light.scatter(Ray{}, HitRecord{}, attenuation, scattered, rng));
  EXPECT_EQ(attenuation.x, 9.0);
  EXPECT_TRUE(consumed(rng, 42, 0));
  EXPECT_EQ(light.emitted().x, 4.0);
  EXPECT_EQ(Lambertian(Vec3{}).emitted().x, 0.0);
}

TEST(ExactFloor, MatchesTheLibraryFloorAcrossTheRange) {
  const double values[] = {0.0,
                           -0.0,
                           0.5,
                           -0.5,
                           1.0,
                           -1.0,
                           2.999999999999999,
                           -2.0000000000000004,
                           1e15,
                           -1e15 - 0.5,
                           4503599627370495.5,
                           -4503599627370495.5,
                           4503599627370496.0,
                           -4503599627370497.0,
                           1e300,
                           -1e300,
                           std::numeric_limits<double>::denorm_min(),
                           -std::numeric_limits<double>::denorm_min(),
                           std::numeric_limits<double>::infinity(),
                           -std::numeric_limits<double>::infinity()};
  for (const double x : values) EXPECT_EQ(exact_floor(x), std::floor(x)) << x;
  EXPECT_TRUE(std::isnan(exact_floor(std::numeric_limits<double>::quiet_NaN())));
}
