#pragma once
// The runner's passes of a stress test: the benchmark engine with the progress line, and the
// sensor sampler's summary of each pass where the program has one.
#include <cstdio>

#include "cli/stress_command.h"
#include "engine/benchmark_engine.h"
#include "system/sensor_sampler.h"

class EngineStressPasses : public IStressPassRunner {
 public:
  // `sampler` may be null: the passes then carry no sensor readings.
  EngineStressPasses(const WorkerPlacement& placement, SensorSampler* sampler, std::FILE* progress_out,
                     bool interactive);
  PassRun run_pass(const RunRequest& run, const PassLabel& label) override;

 private:
  BenchmarkEngine engine_;
  SensorSampler* sampler_;
  std::FILE* progress_out_;
  bool interactive_;
};
