#include "system/cpu_topology.h"

#include <algorithm>
#include <map>
#include <set>

namespace {

// Appended, not "text" + number: GCC 12 warns falsely (-Wrestrict) on that operator.
std::string numbered(std::string text, std::size_t number) {
  text += std::to_string(number);
  return text;
}

// Names by position, fastest first, for a machine of `count` types.
std::vector<std::string> generic_names(std::size_t count, CoreNaming naming) {
  if (naming == CoreNaming::x86) {
    std::vector<std::string> names{"P", "E"};
    // A third type (low-power efficiency cores on the SoC tile) is the slowest.
    if (count >= 3) names.emplace_back("LP-E");
    for (std::size_t i = names.size(); i < count; ++i) names.push_back(numbered("T", i + 1));
    return names;
  }
  if (count == 2) return {"big", "LITTLE"};
  std::vector<std::string> names{"prime", "big"};
  for (std::size_t i = 2; i + 1 < count; ++i) names.push_back(i == 2 ? std::string("mid") : numbered("mid", i - 1));
  names.emplace_back("LITTLE");
  return names;
}

// The cores' own names where each type has one known name of its own; empty otherwise.
std::vector<std::string> part_names(const std::vector<LogicalProcessor>& processors, std::size_t count) {
  std::vector<std::set<std::string>> per_type(count);
  for (const LogicalProcessor& p : processors) per_type[p.type].insert(p.part_name);
  std::vector<std::string> names;
  for (const auto& set : per_type) {
    // An unknown part prints as "0x41/0xd99": no name a user would recognise.
    if (set.size() != 1 || set.begin()->empty() || set.begin()->rfind("0x", 0) == 0) return {};
    names.push_back(*set.begin());
  }
  if (std::set<std::string>(names.begin(), names.end()).size() != names.size()) return {};
  return names;
}

}  // namespace

CpuTopology make_cpu_topology(std::vector<LogicalProcessor> processors, CoreNaming naming) {
  CpuTopology topology;
  std::sort(processors.begin(), processors.end(),
            [](const LogicalProcessor& a, const LogicalProcessor& b) { return a.id < b.id; });
  std::set<std::uint64_t, std::greater<>> classes;
  for (const LogicalProcessor& p : processors) classes.insert(p.speed_class);
  if (classes.size() < 2) {
    for (LogicalProcessor& p : processors) p.type = 0;
    topology.processors = std::move(processors);
    return topology;
  }
  const std::vector<std::uint64_t> order(classes.begin(), classes.end());
  for (LogicalProcessor& p : processors)
    p.type = static_cast<std::uint32_t>(std::find(order.begin(), order.end(), p.speed_class) - order.begin());

  std::vector<std::string> names =
      naming == CoreNaming::arm ? part_names(processors, order.size()) : std::vector<std::string>{};
  if (names.empty()) names = generic_names(order.size(), naming);
  std::vector<std::set<std::uint32_t>> cores(order.size());
  topology.types.resize(order.size());
  for (std::size_t t = 0; t < order.size(); ++t) topology.types[t].name = names[t];
  for (const LogicalProcessor& p : processors) {
    cores[p.type].insert(p.core);
    ++topology.types[p.type].threads;
  }
  for (std::size_t t = 0; t < order.size(); ++t) topology.types[t].cores = static_cast<std::uint32_t>(cores[t].size());
  topology.processors = std::move(processors);
  return topology;
}

std::vector<std::uint64_t> capacity_classes(const std::vector<std::uint64_t>& capacities) {
  std::vector<std::uint64_t> sorted = capacities;
  std::sort(sorted.begin(), sorted.end(), std::greater<>());
  // From the highest down, a value more than 5 % below its cluster's top starts a new cluster;
  // anchoring at the top keeps a chain of small steps from merging distant clusters.
  std::map<std::uint64_t, std::uint64_t> cluster_of;
  std::uint64_t top = 0;
  for (const std::uint64_t value : sorted) {
    if (cluster_of.empty() || value * 100 < top * 95) top = value;
    cluster_of[value] = top;
  }
  std::vector<std::uint64_t> classes;
  for (const std::uint64_t value : capacities) classes.push_back(cluster_of[value]);
  return classes;
}

std::string core_types_text(const std::vector<CoreType>& types) {
  std::string text;
  for (const CoreType& type : types) {
    if (!text.empty()) text += " + ";
    // One-letter names read as a unit ("6P"); longer ones need a space ("4 Cortex-A76").
    text += std::to_string(type.cores) + (type.name.size() > 1 ? " " : "") + type.name;
  }
  return text;
}
