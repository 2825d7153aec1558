#pragma once
// The machine's facts, gathered once at start-up and shown by the system information panel.
#include <cstdint>
#include <string>
#include <vector>

// One type of core on a machine that mixes them ("P", "E"; "big", "LITTLE" or the core's name).
struct CoreType {
  std::string name;
  std::uint32_t cores = 0;
  std::uint32_t threads = 0;
  friend bool operator==(const CoreType&, const CoreType&) = default;
};

struct SystemInfo {
  std::string cpu_name;  // brand string, leading spaces removed
  std::uint32_t physical_cores = 0;
  std::uint32_t logical_processors = 0;
  // Those this process may use (affinity mask, CPU quota): the multi-core thread count. Equal
  // to logical_processors when nothing restricts the process; 0 in a record never collected.
  std::uint32_t usable_processors = 0;
  std::vector<CoreType> core_types;  // fastest first; empty on a machine of one core type
  double clock_ghz = 0.0;            // nominal clock
  std::string l1_cache;              // one level-1 data cache, e.g. "48 KB", or "N/A"
  std::string l2_cache;
  std::string l3_cache;
  std::string gpu_name;  // UTF-8; empty when no adapter was found
  std::uint64_t vram_mb = 0;
  std::uint64_t ram_total_mb = 0;
  std::uint64_t ram_available_mb = 0;  // at start-up; not shown
  std::string os_name;
  std::string computer_name;
  // The one-core SMT run's workers, the threads of the core the single-core run uses; 0 when
  // this machine has no SMT run, with the reason for people.
  std::uint32_t smt_threads = 0;
  std::string smt_unavailable_reason;
  // Why the single-core and SMT runs here are not the standard ones (the fastest core type lies
  // outside this process's affinity mask); empty when they are.
  std::string one_core_not_standard_reason;
};

// Every fact but the graphics adapter, from this machine. Best-effort: a failed query leaves
// its field empty, zero or "N/A".
SystemInfo collect_system_info();

// Fills gpu_name and vram_mb from this machine's graphics adapters; unchanged when none is found.
void query_graphics_adapter(SystemInfo& info);

// The Cores line: "16C / 32T", or "6P + 8E / 20T" on a machine of several core types, with
// " (4 usable)" when fewer processors may be used.
std::string cores_text(const SystemInfo& info);

// Bytes to "N MB" from 1 MiB on, else "N KB", both truncated: 49152 gives "48 KB".
std::string format_cache_size(std::uint64_t bytes);
