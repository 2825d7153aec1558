#pragma once
// The world: a flat list tested object by object, in insertion order, with no acceleration
// structure. The benchmark measures exactly this work.
#include <memory>
#include <vector>

#include "engine/hittable.h"

class HittableList final : public Hittable {
 public:
  void add(std::shared_ptr<Hittable> object) { objects.push_back(std::move(object)); }

  // The nearest hit; of several objects hit at the same parameter the first in the list wins.
  // When nothing is hit, `rec` is left as it was.
  bool hit(const Ray& r, Interval ray_t, HitRecord& rec) const override;

  std::vector<std::shared_ptr<Hittable>> objects;
};
