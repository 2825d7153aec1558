#pragma once
// The platform services the system information probe needs, and the platform-neutral rules
// that turn their answers into a SystemInfo. Each platform implements ISystemSources in files
// of its own (probe_linux.cpp with vulkan_linux.cpp and drm_linux.cpp on Linux).
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "system/system_info.h"

enum class CacheType { Data, Instruction, Unified, Other };

struct CacheRecord {
  unsigned level = 0;
  CacheType type = CacheType::Other;
  std::uint64_t size_bytes = 0;
};

struct CacheSizes {
  std::optional<std::uint64_t> l1, l2, l3;
};

struct MemoryStatus {
  std::uint64_t total_bytes = 0;
  std::uint64_t available_bytes = 0;
};

enum class AdapterKind { Discrete, Integrated, Unknown, Virtual, Cpu };

struct GraphicsAdapter {
  std::string name;  // UTF-8
  std::uint64_t dedicated_bytes = 0;
  AdapterKind kind = AdapterKind::Unknown;
};

// One logical processor's clocks as cpufreq and CPPC give them; 0 where a file is missing.
struct CoreClock {
  std::uint64_t max_khz = 0;      // cpuinfo_max_freq: the boost clock on most drivers
  std::uint64_t base_khz = 0;     // base_frequency: intel_pstate only
  std::uint64_t nominal_mhz = 0;  // acpi_cppc/nominal_freq, in MHz
};

class ISystemSources {
 public:
  virtual ~ISystemSources() = default;
  virtual std::string cpu_brand() = 0;  // raw, before leading spaces are removed
  virtual std::uint32_t physical_cores() = 0;
  virtual std::uint32_t logical_processors() = 0;
  virtual double clock_mhz() = 0;                        // 0 when unknown
  virtual std::vector<CacheRecord> cache_records() = 0;  // the caches of one processor
  virtual MemoryStatus memory() = 0;
  virtual std::string os_name() = 0;
  virtual std::string computer_name() = 0;
  virtual std::vector<GraphicsAdapter> graphics_adapters() = 0;  // in enumeration order
  // The processors this process may run on (its affinity mask), and a CPU quota's limit in
  // whole processors; nullopt when unknown or unlimited.
  virtual std::optional<std::uint32_t> affinity_processors() { return std::nullopt; }
  virtual std::optional<std::uint32_t> quota_processors() { return std::nullopt; }
  // Fastest first; empty on a machine of one core type (cpu_topology.h).
  virtual std::vector<CoreType> core_types() { return {}; }
};

// This platform's services.
std::unique_ptr<ISystemSources> make_platform_system_sources();

// The queries in their fixed order, each turned into its field's unit and format.
SystemInfo collect_system_info(ISystemSources& sources);
void query_graphics_adapter(SystemInfo& info, ISystemSources& sources);

// The processors a run may use: the affinity count lowered to the quota, never above the
// machine's logical processors when those are known, and at least 1.
std::uint32_t usable_processor_count(std::uint32_t logical, std::optional<std::uint32_t> affinity,
                                     std::optional<std::uint32_t> quota);

// The nominal clock in MHz of the fastest core type (the highest maximum; on hybrid machines
// the performance cores): its CPPC nominal clock, else its base frequency, else its maximum.
// 0 when no core reports any.
double nominal_clock_mhz(const std::vector<CoreClock>& cores);

// Removes leading spaces only; a text of nothing but spaces is returned unchanged.
std::string trim_leading_spaces(const std::string& text);

// Level 1 only of type Data, levels 2 and 3 of any type; a later record of a level replaces an
// earlier one, so the result is the size of one cache, not a sum over cores.
CacheSizes select_cache_sizes(const std::vector<CacheRecord>& records);

// The adapter to show: a discrete one always wins over any other; among adapters of the same
// rank the larger memory wins, ties going to the first enumerated. Software (CPU) and virtual
// adapters are never chosen. Adapters of unknown kind rank with integrated ones.
std::optional<std::size_t> select_graphics_adapter(const std::vector<GraphicsAdapter>& adapters);
