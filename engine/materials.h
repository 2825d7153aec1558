#pragma once
// The five materials of the benchmark scene. Each draws a fixed number of generator outputs per
// scatter (noted below); that count fixes the random stream of every later sample in the tile.
#include <algorithm>

#include "engine/material.h"

// Matte. Draws one random unit vector.
class Lambertian final : public Material {
 public:
  explicit Lambertian(const Vec3& albedo) : albedo(albedo) {}
  bool scatter(const Ray& r_in, const HitRecord& rec, Vec3& attenuation, Ray& scattered, Rng& rng) const override;
  Vec3 albedo;
};

// Mirror with fuzz. Draws one random unit vector, even when fuzz is 0.
class Metal final : public Material {
 public:
  Metal(const Vec3& albedo, double fuzz) : albedo(albedo), fuzz(std::min(fuzz, 1.0)) {}
  bool scatter(const Ray& r_in, const HitRecord& rec, Vec3& attenuation, Ray& scattered, Rng& rng) const override;
  Vec3 albedo;
  double fuzz;
};

// Glass. Draws nothing under total internal reflection, otherwise one random double.
class Dielectric final : public Material {
 public:
  explicit Dielectric(double refraction_index) : refraction_index(refraction_index) {}
  bool scatter(const Ray& r_in, const HitRecord& rec, Vec3& attenuation, Ray& scattered, Rng& rng) const override;
  double refraction_index;
};

// A light source: never scatters, draws nothing.
class Emissive final : public Material {
 public:
  explicit Emissive(const Vec3& emit) : emit(emit) {}
  bool scatter(const Ray& r_in, const HitRecord& rec, Vec3& attenuation, Ray& scattered, Rng& rng) const override;
  Vec3 emitted() const override { return emit; }
  Vec3 emit;
};

// Matte with a two-colour checker pattern over x and z. Draws one random unit vector.
class CheckerBoard final : public Material {
 public:
  CheckerBoard(const Vec3& even, const Vec3& odd, double scale) : even(even), odd(odd), scale(scale) {}
  bool scatter(const Ray& r_in, const HitRecord& rec, Vec3& attenuation, Ray& scattered, Rng& rng) const override;
  Vec3 even;
  Vec3 odd;
  double scale;
};

// Schlick's approximation. The fifth power is built from multiplications so that the result
// does not depend on the maths library's pow.
double reflectance(double cosine, double refraction_ratio);
