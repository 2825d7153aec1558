// The sensors of a Linux machine: cpufreq (or a moving "cpu MHz"), hwmon and thermal zones,
// powercap RAPL packages and power_supply.
#include "system/sensor_source_linux.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "system/proc_parsers.h"
#include "system/sysfs_sensors.h"

namespace fs = std::filesystem;

SysfsRead read_sysfs_file(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {{}, errno};
  SysfsRead result;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) {
      result.text.append(buffer, static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) result.error = errno;
    break;
  }
  ::close(fd);
  if (result.error != 0) result.text.clear();
  return result;
}

namespace {

// Directory entries sorted by name, so that hwmon0 comes before hwmon1 on every file system.
std::vector<fs::path> entries(const fs::path& dir) {
  std::vector<fs::path> out;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) out.push_back(it->path());
  std::sort(out.begin(), out.end());
  return out;
}

std::string trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ' || text.back() == '\r')) text.pop_back();
  return text;
}

struct RaplPackage {
  std::string energy_file;
  std::uint64_t range_microjoules = 0;
};

class LinuxSensorSource final : public ISensorSource {
 public:
  LinuxSensorSource(const std::string& root, SysfsReader reader)
      : root_(root == "/" ? std::string() : root), read_(std::move(reader)) {
    find_clock();
    find_temperature();
    find_power();
  }

  SensorReadout read(const std::vector<unsigned>& processors) override {
    SensorReadout r;
    r.clock_mhz = clock(processors.empty() ? online_ : processors);
    r.temp_c = temperature();
    r.energy = energy();
    return r;
  }

  SensorOffer offer() override { return offer_; }

  std::optional<bool> on_battery() override {
    std::vector<PowerSupply> supplies;
    for (const fs::path& dir : entries(root_ + "/sys/class/power_supply")) {
      const std::string d = dir.string() + "/";
      supplies.push_back({text(d + "type"), text(d + "online"), text(d + "status"), text(d + "scope")});
    }
    return runs_on_battery(supplies);
  }

 private:
  std::string text(const std::string& path) const { return trimmed(read_(path).text); }

  std::string cpufreq_file(unsigned cpu) const {
    return root_ + "/sys/devices/system/cpu/cpu" + std::to_string(cpu) + "/cpufreq/scaling_cur_freq";
  }

  void find_clock() {
    online_ = parse_cpu_list(text(root_ + "/sys/devices/system/cpu/online"));
    for (unsigned cpu : online_) {
      if (read_(cpufreq_file(cpu)).error == 0) {
        offer_.clock = "cpufreq scaling_cur_freq";
        return;
      }
    }
    if (!cpuinfo_mhz_by_processor(text(root_ + "/proc/cpuinfo")).empty()) {
      offer_.clock = "/proc/cpuinfo \"cpu MHz\" (used only while it moves)";
      return;
    }
    offer_.missing.push_back("clock: no cpufreq scaling_cur_freq and no \"cpu MHz\" in /proc/cpuinfo");
  }

  std::optional<double> clock(const std::vector<unsigned>& processors) {
    double sum = 0.0;
    int count = 0;
    // A processor whose file is missing or wrong is left out of the mean for this sample.
    for (unsigned cpu : processors) {
      const auto khz = parse_unsigned(read_(cpufreq_file(cpu)).text);
      if (!khz) continue;
      if (const auto mhz = plausible_clock_mhz(static_cast<double>(*khz) / 1000.0)) {
        sum += *mhz;
        ++count;
      }
    }
    if (count > 0) return sum / count;
    return moving_cpuinfo_clock(processors);
  }

  // Hypervisors report the host's nominal clock in "cpu MHz" and never change it: such a
  // value is no measurement. It counts from the first read that differs from the first one.
  std::optional<double> moving_cpuinfo_clock(const std::vector<unsigned>& processors) {
    const auto mhz = cpuinfo_mhz_by_processor(text(root_ + "/proc/cpuinfo"));
    double sum = 0.0;
    int count = 0;
    for (unsigned cpu : processors) {
      const auto it = mhz.find(cpu);
      if (it == mhz.end()) continue;
      sum += it->second;
      ++count;
    }
    if (count == 0) return std::nullopt;
    const double mean = sum / count;
    if (!first_cpuinfo_mhz_) first_cpuinfo_mhz_ = mean;
    if (mean != *first_cpuinfo_mhz_) cpuinfo_moves_ = true;
    return cpuinfo_moves_ ? plausible_clock_mhz(mean) : std::nullopt;
  }

