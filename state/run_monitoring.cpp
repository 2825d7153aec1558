#include "state/run_monitoring.h"

#include "state/app.h"

void attach_run_monitor(App& app, std::unique_ptr<RunMonitor> monitor) {
  app.run_monitor = std::move(monitor);
  app.engine.set_phase_hooks(app.run_monitor ? app.run_monitor->phase_hooks() : RunPhaseHooks{});
}

void follow_sensors(App& app) {
  if (!app.run_monitor) return;
  // A stress test's later passes continue its timeline: the graph covers the whole test.
  const bool later_pass = app.stress.active && app.stress.test && !app.stress.test->passes().empty();
  app.sensor_samples.update(app.run_monitor->sampler(), later_pass);
}
