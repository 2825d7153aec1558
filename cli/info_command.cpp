#include "cli/info_command.h"

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

namespace {

std::string format(const char* pattern, double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, pattern, value);
  return buffer;
}

std::string megabytes(std::uint64_t mb) { return std::to_string(mb) + " MB"; }

}  // namespace

void print_system_info(const SystemInfo& info, bool json, std::ostream& out) {
  if (json) {
    nlohmann::ordered_json j;
    j["cpu_name"] = info.cpu_name;
    j["physical_cores"] = info.physical_cores;
    j["logical_processors"] = info.logical_processors;
    if (info.usable_processors != 0 && info.usable_processors < info.logical_processors) {
      j["usable_processors"] = info.usable_processors;  // an affinity mask or a CPU quota
    }
    if (info.core_types.size() > 1) {  // only where the cores differ, fastest first
      for (const CoreType& type : info.core_types)
        j["core_types"].push_back({{"name", type.name}, {"cores", type.cores}, {"threads", type.threads}});
    }
    j["clock_ghz"] = info.clock_ghz;
    j["l1_cache"] = info.l1_cache;
    j["l2_cache"] = info.l2_cache;
    j["l3_cache"] = info.l3_cache;
    j["gpu_name"] = info.gpu_name;
    j["vram_mb"] = info.vram_mb;
    j["ram_total_mb"] = info.ram_total_mb;
    j["ram_available_mb"] = info.ram_available_mb;
    j["os_name"] = info.os_name;
    j["computer_name"] = info.computer_name;
    // Names come from firmware and files: invalid UTF-8 is replaced rather than fatal.
    out << j.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
    return;
  }
  // The panel's rows and groups; an empty string marks its spacing.
  const std::vector<std::pair<std::string, std::string>> rows = {
      {"CPU", info.cpu_name},
      {"Cores", cores_text(info)},
      {"Freq", format("%.2f GHz", info.clock_ghz)},
      {"L1", info.l1_cache},
      {"L2", info.l2_cache},
      {"L3", info.l3_cache},
      {"", ""},
      {"GPU", info.gpu_name},
      {"VRAM", megabytes(info.vram_mb)},
      {"RAM", megabytes(info.ram_total_mb)},
      {"", ""},
      {"OS", info.os_name},
      {"PC", info.computer_name},
  };
  for (const auto& [label, value] : rows) {
    if (label.empty()) {
      out << '\n';
      continue;
    }
    std::string line = label + std::string(7 - label.size(), ' ') + value;
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out << line << '\n';
  }
}

int run_info_command(bool json, std::ostream& out) {
  SystemInfo info = collect_system_info();
  query_graphics_adapter(info);
  print_system_info(info, json, out);
  return 0;
}
