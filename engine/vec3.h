#pragma once
// Three doubles: a point, a direction or a linear RGB colour (components may exceed 1).
// Everything here is inline: these operations run billions of times per benchmark run.
#include <cmath>

struct Vec3 {
  double x = 0.0;
  double y = 0.0;
  double z = 0.0;

  constexpr Vec3 operator-() const { return {-x, -y, -z}; }
  constexpr Vec3& operator+=(const Vec3& v) {
    x += v.x;
    y += v.y;
    z += v.z;
    return *this;
  }
};

constexpr Vec3 operator+(const Vec3& a, const Vec3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
constexpr Vec3 operator-(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
constexpr Vec3 operator*(const Vec3& a, const Vec3& b) { return {a.x * b.x, a.y * b.y, a.z * b.z}; }
constexpr Vec3 operator*(const Vec3& v, double t) { return {v.x * t, v.y * t, v.z * t}; }
constexpr Vec3 operator*(double t, const Vec3& v) { return v * t; }
// Division multiplies by the reciprocal: the rounding of the image depends on it.
constexpr Vec3 operator/(const Vec3& v, double t) { return v * (1.0 / t); }

constexpr double dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

constexpr Vec3 cross(const Vec3& a, const Vec3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

constexpr double length_squared(const Vec3& v) { return dot(v, v); }
inline double length(const Vec3& v) { return std::sqrt(length_squared(v)); }
inline Vec3 unit_vector(const Vec3& v) { return v * (1.0 / length(v)); }

// std::fmin(x, 1.0), NaN giving 1.0 as fmin does, without a call into the maths library.
constexpr double min_with_one(double x) { return x < 1.0 ? x : 1.0; }

inline bool near_zero(const Vec3& v) {  // not constexpr: std::fabs is not, outside glibc
  constexpr double eps = 1e-8;
  return std::fabs(v.x) < eps && std::fabs(v.y) < eps && std::fabs(v.z) < eps;
}

constexpr Vec3 reflect(const Vec3& v, const Vec3& n) { return v - 2.0 * dot(v, n) * n; }

// uv and n are unit vectors, n facing against uv. The absolute value keeps the root defined
// when rounding pushes the radicand just below zero.
inline Vec3 refract(const Vec3& uv, const Vec3& n, double eta) {
  const double cos_theta = min_with_one(dot(-uv, n));
  const Vec3 r_perp = eta * (uv + cos_theta * n);
  const Vec3 r_parallel = -std::sqrt(std::fabs(1.0 - length_squared(r_perp))) * n;
  return r_perp + r_parallel;
}
