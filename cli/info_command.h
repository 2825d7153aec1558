#pragma once
// `strelvik-cli info`: the machine's facts with the system information panel's labels.
#include <optional>
#include <ostream>
#include <string>

#include "system/sensor_source.h"
#include "system/system_info.h"

// Probes this machine and its sensors and prints the facts; as one JSON object with `json`.
// Returns the exit code. A non-empty `machine_root` reads the sensors of that tree instead
// (make_platform_sensor_source).
int run_info_command(bool json, std::ostream& out, const std::string& machine_root = {});

// The printing alone, for a record gathered elsewhere. `sensors` adds what gives the clock, the
// temperature and the power, and why any of them is missing.
void print_system_info(const SystemInfo& info, bool json, std::ostream& out,
                       const std::optional<SensorOffer>& sensors = std::nullopt);
