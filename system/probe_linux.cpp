// The probe's sources on Linux: cpuid (cpuid_brand.h), sysfs, procfs, the cgroup tree,
// os-release, uname and the host name.
#include "system/probe_linux.h"

#include <sched.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>

#include "system/arm_cpu_names.h"
#include "system/cpu_topology_linux.h"
#include "system/cpuid_brand.h"
#include "system/graphics_linux.h"
#include "system/proc_parsers.h"

namespace {

// The mask may be larger than the default cpu_set_t on machines with more than 1024 processors.
std::optional<std::uint32_t> sched_affinity_count() {
  for (int cpus = 1024; cpus <= (1 << 20); cpus *= 2) {
    cpu_set_t* set = CPU_ALLOC(cpus);
    if (set == nullptr) return std::nullopt;
    const std::size_t size = CPU_ALLOC_SIZE(cpus);
    CPU_ZERO_S(size, set);
    const int rc = sched_getaffinity(0, size, set);
    const int count = CPU_COUNT_S(size, set);
    CPU_FREE(set);
    if (rc == 0) return static_cast<std::uint32_t>(count);
    if (errno != EINVAL) return std::nullopt;
  }
  return std::nullopt;
}

class LinuxSystemSources final : public ISystemSources {
 public:
  LinuxSystemSources(const std::string& root, bool this_process)
      : root_(root == "/" ? std::string() : root), cpu_root_(root_ + "/sys/devices/system/cpu"), live_(this_process) {}

  std::string cpu_brand() override {
    std::string brand = live_ ? cpuid_brand() : std::string();
    if (brand.find_first_not_of(' ') != std::string::npos) return brand;
    // Other architectures, hypervisors that hide the brand leaves, and captured trees.
    const std::string cpuinfo = file("/proc/cpuinfo");
    if (cpuinfo_value(cpuinfo, "model name")) return cpuinfo_processor_name(cpuinfo);
    const std::vector<ArmCore> cores = cpuinfo_arm_cores(cpuinfo);
    if (!cores.empty()) {
      std::string compatible = file("/proc/device-tree/compatible");
      if (compatible.empty()) compatible = file("/sys/firmware/devicetree/base/compatible");
      return arm_processor_name(device_tree_soc_name(compatible), cores);
    }
    const std::string fallback = cpuinfo_processor_name(cpuinfo);
    return fallback.empty() ? brand : fallback;
  }

  std::uint32_t physical_cores() override {
    // A core is a distinct set of hardware threads. Package and core numbers are not enough:
    // device-tree machines report package 0 everywhere and restart core_id in each cluster.
    std::set<std::vector<unsigned>> siblings;
    std::vector<CoreLocation> locations;
    for (unsigned cpu : online_cpus()) {
      const std::string topology = cpu_dir(cpu) + "topology/";
      std::string list = read_proc_file(topology + "core_cpus_list");
      if (list.empty()) list = read_proc_file(topology + "thread_siblings_list");  // kernels before 5.x
      if (auto cpus = parse_cpu_list(list); !cpus.empty()) siblings.insert(std::move(cpus));
      const auto package = parse_unsigned(read_proc_file(topology + "physical_package_id"));
      const auto core = parse_unsigned(read_proc_file(topology + "core_id"));
      if (!package || !core) continue;
      const auto die = parse_unsigned(read_proc_file(topology + "die_id")).value_or(0);
      locations.push_back(CoreLocation{static_cast<std::int64_t>(*package), static_cast<std::int64_t>(die),
                                       static_cast<std::int64_t>(*core)});
    }
    if (!siblings.empty()) return static_cast<std::uint32_t>(siblings.size());
    if (locations.empty()) locations = cpuinfo_core_locations(file("/proc/cpuinfo"));
    return count_physical_cores(locations);
  }

  std::uint32_t logical_processors() override {
    const auto online = parse_cpu_list(file("/sys/devices/system/cpu/online"));
    if (!online.empty()) return static_cast<std::uint32_t>(online.size());
    return live_ ? std::thread::hardware_concurrency() : 0;
  }

