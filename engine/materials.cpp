#include "engine/materials.h"

#include <cmath>
#include <cstdint>

#include "engine/exact_floor.h"

namespace {

// Shared by the two matte materials. The scattered ray starts exactly on the surface; the
// renderer's minimum ray parameter keeps it from hitting that surface again.
Ray diffuse_bounce(const HitRecord& rec, Rng& rng) {
  Vec3 direction = rec.normal + random_unit_vector(rng);
  if (near_zero(direction)) {
    direction = rec.normal;
  }
  return Ray{rec.p, direction};
}

}  // namespace

bool Lambertian::scatter(const Ray&, const HitRecord& rec, Vec3& attenuation, Ray& scattered, Rng& rng) const {
  scattered = diffuse_bounce(rec, rng);
  attenuation = albedo;
  return true;
}

bool Metal::scatter(const Ray& r_in, const HitRecord& rec, Vec3& attenuation, Ray& scattered, Rng& rng) const {
  const Vec3 reflected = reflect(unit_vector(r_in.direction), rec.normal);
  const Vec3 direction = unit_vector(reflected) + fuzz * random_unit_vector(rng);
  scattered = Ray{rec.p, direction};
  attenuation = albedo;
  return dot(direction, rec.normal) > 0.0;
}

double reflectance(double cosine, double refraction_ratio) {
  double r0 = (1.0 - refraction_ratio) / (1.0 + refraction_ratio);
  r0 = r0 * r0;
  const double m = 1.0 - cosine;
  const double m2 = m * m;
  return r0 + (1.0 - r0) * (m2 * m2 * m);
}

bool Dielectric::scatter(const Ray& r_in, const HitRecord& rec, Vec3& attenuation, Ray& scattered, Rng& rng) const {
  attenuation = Vec3{1.0, 1.0, 1.0};
  const double ri = rec.front_face ? (1.0 / refraction_index) : refraction_index;
  const Vec3 unit_direction = unit_vector(r_in.direction);
  const double cos_theta = min_with_one(dot(-unit_direction, rec.normal));
  const double sin_theta = std::sqrt(1.0 - cos_theta * cos_theta);

  Vec3 direction;
  if (ri * sin_theta > 1.0) {
    direction = reflect(unit_direction, rec.normal);  // total internal reflection: no draw
  } else if (reflectance(cos_theta, ri) > random_double(rng)) {
    direction = reflect(unit_direction, rec.normal);
  } else {
    direction = refract(unit_direction, rec.normal, ri);
  }
  scattered = Ray{rec.p, direction};
  return true;
}

bool Emissive::scatter(const Ray&, const HitRecord&, Vec3&, Ray&, Rng&) const { return false; }

bool CheckerBoard::scatter(const Ray&, const HitRecord& rec, Vec3& attenuation, Ray& scattered, Rng& rng) const {
  // floor, not truncation: -0.5 must land in cell -1.
  const auto iz = static_cast<std::int32_t>(exact_floor(scale * rec.p.z));
  const auto ix = static_cast<std::int32_t>(exact_floor(scale * rec.p.x));
  attenuation = ((ix + iz) & 1) != 0 ? odd : even;
  scattered = diffuse_bounce(rec, rng);
  return true;
}
