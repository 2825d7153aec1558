#include "system/sensor_queries.h"

#include <cmath>

std::optional<double> clock_from_performance(std::optional<double> percent, std::optional<double> nominal_mhz) {
  if (!percent || !nominal_mhz || *percent <= 0.0 || *nominal_mhz <= 0.0) return std::nullopt;
  return plausible_clock_mhz(*percent / 100.0 * *nominal_mhz);
}

std::optional<double> celsius_from_tenths_kelvin(std::optional<double> tenths_kelvin) {
  if (!tenths_kelvin || *tenths_kelvin <= 0.0) return std::nullopt;
  return plausible_temp_c(*tenths_kelvin / 10.0 - 273.15);
}

namespace {

class QuerySensorSource final : public ISensorSource {
 public:
  explicit QuerySensorSource(SensorQueries q) : q_(std::move(q)) {}

  SensorReadout read(const std::vector<unsigned>&) override {
    // The counter covers all processors (_Total): a run bound to some reads the whole package.
    SensorReadout r;
    r.clock_mhz = clock_from_performance(ask(q_.processor_performance_percent), nominal());
    r.temp_c = celsius_from_tenths_kelvin(ask(q_.thermal_zone_tenths_kelvin));
    return r;
  }

  SensorOffer offer() override {
    SensorOffer o;
    const SensorReadout r = read({});
    if (r.clock_mhz) {
      o.clock = "PDH % Processor Performance × nominal MHz";
    } else {
      o.missing.push_back(nominal() ? "clock: the PDH counter \"% Processor Performance\" did not answer"
                                    : "clock: the registry holds no nominal clock (~MHz)");
    }
    if (r.temp_c) {
      o.temperature = "ACPI thermal zone (WMI), not the package";
    } else {
      o.missing.push_back(
          "temperature: WMI MSAcpi_ThermalZoneTemperature did not answer (it often needs administrator rights)");
    }
    o.missing.push_back("power: Windows offers package energy only to kernel drivers, and Strelvik loads none");
    return o;
  }

  std::optional<bool> on_battery() override { return ask(q_.on_battery); }

 private:
  template <typename T>
  static std::optional<T> ask(const std::function<std::optional<T>()>& query) {
    return query ? query() : std::nullopt;
  }

  std::optional<double> nominal() {
    if (!nominal_asked_) nominal_ = ask(q_.nominal_mhz);
    nominal_asked_ = true;
    return nominal_;
  }

  SensorQueries q_;
  bool nominal_asked_ = false;
  std::optional<double> nominal_;
};

}  // namespace

std::unique_ptr<ISensorSource> make_query_sensor_source(SensorQueries queries) {
  return std::make_unique<QuerySensorSource>(std::move(queries));
}
