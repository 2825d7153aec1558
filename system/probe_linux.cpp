// The probe's sources on Linux: cpuid, sysfs, procfs, os-release, uname and the host name.
#include <sys/utsname.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

#include "system/graphics_linux.h"
#include "system/probe.h"
#include "system/proc_parsers.h"

namespace {

const char* const kCpuRoot = "/sys/devices/system/cpu";

std::string read_file(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string cpuid_brand() {
#if defined(__x86_64__) || defined(__i386__)
  if (static_cast<unsigned>(__get_cpuid_max(0x80000000u, nullptr)) < 0x80000004u) return {};
  char brand[49] = {};
  for (unsigned leaf = 0; leaf < 3; ++leaf) {
    unsigned regs[4] = {};
    __get_cpuid(0x80000002u + leaf, &regs[0], &regs[1], &regs[2], &regs[3]);  // eax, ebx, ecx, edx
    std::memcpy(brand + 16 * leaf, regs, sizeof regs);
  }
  return std::string(brand);  // up to the first zero byte
#else
  return {};
#endif
}

class LinuxSystemSources final : public ISystemSources {
 public:
  std::string cpu_brand() override {
    std::string brand = cpuid_brand();
    if (brand.find_first_not_of(' ') == std::string::npos) {
      // Other architectures, and hypervisors that hide the brand leaves.
      const std::string fallback = cpuinfo_processor_name(read_file("/proc/cpuinfo"));
      if (!fallback.empty()) brand = fallback;
    }
    return brand;
  }

  std::uint32_t physical_cores() override {
    std::vector<CoreLocation> cores;
    for (unsigned cpu : parse_cpu_list(read_file(std::string(kCpuRoot) + "/online"))) {
      const std::string topology = std::string(kCpuRoot) + "/cpu" + std::to_string(cpu) + "/topology/";
      const auto package = parse_unsigned(read_file(topology + "physical_package_id"));
      const auto core = parse_unsigned(read_file(topology + "core_id"));
      if (!package || !core) continue;
      // Core numbers may repeat on the dies of one package, where the kernel reports them.
      const auto die = parse_unsigned(read_file(topology + "die_id")).value_or(0);
      cores.push_back(CoreLocation{static_cast<std::int64_t>(*package), static_cast<std::int64_t>(die),
                                   static_cast<std::int64_t>(*core)});
    }
    if (cores.empty()) cores = cpuinfo_core_locations(read_file("/proc/cpuinfo"));
    return count_physical_cores(cores);
  }

  std::uint32_t logical_processors() override { return std::thread::hardware_concurrency(); }

  double clock_mhz() override {
    // The nominal clock: base_frequency where the driver knows it (the maximum includes turbo).
    const std::string cpufreq = std::string(kCpuRoot) + "/cpu0/cpufreq/";
    for (const char* file : {"base_frequency", "cpuinfo_max_freq"})
      if (const auto khz = parse_unsigned(read_file(cpufreq + file)); khz && *khz > 0) return *khz / 1000.0;
    return cpuinfo_mhz(read_file("/proc/cpuinfo"));
  }

  std::vector<CacheRecord> cache_records() override {
    std::vector<CacheRecord> records;
    for (int i = 0; i < 64; ++i) {
      const std::string dir = std::string(kCpuRoot) + "/cpu0/cache/index" + std::to_string(i) + "/";
      const std::string level = read_file(dir + "level");
      if (level.empty()) break;
      const auto parsed_level = parse_unsigned(level);
      const auto size = parse_cache_size(read_file(dir + "size"));
      if (!parsed_level || !size || *parsed_level > 16) continue;
      records.push_back(
          CacheRecord{static_cast<unsigned>(*parsed_level), parse_cache_type(read_file(dir + "type")), *size});
    }
    return records;
  }

  MemoryStatus memory() override { return parse_meminfo(read_file("/proc/meminfo")).value_or(MemoryStatus{}); }

  std::string os_name() override {
    std::string pretty = os_release_pretty_name(read_file("/etc/os-release"));
    if (pretty.empty()) pretty = os_release_pretty_name(read_file("/usr/lib/os-release"));
    utsname u{};
    const bool have_uname = ::uname(&u) == 0;
    if (pretty.empty() && have_uname) pretty = u.sysname;
    return format_os_name(pretty, have_uname ? u.release : "");
  }

  std::string computer_name() override {
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return {};
    return name;
  }

  std::vector<GraphicsAdapter> graphics_adapters() override {
    auto adapters = vulkan_graphics_adapters();
    // A loader without a driver for the real device lists only software renderers, or
    // nothing: the DRM devices still know the hardware.
    if (select_graphics_adapter(adapters)) return adapters;
    return drm_graphics_adapters();
  }
};

}  // namespace

std::unique_ptr<ISystemSources> make_platform_system_sources() { return std::make_unique<LinuxSystemSources>(); }