  void find_temperature() {
    std::vector<HwmonChip> chips;
    for (const fs::path& dir : entries(root_ + "/sys/class/hwmon")) {
      HwmonChip chip{dir.string(), text(dir.string() + "/name"), {}};
      for (const fs::path& file : entries(dir)) {
        const std::string name = file.filename().string();
        unsigned n = 0;
        char suffix[8] = {};
        if (std::sscanf(name.c_str(), "temp%u_%7s", &n, suffix) == 2 && std::strcmp(suffix, "input") == 0) {
          chip.temperature_labels[n] = text(dir.string() + "/temp" + std::to_string(n) + "_label");
        }
      }
      chips.push_back(std::move(chip));
    }
    std::vector<ThermalZone> zones;
    for (const fs::path& dir : entries(root_ + "/sys/class/thermal")) {
      if (dir.filename().string().rfind("thermal_zone", 0) == 0) zones.push_back({dir.string(), text(dir / "type")});
    }
    const auto choice = choose_package_temperature(chips, zones);
    if (!choice) {
      offer_.missing.push_back(
          "temperature: no coretemp, k10temp, zenpower or cpu_thermal sensor and no CPU thermal zone");
      return;
    }
    temperature_inputs_ = choice->inputs;
    offer_.temperature = choice->description;
    for (std::size_t i = 0; i + 1 < choice->limit_candidates.size(); i += 2) {
      auto limit = parse_millidegrees(text(choice->limit_candidates[i]));
      if (!limit) limit = parse_millidegrees(text(choice->limit_candidates[i + 1]));
      if (limit && (!offer_.temp_limit_c || *limit < *offer_.temp_limit_c)) offer_.temp_limit_c = limit;
    }
  }

  std::optional<double> temperature() const {
    std::optional<double> hottest;
    for (const std::string& input : temperature_inputs_) {
      const auto c = parse_millidegrees(read_(input).text);
      if (c && (!hottest || *c > *hottest)) hottest = c;
    }
    return hottest;
  }

  void find_power() {
    const std::string powercap = root_ + "/sys/class/powercap";
    for (const fs::path& dir : entries(powercap)) {
      const std::string d = dir.string();
      if (!is_rapl_package_zone(dir.filename().string(), text(d + "/name"))) continue;
      const SysfsRead probe = read_(d + "/energy_uj");
      if (probe.error == ENOENT) continue;
      if (probe.error == EACCES || probe.error == EPERM) {
        offer_.missing.push_back(
            "power: /sys/class/powercap is readable by root only (since 2020, as energy readings can leak "
            "secrets); packaging/60-strelvik-powercap.rules gives a group read access, see the README");
        packages_.clear();
        return;
      }
      if (probe.error != 0) {
        offer_.missing.push_back("power: " + d.substr(root_.size()) + "/energy_uj cannot be read (" +
                                 std::strerror(probe.error) + ")");
        packages_.clear();
        return;
      }
      packages_.push_back({d + "/energy_uj", parse_unsigned(text(d + "/max_energy_range_uj")).value_or(0)});
    }
    if (packages_.empty()) {
      offer_.missing.push_back("power: no powercap intel-rapl package zone");
      return;
    }
    offer_.power = "powercap intel-rapl (" + std::to_string(packages_.size()) +
                   (packages_.size() == 1 ? " package)" : " packages)");
  }

  // All packages or none: a sum that misses one would be a wrong reading, not a smaller one.
  std::vector<EnergyCounter> energy() const {
    std::vector<EnergyCounter> counters;
    for (const RaplPackage& p : packages_) {
      const auto uj = parse_unsigned(read_(p.energy_file).text);
      if (!uj || (p.range_microjoules != 0 && *uj > p.range_microjoules)) return {};
      counters.push_back({*uj, p.range_microjoules});
    }
    return counters;
  }

  const std::string root_;
  const SysfsReader read_;
  SensorOffer offer_;
  std::vector<unsigned> online_;
  std::optional<double> first_cpuinfo_mhz_;
  bool cpuinfo_moves_ = false;
  std::vector<std::string> temperature_inputs_;
  std::vector<RaplPackage> packages_;
};

}  // namespace

std::unique_ptr<ISensorSource> make_linux_sensor_source(const std::string& root, SysfsReader reader) {
  return std::make_unique<LinuxSensorSource>(root, std::move(reader));
}

std::unique_ptr<ISensorSource> make_platform_sensor_source(const std::string& machine_root) {
  return make_linux_sensor_source(machine_root.empty() ? "/" : machine_root);
}
