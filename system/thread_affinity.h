#pragma once
// Binding the calling thread to a set of processors, for a run's workers (their start hook) and
// for the CPUID core-type probe; one file per platform.
#include "system/cpu_topology.h"

// Binds the calling thread to `processors` (numbers as in cpu_topology.h). On Windows a thread
// runs within one processor group: the group of the first processor, with those of the set
// that lie in it. False when the system refuses or the set is empty; the thread then stays
// where it was.
bool bind_this_thread(const ProcessorSet& processors);

// The processors the calling thread may run on; empty when unknown.
ProcessorSet this_thread_processors();

// The processors this process may run on (its affinity mask); empty when unknown.
ProcessorSet this_process_processors();
