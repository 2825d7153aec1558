#pragma once
// The monitor's counters on Linux, read from <root>/proc/stat ("/" for this machine; tests
// pass a captured tree).
#include <memory>
#include <string>

#include "system/cpu_usage_monitor.h"

std::unique_ptr<ICpuTimesSource> make_linux_cpu_times_source(const std::string& root);
