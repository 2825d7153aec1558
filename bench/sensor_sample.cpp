// The processor time one sensor sample costs the sampling thread (the reads and the
// recording), on this machine and on a captured tree with every sensor present. The sampler
// reads twice a second, so the share of one core is twice the cost of a sample per second.
//   bench_sensor_sample [--samples N] [--rounds R]
#include <time.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "system/sensor_recorder.h"
#include "system/sensor_sampler.h"
#include "system/sensor_source_linux.h"

namespace {

double thread_cpu_seconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

void measure(const char* name, ISensorSource& source, int samples, int rounds) {
  std::vector<double> per_sample;
  SensorRecorder recorder;
  double time = 0.0;
  for (int round = 0; round < rounds; ++round) {
    const double begin = thread_cpu_seconds();
    for (int i = 0; i < samples; ++i) recorder.add(time += SensorSampler::kInterval, source.read({}));
    per_sample.push_back((thread_cpu_seconds() - begin) / samples);
  }
  const double median = median_of(per_sample);
  const double share = median / SensorSampler::kInterval * 100.0;
  std::printf("%-34s %8.1f us CPU per sample (spread %4.1f %%)   at 2 Hz: %.4f %% of one core\n", name, median * 1e6,
              spread_percent(per_sample), share);
}

}  // namespace

int main(int argc, char** argv) {
  const int samples = int_flag(argc, argv, "--samples", 2000);
  const int rounds = int_flag(argc, argv, "--rounds", 7);
  const auto here = make_platform_sensor_source();
  const SensorOffer offer = here->offer();
  std::printf("this machine: clock \"%s\", temperature \"%s\", power \"%s\"\n", offer.clock.c_str(),
              offer.temperature.c_str(), offer.power.c_str());
  measure("this machine", *here, samples, rounds);
  const auto tree = make_linux_sensor_source(std::string(STRELVIK_MACHINE_TREES) + "/intel-desktop");
  measure("intel-desktop tree (every sensor)", *tree, samples, rounds);
  return 0;
}
