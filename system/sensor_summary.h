#pragma once
// The sensor summary's JSON and the line printed after a run.
#include <string>

#include <nlohmann/json.hpp>

#include "engine/run_sensors.h"

// The `sensors` object: a key is absent when its sensor was not measured.
nlohmann::ordered_json sensors_json(const SensorSummary& summary);

// One line for after a run, the parts not measured left out; empty when nothing was:
// "Clock 4.52 GHz avg (min 4.20) · 86 °C max · 142 W avg · 16.3 kJ · 7.30 points/W".
std::string sensor_summary_line(const SensorSummary& summary);
