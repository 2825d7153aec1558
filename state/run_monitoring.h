#pragma once
// The window's side of the sensor sampler: the App owns the program's one RunMonitor, the
// engine calls it around each measured phase, and each frame copies what it recorded.
#include <memory>

#include "system/run_monitor.h"

struct App;

// Gives the App its monitor and the engine its phase hooks; called once, before any run.
void attach_run_monitor(App& app, std::unique_ptr<RunMonitor> monitor);

// Once a frame: the samples recorded since the last frame, copied without waiting on a query;
// a stress test's passes make one timeline.
void follow_sensors(App& app);
