#pragma once
// The choices the Linux sensor source makes from sysfs names and texts, kept apart from the
// files so they are tested without them: which temperature is the package's, which powercap
// zones are packages, and when a machine runs on battery.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One hwmon chip (/sys/class/hwmon/hwmonN): its driver name and its temperature channels.
struct HwmonChip {
  std::string dir;
  std::string name;
  std::map<unsigned, std::string> temperature_labels;  // N of tempN_input -> tempN_label ("" if none)
};

struct ThermalZone {
  std::string dir;  // /sys/class/thermal/thermal_zoneN
  std::string type;
};

// The files that give the package temperature: the hottest of `inputs` (coretemp has one per
// package), with the limit in the matching `limits` (tempN_crit, else tempN_max; may be absent).
struct TemperatureChoice {
  std::string description;  // "coretemp Package id 0", "thermal zone x86_pkg_temp"
  std::vector<std::string> inputs;
  std::vector<std::string> limit_candidates;  // per input: tempN_crit then tempN_max
};

// In order: coretemp "Package id N" (all packages), k10temp Tdie else Tctl, zenpower (Tdie,
// Tctl, else its first channel), cpu_thermal / soc_thermal, then a thermal zone of type
// x86_pkg_temp or containing "cpu". nullopt when none of them is present.
std::optional<TemperatureChoice> choose_package_temperature(const std::vector<HwmonChip>& chips,
                                                            const std::vector<ThermalZone>& zones);

// A powercap entry that is a whole package: "intel-rapl:N" (not its subzones
// "intel-rapl:N:M"), whose name is "package-N". The top-level "psys" zone of laptops also has
// the form intel-rapl:N but covers the whole platform, package included: summing it would
// count the package twice.
bool is_rapl_package_zone(std::string_view entry_name, std::string_view zone_name);

// One /sys/class/power_supply entry's files, trimmed; absent files are empty.
struct PowerSupply {
  std::string type;    // "Mains", "Battery", "USB", ...
  std::string online;  // Mains: "1" or "0"
  std::string status;  // Battery: "Charging", "Discharging", "Full", ...
  std::string scope;   // "Device" for a mouse's or a UPS's battery, which says nothing of this machine
};
// On battery: a Mains supply that is offline, or a system battery that is discharging.
bool runs_on_battery(const std::vector<PowerSupply>& supplies);

// Millidegrees Celsius as sysfs gives them (may be negative), checked against the bounds.
std::optional<double> parse_millidegrees(std::string_view text);
// "cpu MHz" of each "processor" block of /proc/cpuinfo.
std::map<unsigned, double> cpuinfo_mhz_by_processor(std::string_view cpuinfo);
// utime + stime of /proc/<pid>/stat, in clock ticks; the command name may hold spaces and ")".
std::optional<std::uint64_t> parse_proc_stat_cpu_ticks(std::string_view stat);
