#pragma once
// The machine's processors as the record/submit rule sees them.
#include "system/system_info.h"
#include "verify/run_verdict.h"

// From collected facts. A record that was never collected (0 processors) falls back to the
// standard library's count.
MachineThreads machine_threads(const SystemInfo& info);

// This machine's, asking only for the processor counts (cheaper than collecting every fact).
MachineThreads this_machine_threads();
