#pragma once
// How long a run will take, guessed before it starts, so that nobody begins an hour's run
// unawares. A few of its tiles are traced at one sample per pixel on the calling thread and the
// time is scaled to the whole run: by the tiles' counted costs where they were counted (the
// standard image's tiles at the standard depth, at any samples; by pixels elsewhere), by the samples per pixel, and
// shared over the workers. A guess, within tens of percent: workers sharing a core, other programs and the clock's
// boost all move the real time.
#include <cstdint>
#include <string>

#include "engine/benchmark_run.h"

// What the probe measured: its time, the cost of the tiles it traced and of all the run's tiles
// (in the same unit), and the samples per pixel it traced them at.
struct TileProbe {
  double seconds = 0.0;
  double probed_cost = 0.0;
  double total_cost = 0.0;
  std::int32_t samples_per_pixel = 1;
};

// The run's seconds from a probe: the probe's time scaled to every tile and sample, over the
// run's workers. 0 when the probe measured nothing.
double scale_probe(const TileProbe& probe, const RunRequest& run);

// Traces a few of the run's tiles (spread over its queue, so over the range of costs) at one
// sample per pixel and returns what it measured. Takes a fifth of a second or so for the
// standard workload on one core of a small machine.
TileProbe probe_tiles(const Workload& workload);

// The probe and the scaling together.
double estimate_run_seconds(const RunRequest& run);

// "about 40 s", "about 23 min", "about 1 h 10 min": rounded as far as such a guess deserves.
std::string format_estimate(double seconds);

// "standard workload (1920x1080, 128 spp, depth 50)", or "custom workload (...)" with its tiles.
std::string describe_workload(const Workload& workload);
