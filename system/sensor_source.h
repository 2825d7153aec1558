#pragma once
// Where the sensor sampler reads the processor's clock, temperature and energy: one
// implementation per platform (sensor_source_linux.cpp over a root folder, the Windows queries
// in sensor_queries.h), and fakes in tests.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "system/sensor_sample.h"

// What a machine offers, for `strelvik-cli info` and the window's legend. Each source is named
// by where it comes from; an empty name means that sensor is missing, and `missing` then holds
// a sentence saying why ("power: ...").
struct SensorOffer {
  std::string clock;
  std::string temperature;
  std::string power;
  std::optional<double> temp_limit_c;  // the package's critical (else maximum) temperature
  std::vector<std::string> missing;
};

class ISensorSource {
 public:
  virtual ~ISensorSource() = default;
  // One read. The clock is the mean over `processors` (all usable ones when empty) where the
  // platform reads it per processor. May block (WMI), so during a run only the sampler's
  // thread calls it.
  virtual SensorReadout read(const std::vector<unsigned>& processors) = 0;
  virtual SensorOffer offer() = 0;
  // Whether the machine runs on battery; nullopt when the platform cannot tell.
  virtual std::optional<bool> on_battery() = 0;
};

// This machine's sensors: /sys and /proc on Linux, PDH, WMI and the power status on Windows.
// On Linux a non-empty `machine_root` reads a captured machine's tree instead (a testing aid);
// Windows has no such tree and ignores it.
std::unique_ptr<ISensorSource> make_platform_sensor_source(const std::string& machine_root = {});
