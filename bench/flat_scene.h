#pragma once
// The benchmark's arithmetic over a flat array of spheres with the hit test inlined: the
// baseline against which the cost of the virtual, shared-object world is measured. It must
// produce the same bytes as the real renderer, or the comparison means nothing.
#include <cstdint>
#include <vector>

#include "engine/benchmark_scene.h"
#include "engine/material.h"

struct FlatSphere {
  Vec3 center;
  double radius;
  const Material* material;
};

struct FlatScene {
  std::vector<FlatSphere> spheres;
  Camera camera;
};

// Copies the spheres of `scene` (which must outlive the result: it owns the materials).
FlatScene flatten(const BenchmarkScene& scene);

struct FlatCounters {
  std::uint64_t segments = 0;      // world tests, one per ray segment
  std::uint64_t sphere_tests = 0;  // segments x spheres
};

// render_tile's loops over the flat scene, counting the work.
void render_tile_flat(std::uint32_t* pixels, std::int32_t image_width, std::int32_t image_height, std::int32_t tile_x,
                      std::int32_t tile_y, std::int32_t tile_width, std::int32_t tile_height,
                      std::int32_t samples_per_pixel, std::int32_t max_depth, const FlatScene& scene, std::int32_t seed,
                      FlatCounters& counters);
