#include "engine/hittable_list.h"

bool HittableList::hit(const Ray& r, Interval ray_t, HitRecord& rec) const {
  HitRecord temp;
  bool hit_anything = false;
  double closest = ray_t.max;
  // Iterate by reference: copying a shared pointer here would cost an atomic increment per test.
  for (const std::shared_ptr<Hittable>& object : objects) {
    if (object->hit(r, Interval{ray_t.min, closest}, temp)) [[unlikely]] {
      hit_anything = true;
      closest = temp.t;
      rec = temp;
    }
  }
  return hit_anything;
}
