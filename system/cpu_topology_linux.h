#pragma once
// The Linux topology reader over a root folder ("/" for this machine, or a captured tree of
// another machine's /proc and /sys, as probe_linux.h reads them).
//   Core type, first source that answers for every online processor:
//     /sys/devices/cpu_core/cpus and cpu_atom/cpus (Intel hybrid), cpuN/cpu_capacity clusters,
//     then the CPUID core-type leaves through `cpuid` (the kernel gives neither on some x86).
//   Favoured core within a type: acpi_cppc/highest_perf, else cpufreq/cpuinfo_max_freq.
//   Physical core: topology/core_cpus_list, else thread_siblings_list.
#include <functional>
#include <optional>
#include <string>

#include "system/cpu_topology.h"
#include "system/cpuid_core_type.h"

// A processor's CPUID core type by number; empty when CPUID is not to be asked (trees, non-x86).
using CoreTypeProbe = std::function<std::optional<CpuidCoreType>(unsigned processor)>;

CpuTopology read_linux_cpu_topology(const std::string& root, const CoreTypeProbe& cpuid);

// The processors of Cpus_allowed_list in the tree's proc/self/status; empty when absent.
ProcessorSet read_linux_process_affinity(const std::string& root);

// Asks CPUID on a short-lived thread bound to each processor; empty when this processor's
// leaves say its cores are all of one type, so uniform machines start no thread.
CoreTypeProbe live_cpuid_core_types();
