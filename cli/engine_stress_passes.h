#pragma once
// The runner's passes of a stress test: the benchmark engine with the progress line, and the
// sensor sampler's summary of each pass where the program has one.
#include <cstdio>

#include "cli/stress_command.h"
#include "engine/benchmark_engine.h"
#include "system/cpu_usage_monitor.h"
#include "system/sensor_sampler.h"

class EngineStressPasses : public IStressPassRunner {
 public:
  // `sampler` may be null: the passes then carry no sensor readings. `load` may be null: the
  // other programs' load is then not checked before the first pass.
  EngineStressPasses(const WorkerPlacement& placement, SensorSampler* sampler, ICpuTimesSource* load,
                     std::FILE* progress_out, bool interactive);
  PassRun run_pass(const RunRequest& run, const PassLabel& label) override;

 private:
  BenchmarkEngine engine_;
  SensorSampler* sampler_;
  ICpuTimesSource* load_;
  std::FILE* progress_out_;
  bool interactive_;
};
