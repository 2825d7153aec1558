// Linux: sched_setaffinity and sched_getaffinity on the calling thread (pid 0) and the process.
#include <sched.h>
#include <unistd.h>

#include <cerrno>

#include "system/thread_affinity.h"

namespace {

// The mask may be larger than the default cpu_set_t on machines with more than 1024 processors.
ProcessorSet affinity_of(pid_t pid) {
  for (int cpus = 1024; cpus <= (1 << 20); cpus *= 2) {
    cpu_set_t* set = CPU_ALLOC(cpus);
    if (set == nullptr) return {};
    const std::size_t size = CPU_ALLOC_SIZE(cpus);
    CPU_ZERO_S(size, set);
    const int rc = sched_getaffinity(pid, size, set);
    const int error = errno;
    ProcessorSet processors;
    if (rc == 0) {
      for (int cpu = 0; cpu < cpus; ++cpu)
        if (CPU_ISSET_S(cpu, size, set)) processors.push_back(static_cast<unsigned>(cpu));
    }
    CPU_FREE(set);
    if (rc == 0 || error != EINVAL) return processors;
  }
  return {};
}

}  // namespace

bool bind_this_thread(const ProcessorSet& processors) {
  if (processors.empty()) return false;
  const int cpus = static_cast<int>(processors.back()) + 1;
  cpu_set_t* set = CPU_ALLOC(cpus);
  if (set == nullptr) return false;
  const std::size_t size = CPU_ALLOC_SIZE(cpus);
  CPU_ZERO_S(size, set);
  for (const unsigned cpu : processors) CPU_SET_S(cpu, size, set);
  // pid 0 is the calling thread, not the whole process.
  const bool bound = sched_setaffinity(0, size, set) == 0;
  CPU_FREE(set);
  return bound;
}

ProcessorSet this_thread_processors() { return affinity_of(0); }

ProcessorSet this_process_processors() { return affinity_of(getpid()); }
