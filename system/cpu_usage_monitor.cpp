#include "system/cpu_usage_monitor.h"

void CpuUsageMonitor::update(bool running, ICpuTimesSource& source) {
  if (running && !sampling) {
    usage_history.clear();
    sample_times.clear();
    stored = 0;
    sampling = true;
    first_sample = true;
    smoothed = 0.0f;
    last_sample_time = 0.0;
    total = 0.0;
    sample_count = 0;
  } else if (!running && sampling) {
    sampling = false;  // the series stays for display
  }
  if (!sampling) return;

  const double now = source.now_seconds();
  if (!first_sample && now - last_sample_time < kInterval) return;
  // Set before the query, so a failing query is retried only after another interval.
  last_sample_time = now;
  const auto times = source.system_times();
  if (!times) return;

  // A counter that went backwards (iowait may, and unplugging a processor shrinks the totals)
  // gives no meaningful difference: that sample is skipped and the new counters become the
  // baseline, instead of a spike to 0 or 100 %.
  const bool backwards = times->idle < prev_idle || times->kernel < prev_kernel || times->user < prev_user;
  if (!first_sample && !backwards) {
    const std::uint64_t elapsed = (times->kernel - prev_kernel) + (times->user - prev_user);
    const std::uint64_t idle_delta = times->idle - prev_idle;
    float usage = 0.0f;
    if (elapsed != 0) {
      const float e = static_cast<float>(elapsed);
      usage = (e - static_cast<float>(idle_delta)) / e * 100.0f;
    }
    if (usage >= 100.0f) usage = 100.0f;
    if (usage < 0.0f) usage = 0.0f;
    // The first value starts the smoothing where the load is, not at 0: a run at full load
    // would otherwise climb from 15 % over several seconds.
    smoothed = sample_count == 0 ? usage : usage * 0.15f + smoothed * 0.85f;
    sample_count += 1;
    total += static_cast<double>(usage);
    usage_history.push_back(smoothed);
    sample_times.push_back(now);
    stored = static_cast<std::int32_t>(usage_history.size());
  }
  prev_idle = times->idle;
  prev_kernel = times->kernel;
  prev_user = times->user;
  first_sample = false;
}

void CpuUsageMonitor::update(bool running) {
  static const std::unique_ptr<ICpuTimesSource> platform = make_platform_cpu_times_source();
  update(running, *platform);
}

float CpuUsageMonitor::display_value() const { return sampling ? smoothed : static_cast<float>(average()); }
