#pragma once
// What happens to a ray at a hit. Materials are immutable after construction and shared by all
// workers; `scatter` writes only its out-arguments and advances the caller's generator.
#include "engine/hittable.h"
#include "engine/rng.h"

class Material {
 public:
  virtual ~Material() = default;
  // True when the ray continues as `scattered`, filtered by `attenuation`.
  virtual bool scatter(const Ray& r_in, const HitRecord& rec, Vec3& attenuation, Ray& scattered, Rng& rng) const = 0;
  virtual Vec3 emitted() const { return Vec3{0.0, 0.0, 0.0}; }
};
