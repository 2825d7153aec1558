#include "system/probe.h"

#include <algorithm>

#include "system/core_placement.h"
#include "system/cpu_topology.h"

namespace {

std::string cache_text(const std::optional<std::uint64_t>& size) {
  return size ? format_cache_size(*size) : std::string("N/A");
}

int rank_of(AdapterKind kind) {
  switch (kind) {
    case AdapterKind::Discrete: return 2;
    case AdapterKind::Integrated:
    case AdapterKind::Unknown: return 1;
    case AdapterKind::Virtual:
    case AdapterKind::Cpu: return 0;
  }
  return 0;
}

}  // namespace

std::string format_cache_size(std::uint64_t bytes) {
  if (bytes >= (std::uint64_t{1} << 20)) return std::to_string(bytes >> 20) + " MB";
  return std::to_string(bytes >> 10) + " KB";
}

std::string cores_text(const SystemInfo& info) {
  const std::string cores =
      info.core_types.size() > 1 ? core_types_text(info.core_types) : std::to_string(info.physical_cores) + "C";
  std::string text = cores + " / " + std::to_string(info.logical_processors) + "T";
  if (info.usable_processors != 0 && info.usable_processors < info.logical_processors) {
    text += " (" + std::to_string(info.usable_processors) + " usable)";
  }
  return text;
}

std::uint32_t usable_processor_count(std::uint32_t logical, std::optional<std::uint32_t> affinity,
                                     std::optional<std::uint32_t> quota) {
  std::uint32_t usable = affinity.value_or(logical);
  if (quota) usable = usable == 0 ? *quota : std::min(usable, *quota);
  if (logical != 0) usable = std::min(usable, logical);
  return std::max<std::uint32_t>(usable, 1);
}

double nominal_clock_mhz(const std::vector<CoreClock>& cores) {
  const auto nominal = [](const CoreClock& c) {
    if (c.nominal_mhz > 0) return static_cast<double>(c.nominal_mhz);
    return static_cast<double>(c.base_khz > 0 ? c.base_khz : c.max_khz) / 1000.0;
  };
  const CoreClock* fastest = nullptr;
  for (const CoreClock& c : cores) {
    if (nominal(c) <= 0.0) continue;
    if (fastest == nullptr || c.max_khz > fastest->max_khz ||
        (c.max_khz == fastest->max_khz && nominal(c) > nominal(*fastest)))
      fastest = &c;
  }
  return fastest == nullptr ? 0.0 : nominal(*fastest);
}

std::string trim_leading_spaces(const std::string& text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) return text;
  return text.substr(first);
}

CacheSizes select_cache_sizes(const std::vector<CacheRecord>& records) {
  CacheSizes sizes;
  for (const auto& r : records) {
    if (r.level == 1 && r.type == CacheType::Data) sizes.l1 = r.size_bytes;
    if (r.level == 2) sizes.l2 = r.size_bytes;
    if (r.level == 3) sizes.l3 = r.size_bytes;
  }
  return sizes;
}

std::optional<std::size_t> select_graphics_adapter(const std::vector<GraphicsAdapter>& adapters) {
  std::optional<std::size_t> chosen;
  for (std::size_t i = 0; i < adapters.size(); ++i) {
    const auto& a = adapters[i];
    if (rank_of(a.kind) == 0) continue;
    if (!chosen) {
      chosen = i;
      continue;
    }
    const auto& best = adapters[*chosen];
    // Strictly better only, so the first enumerated keeps a tie.
    if (rank_of(a.kind) > rank_of(best.kind) ||
        (rank_of(a.kind) == rank_of(best.kind) && a.dedicated_bytes > best.dedicated_bytes))
      chosen = i;
  }
  return chosen;
}

SystemInfo collect_system_info(ISystemSources& sources) {
  SystemInfo info;
  info.cpu_name = trim_leading_spaces(sources.cpu_brand());
  info.physical_cores = sources.physical_cores();
  info.logical_processors = sources.logical_processors();
  info.core_types = sources.core_types();
  info.usable_processors =
      usable_processor_count(info.logical_processors, sources.affinity_processors(), sources.quota_processors());
  info.clock_ghz = sources.clock_mhz() * 0.001;
  const CacheSizes caches = select_cache_sizes(sources.cache_records());
  info.l1_cache = cache_text(caches.l1);
  info.l2_cache = cache_text(caches.l2);
  info.l3_cache = cache_text(caches.l3);
  const MemoryStatus memory = sources.memory();
  info.ram_total_mb = memory.total_bytes >> 20;
  info.ram_available_mb = memory.available_bytes >> 20;
  info.os_name = sources.os_name();
  info.computer_name = sources.computer_name();
  return info;
}

void query_graphics_adapter(SystemInfo& info, ISystemSources& sources) {
  const auto adapters = sources.graphics_adapters();
  const auto chosen = select_graphics_adapter(adapters);
  if (!chosen) return;
  info.gpu_name = adapters[*chosen].name;
  info.vram_mb = adapters[*chosen].dedicated_bytes >> 20;
}

SystemInfo collect_system_info() {
  const auto sources = make_platform_system_sources();
  SystemInfo info = collect_system_info(*sources);
  describe_one_core_runs(info, this_machine_single_placement(), this_machine_smt_placement());
  return info;
}

void query_graphics_adapter(SystemInfo& info) {
  const auto sources = make_platform_system_sources();
  query_graphics_adapter(info, *sources);
}
