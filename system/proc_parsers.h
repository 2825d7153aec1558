#pragma once
// Parsers of the texts Linux offers in /proc, /sys and /etc. They take the captured contents,
// so they are tested without the platform; every one tolerates malformed input.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "system/cpu_usage_monitor.h"
#include "system/probe.h"

// A decimal or "0x" hexadecimal number with surrounding white space, as sysfs files hold it.
std::optional<std::uint64_t> parse_unsigned(std::string_view text);
std::optional<std::uint64_t> parse_hex(std::string_view text);

// The value of the first "key : value" line of /proc/cpuinfo with that key, trimmed.
std::optional<std::string> cpuinfo_value(std::string_view cpuinfo, std::string_view key);
// The best processor name /proc/cpuinfo offers on any architecture; empty when none.
std::string cpuinfo_processor_name(std::string_view cpuinfo);
// "cpu MHz" of the first processor; 0 when absent or malformed.
double cpuinfo_mhz(std::string_view cpuinfo);

// A kernel CPU list such as "0-3,8,10-11". Malformed parts are skipped.
std::vector<unsigned> parse_cpu_list(std::string_view text);

// One processor's place in the topology; a physical core is a distinct triple.
struct CoreLocation {
  std::int64_t package = 0, die = 0, core = 0;
  friend bool operator==(const CoreLocation&, const CoreLocation&) = default;
};
std::uint32_t count_physical_cores(const std::vector<CoreLocation>& processors);
// (physical id, core id) of every processor in /proc/cpuinfo that lists both.
std::vector<CoreLocation> cpuinfo_core_locations(std::string_view cpuinfo);

// A sysfs cache size such as "48K", "1024K" or "32M", in bytes.
std::optional<std::uint64_t> parse_cache_size(std::string_view text);
CacheType parse_cache_type(std::string_view text);

// MemTotal and MemAvailable of /proc/meminfo, in bytes; MemFree when MemAvailable is missing.
std::optional<MemoryStatus> parse_meminfo(std::string_view meminfo);

// PRETTY_NAME of an os-release file, unquoted; empty when absent.
std::string os_release_pretty_name(std::string_view os_release);
// "PRETTY_NAME (kernel release)"; either part may be missing.
std::string format_os_name(const std::string& pretty_name, const std::string& kernel_release);

// The unified (v2) hierarchy's path in /proc/self/cgroup ("0::/user.slice"); empty when absent.
std::string cgroup_v2_path(std::string_view proc_self_cgroup);
// cgroup v2 cpu.max ("400000 100000", or "max 100000" for no limit) as whole processors,
// rounded up: a quota of 1.5 processors lets 2 threads run. nullopt when there is no limit.
std::optional<std::uint32_t> cpu_max_processors(std::string_view cpu_max);
// The number of processors in "Cpus_allowed_list" of /proc/<pid>/status (the affinity mask).
std::optional<std::uint32_t> status_allowed_processors(std::string_view status);

// The first line of /proc/stat as the monitor's three counters.
std::optional<SystemTimes> parse_proc_stat(std::string_view stat);

// The kind of a DRM device from its kernel driver's name: emulated and firmware display
// devices are Virtual, software renderers Cpu, everything else Unknown.
AdapterKind drm_driver_kind(std::string_view driver);

// The whole of a /proc or /sys file; empty when it is missing or unreadable, as the parsers
// above take an empty text for "no value".
std::string read_proc_file(const std::string& path);
