// The monitor's clock and counters on Linux: the steady clock and the first line of /proc/stat.
#include "system/cpu_times_linux.h"

#include <chrono>
#include <fstream>
#include <string>

#include "system/proc_parsers.h"
#include "system/sysfs_sensors.h"

namespace {

class LinuxCpuTimes final : public ICpuTimesSource {
 public:
  explicit LinuxCpuTimes(const std::string& root)
      : stat_path_((root == "/" ? std::string() : root) + "/proc/stat"),
        self_stat_path_((root == "/" ? std::string() : root) + "/proc/self/stat") {}

  double now_seconds() override {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
  }

  std::optional<SystemTimes> system_times() override {
    std::ifstream in(stat_path_);
    std::string first_line;
    if (!in || !std::getline(in, first_line)) return std::nullopt;
    return parse_proc_stat(first_line);
  }

  // utime and stime are in clock ticks, as /proc/stat's counters are.
  std::optional<std::uint64_t> process_time() override {
    std::ifstream in(self_stat_path_);
    std::string line;
    if (!in || !std::getline(in, line)) return std::nullopt;
    return parse_proc_stat_cpu_ticks(line);
  }

 private:
  const std::string stat_path_;
  const std::string self_stat_path_;
};

}  // namespace

std::unique_ptr<ICpuTimesSource> make_linux_cpu_times_source(const std::string& root) {
  return std::make_unique<LinuxCpuTimes>(root);
}

std::unique_ptr<ICpuTimesSource> make_platform_cpu_times_source() { return make_linux_cpu_times_source("/"); }
