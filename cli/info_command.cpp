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

nlohmann::ordered_json sensor_sources_json(const SensorOffer& offer) {
  nlohmann::ordered_json j;
  // An absent sensor is null, not an empty name.
  const auto source = [](const std::string& name) {
    return name.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(name);
  };
  j["clock"] = source(offer.clock);
  j["temperature"] = source(offer.temperature);
  if (offer.temp_limit_c) j["temp_limit_c"] = *offer.temp_limit_c;
  j["power"] = source(offer.power);
  j["missing"] = offer.missing;
  return j;
}

// The sensors' rows, then why any is missing, one sentence a line.
std::vector<std::pair<std::string, std::string>> sensor_rows(const SensorOffer& offer) {
  const auto or_none = [](const std::string& name) { return name.empty() ? std::string("none") : name; };
  std::string temperature = or_none(offer.temperature);
  if (offer.temp_limit_c) temperature += format(", limit %.0f °C", *offer.temp_limit_c);
  std::vector<std::pair<std::string, std::string>> rows = {
      {"", ""}, {"Clock", or_none(offer.clock)}, {"Temp", temperature}, {"Power", or_none(offer.power)}};
  for (const std::string& reason : offer.missing) rows.emplace_back(" ", reason);
  return rows;
}

}  // namespace

void print_system_info(const SystemInfo& info, bool json, std::ostream& out,
                       const std::optional<SensorOffer>& sensors) {
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
    if (sensors) j["sensor_sources"] = sensor_sources_json(*sensors);
    // Names come from firmware and files: invalid UTF-8 is replaced rather than fatal.
    out << j.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
    return;
  }
  // The panel's rows and groups; an empty string marks its spacing.
  std::vector<std::pair<std::string, std::string>> rows = {
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
  if (sensors) {
    for (auto& row : sensor_rows(*sensors)) rows.push_back(std::move(row));
  }
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

int run_info_command(bool json, std::ostream& out, const std::string& machine_root) {
  SystemInfo info = collect_system_info();
  query_graphics_adapter(info);
  print_system_info(info, json, out, make_platform_sensor_source(machine_root)->offer());
  return 0;
}
