#include "system/proc_parsers.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

constexpr std::string_view kSpace = " \t\r\n\v\f";

std::string_view trim(std::string_view s) {
  const auto first = s.find_first_not_of(kSpace);
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(kSpace);
  return s.substr(first, last - first + 1);
}

template <typename Fn>
void for_each_line(std::string_view text, Fn fn) {
  while (!text.empty()) {
    const auto end = text.find('\n');
    if (fn(text.substr(0, end)) == false) return;
    if (end == std::string_view::npos) return;
    text.remove_prefix(end + 1);
  }
}

std::optional<std::uint64_t> parse_digits(std::string_view s, int base) {
  if (s.empty()) return std::nullopt;
  std::uint64_t value = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value, base);
  if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
  return value;
}

std::optional<std::int64_t> parse_signed(std::string_view s) {
  s = trim(s);
  std::int64_t value = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (s.empty() || ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
  return value;
}

// Splits "key<TAB>: value" of cpuinfo; the key is trimmed.
bool split_key_value(std::string_view line, std::string_view& key, std::string_view& value) {
  const auto colon = line.find(':');
  if (colon == std::string_view::npos) return false;
  key = trim(line.substr(0, colon));
  value = trim(line.substr(colon + 1));
  return true;
}

}  // namespace

std::optional<std::uint64_t> parse_unsigned(std::string_view text) { return parse_digits(trim(text), 10); }

std::optional<std::uint64_t> parse_hex(std::string_view text) {
  text = trim(text);
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text.remove_prefix(2);
  return parse_digits(text, 16);
}

std::optional<std::string> cpuinfo_value(std::string_view cpuinfo, std::string_view key) {
  std::optional<std::string> found;
  for_each_line(cpuinfo, [&](std::string_view line) {
    std::string_view k, v;
    if (split_key_value(line, k, v) && k == key) {
      found = std::string(v);
      return false;
    }
    return true;
  });
  return found;
}

std::string cpuinfo_processor_name(std::string_view cpuinfo) {
  // x86 "model name"; older ARM kernels "Processor" with a name (newer ones only a number
  // under "processor"); "Hardware" names the SoC; "cpu model" on MIPS, "cpu" on POWER.
  for (std::string_view key : {"model name", "Processor", "cpu model", "Hardware", "cpu"}) {
    if (auto v = cpuinfo_value(cpuinfo, key); v && !v->empty() && !parse_unsigned(*v)) return *v;
  }
  return {};
}

double cpuinfo_mhz(std::string_view cpuinfo) {
  const auto v = cpuinfo_value(cpuinfo, "cpu MHz");
  if (!v) return 0.0;
  char* end = nullptr;
  const double mhz = std::strtod(v->c_str(), &end);
  if (end == v->c_str() || !(mhz > 0.0) || mhz > 1e7) return 0.0;
  return mhz;
}

std::vector<unsigned> parse_cpu_list(std::string_view text) {
  std::vector<unsigned> cpus;
  text = trim(text);
  while (!text.empty()) {
    const auto comma = text.find(',');
    const std::string_view part = trim(text.substr(0, comma));
    text = comma == std::string_view::npos ? std::string_view{} : text.substr(comma + 1);
    const auto dash = part.find('-');
    const auto lo = parse_digits(part.substr(0, dash), 10);
    const auto hi = dash == std::string_view::npos ? lo : parse_digits(part.substr(dash + 1), 10);
    // A range is bounded so that a corrupt file cannot ask for billions of entries.
    if (!lo || !hi || *hi < *lo || *hi - *lo > 65535 || *hi > 0xFFFFFFFFu) continue;
    for (auto c = *lo; c <= *hi; ++c) cpus.push_back(static_cast<unsigned>(c));
  }
  std::sort(cpus.begin(), cpus.end());
  cpus.erase(std::unique(cpus.begin(), cpus.end()), cpus.end());
  return cpus;
}

std::uint32_t count_physical_cores(const std::vector<CoreLocation>& processors) {
  std::vector<CoreLocation> distinct;
  for (const auto& p : processors)
    if (std::find(distinct.begin(), distinct.end(), p) == distinct.end()) distinct.push_back(p);
  return static_cast<std::uint32_t>(distinct.size());
}

std::vector<CoreLocation> cpuinfo_core_locations(std::string_view cpuinfo) {
  std::vector<CoreLocation> out;
  std::optional<std::int64_t> package, core;
  auto finish = [&] {
    if (package && core) out.push_back(CoreLocation{*package, 0, *core});
    package.reset();
    core.reset();
  };
  for_each_line(cpuinfo, [&](std::string_view line) {
    std::string_view k, v;
    if (trim(line).empty())
      finish();  // a blank line ends one processor's block
    else if (split_key_value(line, k, v)) {
      if (k == "physical id") package = parse_signed(v);
      if (k == "core id") core = parse_signed(v);
    }
    return true;
  });
  finish();
  return out;
}

std::optional<std::uint64_t> parse_cache_size(std::string_view text) {
  text = trim(text);
  std::uint64_t unit = 1;
  if (!text.empty()) {
    switch (text.back()) {
      case 'K': unit = std::uint64_t{1} << 10; break;
      case 'M': unit = std::uint64_t{1} << 20; break;
      case 'G': unit = std::uint64_t{1} << 30; break;
      default: break;
    }
    if (unit != 1) text.remove_suffix(1);
  }
  const auto n = parse_digits(text, 10);
  if (!n || *n > (~std::uint64_t{0}) / unit) return std::nullopt;
  return *n * unit;
}

