#pragma once
#include <memory>

#include "engine/hittable.h"
#include "engine/material.h"

class Sphere final : public Hittable {
 public:
  // The radius is stored as given, without clamping.
  Sphere(const Vec3& center, double radius, std::shared_ptr<Material> material)
      : center(center), radius(radius), material(std::move(material)) {}

  bool hit(const Ray& r, Interval ray_t, HitRecord& rec) const override;

  Vec3 center;
  double radius;
  std::shared_ptr<Material> material;
};
