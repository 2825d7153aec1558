// The monitor's clock and counters on Windows: the performance counter and GetSystemTimes
// (kernel time includes idle time, as the monitor expects).
#include <windows.h>

#include "system/cpu_usage_monitor.h"

namespace {

std::uint64_t ticks(const FILETIME& time) {
  return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

class WindowsCpuTimes final : public ICpuTimesSource {
 public:
  WindowsCpuTimes() {
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    seconds_per_count_ = 1.0 / static_cast<double>(frequency.QuadPart);
  }

  double now_seconds() override {
    LARGE_INTEGER count{};
    QueryPerformanceCounter(&count);
    return static_cast<double>(count.QuadPart) * seconds_per_count_;
  }

  std::optional<SystemTimes> system_times() override {
    FILETIME idle{}, kernel{}, user{};
    if (!GetSystemTimes(&idle, &kernel, &user)) return std::nullopt;
    return SystemTimes{ticks(idle), ticks(kernel), ticks(user)};
  }

  // In 100 ns units, as GetSystemTimes.
  std::optional<std::uint64_t> process_time() override {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return std::nullopt;
    return ticks(kernel) + ticks(user);
  }

 private:
  double seconds_per_count_ = 0.0;
};

}  // namespace

std::unique_ptr<ICpuTimesSource> make_platform_cpu_times_source() { return std::make_unique<WindowsCpuTimes>(); }