CacheType parse_cache_type(std::string_view text) {
  text = trim(text);
  if (text == "Data") return CacheType::Data;
  if (text == "Instruction") return CacheType::Instruction;
  if (text == "Unified") return CacheType::Unified;
  return CacheType::Other;
}

std::optional<MemoryStatus> parse_meminfo(std::string_view meminfo) {
  std::optional<std::uint64_t> total, available, free;
  for_each_line(meminfo, [&](std::string_view line) {
    std::string_view k, v;
    if (!split_key_value(line, k, v)) return true;
    std::uint64_t unit = 1;
    if (v.size() >= 2 && v.substr(v.size() - 2) == "kB") {
      unit = 1024;
      v = trim(v.substr(0, v.size() - 2));
    }
    auto n = parse_digits(v, 10);
    if (n && *n > (~std::uint64_t{0}) / unit) n.reset();
    if (n) *n *= unit;
    if (k == "MemTotal") total = n;
    if (k == "MemAvailable") available = n;
    if (k == "MemFree") free = n;
    return true;
  });
  if (!total) return std::nullopt;
  return MemoryStatus{*total, available ? *available : free.value_or(0)};
}

std::string os_release_pretty_name(std::string_view os_release) {
  std::string result;
  for_each_line(os_release, [&](std::string_view line) {
    line = trim(line);
    if (line.substr(0, 12) != "PRETTY_NAME=") return true;
    std::string_view v = line.substr(12);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
      const char quote = v.front();
      v = v.substr(1, v.size() - 2);
      // Shell-style escapes are allowed inside double quotes only.
      for (std::size_t i = 0; i < v.size(); ++i) {
        if (quote == '"' && v[i] == '\\' && i + 1 < v.size()) ++i;
        result += v[i];
      }
    } else {
      result = std::string(v);
    }
    return false;
  });
  return result;
}

std::string format_os_name(const std::string& pretty_name, const std::string& kernel_release) {
  if (kernel_release.empty()) return pretty_name;
  if (pretty_name.empty()) return "(" + kernel_release + ")";
  return pretty_name + " (" + kernel_release + ")";
}

std::string cgroup_v2_path(std::string_view proc_self_cgroup) {
  std::string path;
  for_each_line(proc_self_cgroup, [&](std::string_view line) {
    if (line.substr(0, 3) != "0::") return true;
    path = std::string(trim(line.substr(3)));
    return false;
  });
  return path;
}

std::optional<std::uint32_t> cpu_max_processors(std::string_view cpu_max) {
  cpu_max = trim(cpu_max);
  const auto space = cpu_max.find(' ');
  if (space == std::string_view::npos) return std::nullopt;
  const auto quota = parse_digits(cpu_max.substr(0, space), 10);  // "max" fails here: no limit
  const auto period = parse_digits(trim(cpu_max.substr(space + 1)), 10);
  if (!quota || !period || *period == 0 || *quota == 0) return std::nullopt;
  const std::uint64_t processors = (*quota + *period - 1) / *period;
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(processors, 0xFFFFFFFFu));
}

std::optional<std::uint32_t> status_allowed_processors(std::string_view status) {
  std::optional<std::uint32_t> count;
  for_each_line(status, [&](std::string_view line) {
    std::string_view k, v;
    if (!split_key_value(line, k, v) || k != "Cpus_allowed_list") return true;
    const auto cpus = parse_cpu_list(v);
    if (!cpus.empty()) count = static_cast<std::uint32_t>(cpus.size());
    return false;
  });
  return count;
}

std::optional<SystemTimes> parse_proc_stat(std::string_view stat) {
  const auto end = stat.find('\n');
  std::string_view line = stat.substr(0, end);
  if (line.substr(0, 4) != "cpu ") return std::nullopt;
  line.remove_prefix(4);
  // user nice system idle iowait irq softirq steal guest guest_nice; older kernels stop early.
  std::uint64_t f[10] = {};
  int count = 0;
  while (count < 10) {
    line = trim(line);
    if (line.empty()) break;
    const auto space = line.find_first_of(kSpace);
    const auto n = parse_digits(line.substr(0, space), 10);
    if (!n) return std::nullopt;
    f[count++] = *n;
    line = space == std::string_view::npos ? std::string_view{} : line.substr(space);
  }
  if (count < 4) return std::nullopt;
  const std::uint64_t user = f[0], nice = f[1], system = f[2], idle = f[3], iowait = f[4], irq = f[5], softirq = f[6];
  // Steal time is left out: it is time the hypervisor gave to other guests, neither our idle
  // nor our work, and counting it either way would misstate how busy the benchmark keeps the
  // processors it gets. Guest time is already part of user and nice.
  SystemTimes t;
  t.idle = idle + iowait;
  t.kernel = system + irq + softirq + idle + iowait;
  t.user = user + nice;
  return t;
}

AdapterKind drm_driver_kind(std::string_view driver) {
  for (std::string_view v :
       {"virtio_gpu", "virtio-gpu", "vmwgfx", "qxl", "bochs", "bochs-drm", "cirrus", "cirrus-qemu", "vboxvideo",
        "hyperv_drm", "simpledrm", "simple-framebuffer", "efifb", "vesafb", "ofdrm", "xen_drm_front", "udl", "gud"})
    if (driver == v) return AdapterKind::Virtual;
  if (driver == "vkms" || driver == "vgem") return AdapterKind::Cpu;
  return AdapterKind::Unknown;
}

std::string read_proc_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}
