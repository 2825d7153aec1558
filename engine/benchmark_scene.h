#pragma once
// The one scene every run renders, built from the fixed seed 42 so it is the same everywhere.
#include "engine/camera.h"
#include "engine/hittable_list.h"

struct BenchmarkScene {
  HittableList world;
  Camera camera;
};

// A fresh scene with its camera initialised for the standard image size.
BenchmarkScene build_benchmark_scene();
