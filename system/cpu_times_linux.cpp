// The monitor's clock and counters on Linux: the steady clock and the first line of /proc/stat.
#include <chrono>
#include <fstream>
#include <string>

#include "system/cpu_usage_monitor.h"
#include "system/proc_parsers.h"

namespace {

class LinuxCpuTimes final : public ICpuTimesSource {
 public:
  double now_seconds() override {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
  }

  std::optional<SystemTimes> system_times() override {
    std::ifstream in("/proc/stat");
    std::string first_line;
    if (!in || !std::getline(in, first_line)) return std::nullopt;
    return parse_proc_stat(first_line);
  }
};

}  // namespace

std::unique_ptr<ICpuTimesSource> make_platform_cpu_times_source() { return std::make_unique<LinuxCpuTimes>(); }
