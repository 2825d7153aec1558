#pragma once
// The sensor source built from a platform's query functions (Windows: PDH, the registry, WMI
// and the power status). The conversions live here, tested with fake queries; the file that
// binds the real ones (sensor_queries_windows.cpp) only asks.
#include <functional>
#include <memory>
#include <optional>

#include "system/sensor_source.h"

struct SensorQueries {
  // "\Processor Information(_Total)\% Processor Performance": the clock as a percentage of
  // the nominal one (above 100 when boosting).
  std::function<std::optional<double>()> processor_performance_percent;
  // The nominal clock in MHz (the registry's ~MHz); asked once.
  std::function<std::optional<double>()> nominal_mhz;
  // The hottest ACPI thermal zone in tenths of a kelvin (WMI MSAcpi_ThermalZoneTemperature).
  std::function<std::optional<double>()> thermal_zone_tenths_kelvin;
  std::function<std::optional<bool>()> on_battery;
};

std::optional<double> clock_from_performance(std::optional<double> percent, std::optional<double> nominal_mhz);
std::optional<double> celsius_from_tenths_kelvin(std::optional<double> tenths_kelvin);

// Power is never offered: Windows gives package energy only to kernel drivers, and this
// program installs none.
std::unique_ptr<ISensorSource> make_query_sensor_source(SensorQueries queries);

// This machine's queries (Windows only).
SensorQueries windows_sensor_queries();
