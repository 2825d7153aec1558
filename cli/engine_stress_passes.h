#pragma once
// The runner's passes of a stress test: the benchmark engine with the progress line, and the
// program's run monitor's sensors and warnings for each pass where the program has one.
#include <cstdio>

#include "cli/stress_command.h"
#include "engine/benchmark_engine.h"
#include "system/run_monitor.h"

class EngineStressPasses : public IStressPassRunner {
 public:
  // `monitor` may be null: the passes then carry no sensor readings and no warnings. Otherwise it
  // checks other programs' load before the first pass only, for the whole test.
  EngineStressPasses(const WorkerPlacement& placement, RunMonitor* monitor, std::FILE* progress_out, bool interactive);
  ~EngineStressPasses() override;
  EngineStressPasses(const EngineStressPasses&) = delete;
  EngineStressPasses& operator=(const EngineStressPasses&) = delete;
  PassRun run_pass(const RunRequest& run, const PassLabel& label) override;

 private:
  BenchmarkEngine engine_;
  RunMonitor* monitor_;
  std::FILE* progress_out_;
  bool interactive_;
};
