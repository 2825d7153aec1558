#include "system/cpu_topology_linux.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "system/arm_cpu_names.h"
#include "system/core_placement.h"
#include "system/proc_parsers.h"
#include "system/thread_affinity.h"

namespace {

// /proc/cpuinfo's blocks (separated by empty lines) by their "processor" number.
std::map<unsigned, std::string> cpuinfo_blocks(const std::string& cpuinfo) {
  std::map<unsigned, std::string> blocks;
  std::istringstream in(cpuinfo);
  std::string line, block;
  const auto flush = [&] {
    if (const auto n = cpuinfo_value(block, "processor")) {
      if (const auto number = parse_unsigned(*n)) blocks[static_cast<unsigned>(*number)] = block;
    }
    block.clear();
  };
  while (std::getline(in, line)) {
    if (line.find_first_not_of(" \t\r") == std::string::npos) {
      flush();
      continue;
    }
    block += line + '\n';
  }
  flush();
  return blocks;
}

// Speed classes from the first source that covers every processor; nothing when none does.
struct TypeSource {
  std::vector<std::uint64_t> classes;
  bool x86 = false;
};

std::optional<TypeSource> hybrid_pmu_classes(const std::string& root, const std::vector<unsigned>& cpus) {
  const auto big = parse_cpu_list(read_proc_file(root + "/sys/devices/cpu_core/cpus"));
  const auto small = parse_cpu_list(read_proc_file(root + "/sys/devices/cpu_atom/cpus"));
  if (big.empty() && small.empty()) return std::nullopt;
  TypeSource source{.classes = {}, .x86 = true};
  for (const unsigned cpu : cpus) {
    if (std::find(big.begin(), big.end(), cpu) != big.end())
      source.classes.push_back(1);
    else if (std::find(small.begin(), small.end(), cpu) != small.end())
      source.classes.push_back(0);
    else
      return std::nullopt;  // a processor of neither list: the lists are not the whole story
  }
  return source;
}

std::optional<TypeSource> capacity_source(const std::string& cpu_root, const std::vector<unsigned>& cpus) {
  std::vector<std::uint64_t> capacities;
  for (const unsigned cpu : cpus) {
    const auto capacity = parse_unsigned(read_proc_file(cpu_root + std::to_string(cpu) + "/cpu_capacity"));
    if (!capacity || *capacity == 0) return std::nullopt;
    capacities.push_back(*capacity);
  }
  return TypeSource{.classes = capacity_classes(capacities), .x86 = false};
}

std::optional<TypeSource> cpuid_source(const CoreTypeProbe& cpuid, const std::vector<unsigned>& cpus) {
  if (!cpuid) return std::nullopt;
  TypeSource source{.classes = {}, .x86 = true};
  for (const unsigned cpu : cpus) {
    const auto type = cpuid(cpu);
    if (!type) return std::nullopt;
    source.classes.push_back(*type == CpuidCoreType::performance ? 1 : 0);
  }
  return source;
}

}  // namespace

CpuTopology read_linux_cpu_topology(const std::string& root_folder, const CoreTypeProbe& cpuid) {
  const std::string root = root_folder == "/" ? std::string() : root_folder;
  const std::string cpu_root = root + "/sys/devices/system/cpu/cpu";
  const std::vector<unsigned> cpus = parse_cpu_list(read_proc_file(root + "/sys/devices/system/cpu/online"));
  const std::string cpuinfo = read_proc_file(root + "/proc/cpuinfo");
  const auto blocks = cpuinfo_blocks(cpuinfo);

  std::optional<TypeSource> types = hybrid_pmu_classes(root, cpus);
  if (!types) types = capacity_source(cpu_root, cpus);
  if (!types) types = cpuid_source(cpuid, cpus);
  const bool x86 = (types && types->x86) || cpuinfo_value(cpuinfo, "vendor_id").has_value();

  std::map<std::vector<unsigned>, std::uint32_t> cores;
  std::vector<LogicalProcessor> processors;
  for (std::size_t i = 0; i < cpus.size(); ++i) {
    const unsigned cpu = cpus[i];
    const std::string dir = cpu_root + std::to_string(cpu) + "/";
    LogicalProcessor p;
    p.id = cpu;
    std::string siblings = read_proc_file(dir + "topology/core_cpus_list");
    if (siblings.empty()) siblings = read_proc_file(dir + "topology/thread_siblings_list");  // kernels before 5.x
    std::vector<unsigned> key = parse_cpu_list(siblings);
    if (key.empty()) key = {cpu};
    p.core = cores.emplace(key, static_cast<std::uint32_t>(cores.size())).first->second;
    p.speed_class = types ? types->classes[i] : 0;
    p.ranking = parse_unsigned(read_proc_file(dir + "acpi_cppc/highest_perf")).value_or(0);
    if (const auto block = blocks.find(cpu); block != blocks.end()) {
      const auto arm = cpuinfo_arm_cores(block->second);
      if (!arm.empty()) p.part_name = arm_core_name(arm.front());
    }
    processors.push_back(std::move(p));
  }
  // One scale for every processor: CPPC's where all have it, else the maximum clock's.
  if (std::any_of(processors.begin(), processors.end(), [](const LogicalProcessor& p) { return p.ranking == 0; })) {
    for (LogicalProcessor& p : processors)
      p.ranking =
          parse_unsigned(read_proc_file(cpu_root + std::to_string(p.id) + "/cpufreq/cpuinfo_max_freq")).value_or(0);
  }
  return make_cpu_topology(std::move(processors), x86 ? CoreNaming::x86 : CoreNaming::arm);
}

ProcessorSet read_linux_process_affinity(const std::string& root) {
  const std::string status = read_proc_file((root == "/" ? std::string() : root) + "/proc/self/status");
  const auto allowed = cpuinfo_value(status, "Cpus_allowed_list");
  return allowed ? parse_cpu_list(*allowed) : ProcessorSet{};
}

CoreTypeProbe live_cpuid_core_types() {
  if (!cpuid_reports_core_types()) return {};
  return [](unsigned processor) {
    std::optional<CpuidCoreType> type;
    // A thread of its own, so the caller's affinity is never changed.
    std::thread probe([&] {
      if (bind_this_thread({processor})) type = this_processor_core_type();
    });
    probe.join();
    return type;
  };
}

CpuTopology this_machine_cpu_topology() { return read_linux_cpu_topology("/", live_cpuid_core_types()); }

SinglePlacement this_machine_single_placement() {
  return place_single_run(this_machine_cpu_topology(), this_process_processors(), SingleBinding::favoured_processor);
}

SmtPlacement this_machine_smt_placement() {
  return place_smt_run(this_machine_cpu_topology(), this_process_processors());
}
