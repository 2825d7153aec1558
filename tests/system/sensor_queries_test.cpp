// The sensor source over query functions, as Windows binds them: the conversions with fake
// queries everywhere, and under wine whatever wine answers.
#include <gtest/gtest.h>

#include "system/sensor_queries.h"

namespace {

TEST(SensorQueries, ClockIsThePerformanceShareOfTheNominalClockAndTemperatureIsKelvinTenths) {
  int nominal_asked = 0;
  std::optional<double> percent = 125.0;
  std::optional<double> tenths = 3232.0;
  SensorQueries q{
      .processor_performance_percent = [&] { return percent; },
      .nominal_mhz =
          [&] {
            ++nominal_asked;
            return std::optional<double>(3600.0);
          },
      .thermal_zone_tenths_kelvin = [&] { return tenths; },
      .on_battery = [] { return std::optional<bool>(false); },
  };
  const auto source = make_query_sensor_source(q);
  SensorReadout r = source->read({});
  EXPECT_DOUBLE_EQ(*r.clock_mhz, 4500.0);
  EXPECT_NEAR(*r.temp_c, 50.05, 1e-9);
  EXPECT_TRUE(r.energy.empty()) << "power is never offered";
  const SensorOffer offer = source->offer();
  EXPECT_EQ(offer.temperature, "ACPI thermal zone (WMI), not the package") << "labelled as what it is";
  ASSERT_EQ(offer.missing.size(), 1u);
  EXPECT_EQ(offer.missing[0].rfind("power:", 0), 0u);

  percent = 400.0;  // 14.4 GHz
  tenths = 0.0;     // a zone that reports nothing
  r = source->read({});
  EXPECT_FALSE(r.clock_mhz);
  EXPECT_FALSE(r.temp_c);
  EXPECT_EQ(nominal_asked, 1);
  EXPECT_EQ(source->on_battery(), false);
}

TEST(SensorQueries, QueriesThatDoNotAnswerLeaveTheirSensorsMissingWithReasons) {
  const auto source = make_query_sensor_source(SensorQueries{});
  const SensorReadout r = source->read({});
  EXPECT_FALSE(r.clock_mhz || r.temp_c);
  EXPECT_EQ(source->offer().missing.size(), 3u);
  EXPECT_FALSE(source->on_battery());
}

#ifdef _WIN32
// Wine answers the power status and the registry; PDH's counter and WMI's thermal zones may
// or may not be there. Whatever it answers, readings stay within bounds and power stays absent.
TEST(SensorQueries, ThisMachinesQueriesAnswerWithinBoundsOrNotAtAll) {
  const auto source = make_platform_sensor_source();
  const SensorOffer offer = source->offer();
  EXPECT_EQ(offer.power, "");
  const SensorReadout r = source->read({});
  EXPECT_GT(r.clock_mhz.value_or(1.0), 0.0);
  EXPECT_TRUE(r.energy.empty());
  EXPECT_EQ(offer.clock.empty(), !r.clock_mhz.has_value());
  EXPECT_TRUE(windows_sensor_queries().nominal_mhz().has_value()) << "the registry's ~MHz";
  EXPECT_TRUE(source->on_battery().has_value()) << "GetSystemPowerStatus";
}
#endif

}  // namespace
