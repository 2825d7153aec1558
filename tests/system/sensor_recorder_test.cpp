// The sensor samples and the measured phase's summary from fake readouts: counters that wrap,
// a file that appears mid-run, absurd values; the sampling thread driven by its requests, and a
// reader's copy of its series.
#include <gtest/gtest.h>

#include <atomic>

#include "system/sensor_recorder.h"
#include "system/sensor_sampler.h"
#include "system/sensor_series_copy.h"

namespace {

constexpr std::uint64_t kRange = 1'000'000'000;  // a 1 kJ counter

SensorReadout readout(std::optional<double> mhz, std::optional<double> celsius, std::vector<EnergyCounter> energy) {
  return SensorReadout{mhz, celsius, std::move(energy)};
}

TEST(SensorRecorder, PowerIsTheEnergySinceTheLastReadAcrossAWrapSummedOverPackages) {
  SensorRecorder r;
  r.add(0.0, readout(4000, 50, {{kRange - 20'000'000, kRange}, {100, kRange}}));
  // Package 0 wrapped: 20 J before the wrap and 30 J after; package 1 used 10 J. 60 J in 0.5 s.
  const SensorSample s = r.add(0.5, readout(4000, 50, {{30'000'000, kRange}, {10'000'100, kRange}}));
  EXPECT_DOUBLE_EQ(*s.power_w, 120.0);
}

TEST(SensorRecorder, ACounterThatAppearsMidRunGivesPowerFromItsSecondRead) {
  SensorRecorder r;
  EXPECT_FALSE(r.add(0.0, readout(4000, std::nullopt, {})).power_w);
  EXPECT_FALSE(r.add(0.5, readout(4000, 55, {{1'000'000, kRange}})).power_w) << "a first read is a baseline";
  const SensorSample s = r.add(1.0, readout(4000, 55, {{51'000'000, kRange}}));
  EXPECT_DOUBLE_EQ(*s.power_w, 100.0);
  EXPECT_DOUBLE_EQ(*s.temp_c, 55.0);
}

TEST(SensorRecorder, ImpossibleEnergyGivesNoPointRatherThanAWildOne) {
  SensorRecorder r;
  r.add(0.0, readout(std::nullopt, std::nullopt, {{500, 0}}));
  EXPECT_FALSE(r.add(0.5, readout(std::nullopt, std::nullopt, {{400, 0}})).power_w) << "backwards, range unknown";
  EXPECT_FALSE(r.add(1.0, readout(std::nullopt, std::nullopt, {{2'000'000'400, 0}})).power_w) << "4 kW";
  EXPECT_FALSE(r.add(1.0, readout(std::nullopt, std::nullopt, {{2'000'000'500, 0}})).power_w) << "no time passed";
  EXPECT_FALSE(r.add(1.2, readout(std::nullopt, std::nullopt, {{2'000'000'500, 0}})).power_w) << "a frozen counter";
  EXPECT_FALSE(r.add(1.5, readout(std::nullopt, std::nullopt, {{1, 0}, {1, 0}})).power_w) << "a package appeared";
  EXPECT_DOUBLE_EQ(*r.add(2.0, readout(std::nullopt, std::nullopt, {{5'000'001, 0}, {1, 0}})).power_w, 10.0);
}

TEST(SensorRecorder, SummaryCoversOnlyTheMeasuredPhaseAndEnergyMatchesPointsPerWatt) {
  SensorRecorder r;
  r.add(0.0, readout(2000, 90, {{0, kRange}}));  // warm-up: not in the summary
  r.add(0.5, readout(4200, 60, {{50'000'000, kRange}}), SamplePoint::MeasuredStart);
  r.add(1.0, readout(4500, 70, {{100'000'000, kRange}}));                            // 100 W
  r.add(1.5, readout(std::nullopt, 86, {}));                                         // counter unreadable this once
  r.add(2.5, readout(4000, 80, {{300'000'000, kRange}}), SamplePoint::MeasuredEnd);  // 200 J in 1.5 s
  r.add(3.0, readout(1000, 99, {{900'000'000, kRange}}));                            // after the end
  const SensorSummary s = r.summary(60.0);
  EXPECT_DOUBLE_EQ(*s.clock_mhz_avg, (4200.0 + 4500.0 + 4000.0) / 3.0);
  EXPECT_DOUBLE_EQ(*s.clock_mhz_min, 4000.0);
  EXPECT_DOUBLE_EQ(*s.temp_c_max, 86.0);
  EXPECT_DOUBLE_EQ(*s.power_w_avg, 125.0);  // 250 J over 2 s
  EXPECT_DOUBLE_EQ(*s.energy_j, 250.0);
  EXPECT_DOUBLE_EQ(*s.points_per_watt, 60.0 / 125.0);
  EXPECT_EQ(r.measured_samples().size(), 4u);
  EXPECT_DOUBLE_EQ(*r.measured_seconds(), 2.0);
  EXPECT_EQ(sensor_summary_line(s), "Clock 4.23 GHz avg (min 4.00) · 86 °C max · 125 W avg · 0.2 kJ · 0.48 points/W");
}

TEST(SensorRecorder, APhaseShorterThanAnIntervalStillHasASummaryAndUnmeasuredKeysAreAbsent) {
  SensorRecorder r;
  r.add(0.0, readout(3000, std::nullopt, {}), SamplePoint::MeasuredStart);
  r.add(0.2, readout(3100, std::nullopt, {}), SamplePoint::MeasuredEnd);
  const SensorSummary s = r.summary(500.0);
  EXPECT_DOUBLE_EQ(*s.clock_mhz_avg, 3050.0);
  EXPECT_EQ(sensors_json(s).dump(), R"({"clock_mhz_avg":3050.0,"clock_mhz_min":3000.0})");
  EXPECT_EQ(sensors_json(SensorSummary{}).dump(), "{}");
  EXPECT_EQ(sensor_summary_line(s), "Clock 3.05 GHz avg (min 3.00)");
  EXPECT_EQ(sensor_summary_line(SensorSummary{}), "");
}

TEST(SensorSampleBounds, AbsurdValuesAreNoReadings) {
  EXPECT_FALSE(plausible_clock_mhz(0.0));
  EXPECT_FALSE(plausible_clock_mhz(10000.5));
  EXPECT_FALSE(plausible_temp_c(150.5));
  EXPECT_FALSE(plausible_temp_c(-40.5));
  EXPECT_FALSE(plausible_temp_c(std::nan("")));
  EXPECT_FALSE(plausible_power_w(2000.5));
  EXPECT_FALSE(plausible_power_w(-1.0));
  EXPECT_TRUE(plausible_temp_c(-40.0) && plausible_clock_mhz(10000.0) && plausible_power_w(2000.0));
}

// Constant readings: the summary is the same however many periodic reads the thread makes.
class SteadySource final : public ISensorSource {
 public:
  SensorReadout read(const std::vector<unsigned>& processors) override {
    last_processors = processors;
    energy += 1'000'000;
    return readout(3500, 70, {{energy, 0}});
  }
  SensorOffer offer() override {
    SensorOffer offer;
    offer.clock = "fake";
    return offer;
  }
  std::optional<bool> on_battery() override { return true; }
  std::vector<unsigned> last_processors;
  std::uint64_t energy = 0;
};

TEST(SensorSampler, ARunRecordsItsEndReadsAndTheCallerCopiesWithoutWaiting) {
  std::atomic<double> now{100.0};
  auto owned = std::make_unique<SteadySource>();
  SteadySource* source = owned.get();
  SensorSampler sampler(std::move(owned), [&] { return now += 0.25; });
  EXPECT_FALSE(sampler.finished());
  sampler.start_run({3});
  sampler.measured_phase_started();
  sampler.measured_phase_ended();
  const SensorRecorder record = sampler.wait_finished();
  EXPECT_TRUE(sampler.finished());
  EXPECT_EQ(sampler.on_battery(), true);
  EXPECT_EQ(sampler.series(), 1u);
  EXPECT_EQ(sampler.offer()->clock, "fake");
  EXPECT_EQ(source->last_processors, std::vector<unsigned>{3});
  const SensorSummary s = record.summary(100.0);
  EXPECT_DOUBLE_EQ(*s.clock_mhz_avg, 3500.0);
  EXPECT_DOUBLE_EQ(*s.temp_c_max, 70.0);
  EXPECT_TRUE(s.power_w_avg.has_value());
  std::vector<SensorSample> copy;
  const std::size_t count = sampler.copy_samples(0, copy);
  EXPECT_EQ(copy.size(), count);
  EXPECT_GE(count, 3u) << "the first read, the start read and the end read";
  EXPECT_EQ(sampler.copy_samples(count, copy), count);
  EXPECT_EQ(copy.size(), count);
}

TEST(SensorSeriesCopy, ANewRunReplacesTheCopyUnlessItContinuesAStressTestsTimeline) {
  std::atomic<double> now{100.0};
  SensorSampler sampler(std::make_unique<SteadySource>(), [&] { return now += 0.25; });
  // A finished run's series no longer grows, so the counts below are exact.
  const auto run_count = [&] {
    sampler.start_run({});
    sampler.measured_phase_started();
    sampler.measured_phase_ended();
    sampler.wait_finished();
    std::vector<SensorSample> all;
    return sampler.copy_samples(0, all);
  };
  SensorSeriesCopy copy;
  const std::size_t first = run_count();
  EXPECT_TRUE(copy.update(sampler));
  ASSERT_EQ(copy.samples().size(), first);
  const std::size_t second = run_count();
  EXPECT_TRUE(copy.update(sampler, true));
  ASSERT_EQ(copy.samples().size(), first + second);
  EXPECT_LT(copy.samples()[first - 1].time_s, copy.samples()[first].time_s);
  EXPECT_FALSE(copy.update(sampler, true)) << "nothing new";
  const std::size_t third = run_count();
  EXPECT_TRUE(copy.update(sampler));
  EXPECT_EQ(copy.samples().size(), third);
}

}  // namespace