  double clock_mhz() override {
    std::vector<CoreClock> clocks;
    for (unsigned cpu : online_cpus()) {
      const std::string dir = cpu_dir(cpu);
      CoreClock c;
      c.max_khz = parse_unsigned(read_proc_file(dir + "cpufreq/cpuinfo_max_freq")).value_or(0);
      c.base_khz = parse_unsigned(read_proc_file(dir + "cpufreq/base_frequency")).value_or(0);
      c.nominal_mhz = parse_unsigned(read_proc_file(dir + "acpi_cppc/nominal_freq")).value_or(0);
      clocks.push_back(c);
    }
    if (const double mhz = nominal_clock_mhz(clocks); mhz > 0.0) return mhz;
    return cpuinfo_mhz(file("/proc/cpuinfo"));
  }

  std::vector<CacheRecord> cache_records() override {
    std::vector<CacheRecord> records;
    for (int i = 0; i < 64; ++i) {
      const std::string dir = cpu_root_ + "/cpu0/cache/index" + std::to_string(i) + "/";
      const std::string level = read_proc_file(dir + "level");
      if (level.empty()) break;
      const auto parsed_level = parse_unsigned(level);
      const auto size = parse_cache_size(read_proc_file(dir + "size"));
      if (!parsed_level || !size || *parsed_level > 16) continue;
      records.push_back(
          CacheRecord{static_cast<unsigned>(*parsed_level), parse_cache_type(read_proc_file(dir + "type")), *size});
    }
    return records;
  }

  MemoryStatus memory() override { return parse_meminfo(file("/proc/meminfo")).value_or(MemoryStatus{}); }

  std::string os_name() override {
    std::string pretty = os_release_pretty_name(file("/etc/os-release"));
    if (pretty.empty()) pretty = os_release_pretty_name(file("/usr/lib/os-release"));
    std::string release = trim_line(file("/proc/sys/kernel/osrelease"));
    utsname u{};
    if (live_ && ::uname(&u) == 0) {
      if (pretty.empty()) pretty = u.sysname;
      release = u.release;
    }
    return format_os_name(pretty, release);
  }

  std::string computer_name() override {
    if (!live_) return trim_line(file("/proc/sys/kernel/hostname"));
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return {};
    return name;
  }

  std::vector<GraphicsAdapter> graphics_adapters() override {
    if (!live_) return drm_graphics_adapters(root_ + "/sys/class/drm");
    auto adapters = vulkan_graphics_adapters();
    // A loader without a driver for the real device lists only software renderers, or
    // nothing: the DRM devices still know the hardware.
    if (select_graphics_adapter(adapters)) return adapters;
    return drm_graphics_adapters();
  }

  std::optional<std::uint32_t> affinity_processors() override {
    if (live_) {
      if (const auto count = sched_affinity_count()) return count;
    }
    return status_allowed_processors(file("/proc/self/status"));
  }

  std::vector<CoreType> core_types() override {
    return read_linux_cpu_topology(root_, live_ ? live_cpuid_core_types() : nullptr).types;
  }

  std::optional<std::uint32_t> quota_processors() override {
    // Every cgroup from this process's own up to the root may limit it; the tightest counts.
    std::string path = cgroup_v2_path(file("/proc/self/cgroup"));
    if (path.empty()) return std::nullopt;
    std::optional<std::uint32_t> tightest;
    for (;;) {
      if (const auto limit = cpu_max_processors(file("/sys/fs/cgroup" + (path == "/" ? "" : path) + "/cpu.max")))
        tightest = tightest ? std::min(*tightest, *limit) : *limit;
      if (path == "/" || path.empty()) break;
      const auto slash = path.rfind('/');
      path = slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
    }
    return tightest;
  }

 private:
  std::string file(const std::string& path) const { return read_proc_file(root_ + path); }
  std::string cpu_dir(unsigned cpu) const { return cpu_root_ + "/cpu" + std::to_string(cpu) + "/"; }
  std::vector<unsigned> online_cpus() const { return parse_cpu_list(file("/sys/devices/system/cpu/online")); }
  static std::string trim_line(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
  }

  const std::string root_;  // empty for this machine's "/"
  const std::string cpu_root_;
  const bool live_;
};

}  // namespace

std::unique_ptr<ISystemSources> make_linux_system_sources(const std::string& root, bool this_process) {
  return std::make_unique<LinuxSystemSources>(root, this_process);
}

std::unique_ptr<ISystemSources> make_platform_system_sources() { return make_linux_system_sources("/", true); }
