#pragma once
// The one scene every run renders, built from the fixed seed 42 so it is the same everywhere.
#include "engine/camera.h"
#include "engine/hittable_list.h"

struct BenchmarkScene {
  HittableList world;
  Camera camera;
};

// A fresh scene with its camera initialised for 1920 x 1080.
BenchmarkScene build_benchmark_scene();
