#include "system/sysfs_sensors.h"

#include <charconv>
#include <cstdlib>

#include "system/proc_parsers.h"
#include "system/sensor_sample.h"

namespace {

std::string channel_file(const HwmonChip& chip, unsigned n, const char* suffix) {
  return chip.dir + "/temp" + std::to_string(n) + "_" + suffix;
}

void add_channel(TemperatureChoice& choice, const HwmonChip& chip, unsigned n) {
  choice.inputs.push_back(channel_file(chip, n, "input"));
  choice.limit_candidates.push_back(channel_file(chip, n, "crit"));
  choice.limit_candidates.push_back(channel_file(chip, n, "max"));
}

// The first channel of a chip with one of the labels, in the order given.
std::optional<TemperatureChoice> labelled(const std::vector<HwmonChip>& chips, std::string_view driver,
                                          std::initializer_list<std::string_view> labels) {
  for (const std::string_view wanted : labels) {
    for (const HwmonChip& chip : chips) {
      if (chip.name != driver) continue;
      for (const auto& [n, label] : chip.temperature_labels) {
        if (label != wanted) continue;
        TemperatureChoice choice{chip.name + " " + label, {}, {}};
        add_channel(choice, chip, n);
        return choice;
      }
    }
  }
  return std::nullopt;
}

std::string_view trim_view(std::string_view s) {
  constexpr std::string_view space = " \t\r\n";
  const auto first = s.find_first_not_of(space);
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(space) - first + 1);
}

}  // namespace

std::optional<TemperatureChoice> choose_package_temperature(const std::vector<HwmonChip>& chips,
                                                            const std::vector<ThermalZone>& zones) {
  // Every package of a multi-socket machine: the run heats them all, and the hottest one is
  // the one that throttles first.
  TemperatureChoice packages;
  for (const HwmonChip& chip : chips) {
    if (chip.name != "coretemp") continue;
    for (const auto& [n, label] : chip.temperature_labels) {
      if (label.rfind("Package id ", 0) != 0) continue;
      add_channel(packages, chip, n);
      packages.description = packages.description.empty() ? "coretemp " + label : "coretemp Package id (hottest)";
    }
  }
  if (!packages.inputs.empty()) return packages;
  // Tdie is the real die temperature; Tctl carries an offset on some models, for fan control.
  if (auto k10 = labelled(chips, "k10temp", {"Tdie", "Tctl"})) return k10;
  if (auto zen = labelled(chips, "zenpower", {"Tdie", "Tctl"})) return zen;
  for (const std::string_view driver : {"zenpower", "cpu_thermal", "soc_thermal"}) {
    for (const HwmonChip& chip : chips) {
      if (chip.name != driver || chip.temperature_labels.empty()) continue;
      TemperatureChoice choice{chip.name, {}, {}};
      add_channel(choice, chip, chip.temperature_labels.begin()->first);
      return choice;
    }
  }
  for (const bool exact : {true, false}) {
    for (const ThermalZone& zone : zones) {
      const bool match = exact ? zone.type == "x86_pkg_temp" : zone.type.find("cpu") != std::string::npos;
      if (match) return TemperatureChoice{"thermal zone " + zone.type, {zone.dir + "/temp"}, {}};
    }
  }
  return std::nullopt;
}

bool is_rapl_package_zone(std::string_view entry_name, std::string_view zone_name) {
  constexpr std::string_view prefix = "intel-rapl:";
  if (entry_name.substr(0, prefix.size()) != prefix) return false;
  const std::string_view number = entry_name.substr(prefix.size());
  if (number.empty() || number.find_first_not_of("0123456789") != std::string_view::npos) return false;
  zone_name = trim_view(zone_name);
  return zone_name.empty() || zone_name.substr(0, 8) == "package-";
}

bool runs_on_battery(const std::vector<PowerSupply>& supplies) {
  for (const PowerSupply& s : supplies) {
    if (s.scope == "Device") continue;
    if (s.type == "Mains" && s.online == "0") return true;
    if (s.type == "Battery" && s.status == "Discharging") return true;
  }
  return false;
}

std::optional<double> parse_millidegrees(std::string_view text) {
  text = trim_view(text);
  long long value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return plausible_temp_c(static_cast<double>(value) / 1000.0);
}

std::map<unsigned, double> cpuinfo_mhz_by_processor(std::string_view cpuinfo) {
  std::map<unsigned, double> out;
  std::optional<unsigned> processor;
  while (!cpuinfo.empty()) {
    const auto end = cpuinfo.find('\n');
    const std::string_view line = cpuinfo.substr(0, end);
    cpuinfo = end == std::string_view::npos ? std::string_view{} : cpuinfo.substr(end + 1);
    const auto colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    const std::string_view key = trim_view(line.substr(0, colon));
    const std::string value(trim_view(line.substr(colon + 1)));
    if (key == "processor") {
      const auto n = parse_unsigned(value);
      processor = n ? std::optional<unsigned>(static_cast<unsigned>(*n)) : std::nullopt;
    } else if (key == "cpu MHz" && processor) {
      char* stop = nullptr;
      const double mhz = std::strtod(value.c_str(), &stop);
      if (stop != value.c_str() && *stop == '\0') out[*processor] = mhz;
    }
  }
  return out;
}

std::optional<std::uint64_t> parse_proc_stat_cpu_ticks(std::string_view stat) {
  const auto close = stat.rfind(')');
  if (close == std::string_view::npos) return std::nullopt;
  std::string_view rest = stat.substr(close + 1);
  // After the name: state (field 3) ... utime (14), stime (15).
  std::uint64_t sum = 0;
  for (int field = 3; field <= 15; ++field) {
    rest = trim_view(rest);
    const auto space = rest.find(' ');
    const std::string_view word = rest.substr(0, space);
    if (word.empty()) return std::nullopt;
    if (field >= 14) {
      const auto ticks = parse_unsigned(word);
      if (!ticks) return std::nullopt;
      sum += *ticks;
    }
    rest = space == std::string_view::npos ? std::string_view{} : rest.substr(space);
  }
  return sum;
}
