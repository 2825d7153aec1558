#include "engine/sphere.h"

#include <cmath>

bool Sphere::hit(const Ray& r, Interval ray_t, HitRecord& rec) const {
  const Vec3 oc = center - r.origin;
  const double a = length_squared(r.direction);
  const double h = dot(r.direction, oc);
  const double k = length_squared(oc) - radius * radius;
  const double discriminant = h * h - a * k;
  // Written so that a NaN discriminant also means "no hit". Most spheres miss most rays: the
  // early return is laid out as the straight path.
  if (!(discriminant >= 0.0)) [[likely]] {
    return false;
  }

  const double sqrtd = std::sqrt(discriminant);
  double root = (h - sqrtd) / a;  // the nearer root is always preferred
  if (!ray_t.surrounds(root)) {
    root = (h + sqrtd) / a;
    if (!ray_t.surrounds(root)) {
      return false;
    }
  }

  rec.t = root;
  rec.p = r.at(root);
  const Vec3 outward_normal = (rec.p - center) / radius;
  rec.front_face = dot(r.direction, outward_normal) < 0.0;
  rec.normal = rec.front_face ? outward_normal : -outward_normal;
  rec.material = material.get();
  return true;
}
