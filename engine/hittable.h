#pragma once
// Something a ray can hit, and the record of a hit.
#include "engine/ray.h"

class Material;

struct HitRecord {
  Vec3 p;
  Vec3 normal;  // unit length, always facing against the incoming ray
  // Non-owning: the object that was hit owns its material for as long as the world lives, so
  // copying a record never touches a reference count.
  const Material* material = nullptr;
  double t = 0.0;
  bool front_face = false;
};

class Hittable {
 public:
  virtual ~Hittable() = default;
  // True when hit at a parameter the interval strictly surrounds; `rec` is written only then.
  virtual bool hit(const Ray& r, Interval ray_t, HitRecord& rec) const = 0;
};
