// `strelvik-cli info`: the panel's labels and formats, and the JSON form.
#include <gtest/gtest.h>

#include <sstream>

#include <nlohmann/json.hpp>

#include "cli/info_command.h"

namespace {

SystemInfo example() {
  SystemInfo i;
  i.cpu_name = "Example 8-Core Processor";
  i.physical_cores = 8;
  i.logical_processors = 16;
  i.clock_ghz = 3.4;
  i.l1_cache = "48 KB";
  i.l2_cache = "1 MB";
  i.l3_cache = "N/A";
  i.ram_total_mb = 32768;
  i.ram_available_mb = 30000;
  i.os_name = "Debian GNU/Linux 12 (bookworm) (6.1.0-28-amd64)";
  i.computer_name = "bench-box";
  return i;
}

TEST(InfoCommand, PrintsThePanelsRowsAndGroupsWithAnEmptyAdapterAsNothing) {
  std::ostringstream out;
  print_system_info(example(), false, out);
  EXPECT_EQ(out.str(),
            "CPU    Example 8-Core Processor\n"
            "Cores  8C / 16T\n"
            "Freq   3.40 GHz\n"
            "L1     48 KB\n"
            "L2     1 MB\n"
            "L3     N/A\n"
            "\n"
            "GPU\n"
            "VRAM   0 MB\n"
            "RAM    32768 MB\n"
            "\n"
            "OS     Debian GNU/Linux 12 (bookworm) (6.1.0-28-amd64)\n"
            "PC     bench-box\n");
}

TEST(InfoCommand, JsonCarriesEveryFieldUnderItsNameAndSurvivesInvalidText) {
  SystemInfo info = example();
  info.gpu_name = "bad \xff";
  std::ostringstream out;
  print_system_info(info, true, out);
  const auto j = nlohmann::json::parse(out.str());
  EXPECT_EQ(j.size(), 13u);
  EXPECT_EQ(j["logical_processors"], 16);
  EXPECT_EQ(j["ram_available_mb"], 30000);
  EXPECT_EQ(j["l3_cache"], "N/A");
  EXPECT_EQ(j["gpu_name"], "bad \xef\xbf\xbd");
}

TEST(InfoCommand, ARestrictedProcessAddsItsUsableCountToBothForms) {
  SystemInfo info = example();
  info.usable_processors = 16;
  std::ostringstream unrestricted;
  print_system_info(info, true, unrestricted);
  EXPECT_FALSE(nlohmann::json::parse(unrestricted.str()).contains("usable_processors"));

  info.usable_processors = 4;
  std::ostringstream json, text;
  print_system_info(info, true, json);
  print_system_info(info, false, text);
  const auto j = nlohmann::json::parse(json.str());
  EXPECT_EQ(j["logical_processors"], 16) << "the machine's count stays";
  EXPECT_EQ(j["usable_processors"], 4);
  EXPECT_NE(text.str().find("Cores  8C / 16T (4 usable)\n"), std::string::npos) << text.str();
}

TEST(InfoCommand, MixedCoreTypesShowAsCountsPerTypeFastestFirstInBothForms) {
  SystemInfo info = example();
  info.physical_cores = 14;
  info.logical_processors = 20;
  info.core_types = {{"P", 6, 12}, {"E", 8, 8}};
  std::ostringstream json, text;
  print_system_info(info, true, json);
  print_system_info(info, false, text);
  const auto j = nlohmann::json::parse(json.str());
  EXPECT_EQ(j["core_types"], nlohmann::json::parse(R"([{"name":"P","cores":6,"threads":12},
                                                        {"name":"E","cores":8,"threads":8}])"));
  EXPECT_EQ(j["physical_cores"], 14);
  EXPECT_NE(text.str().find("Cores  6P + 8E / 20T\n"), std::string::npos) << text.str();

  std::ostringstream uniform;
  print_system_info(example(), true, uniform);
  EXPECT_FALSE(nlohmann::json::parse(uniform.str()).contains("core_types"));
}

TEST(InfoCommand, SensorsShowWhatGivesEachReadingAndWhyAnyIsMissing) {
  SensorOffer offer;
  offer.clock = "cpufreq scaling_cur_freq";
  offer.temperature = "coretemp Package id 0";
  offer.temp_limit_c = 100.0;
  offer.missing = {"power: /sys/class/powercap is readable by root only"};
  std::ostringstream text, json;
  print_system_info(example(), false, text, offer);
  print_system_info(example(), true, json, offer);
  EXPECT_NE(text.str().find("PC     bench-box\n\n"
                            "Clock  cpufreq scaling_cur_freq\n"
                            "Temp   coretemp Package id 0, limit 100 \xc2\xb0"
                            "C\n"
                            "Power  none\n"
                            "       power: /sys/class/powercap is readable by root only\n"),
            std::string::npos)
      << text.str();
  const auto j = nlohmann::json::parse(json.str())["sensor_sources"];
  EXPECT_EQ(j["clock"], "cpufreq scaling_cur_freq");
  EXPECT_TRUE(j["power"].is_null());
  EXPECT_EQ(j["temp_limit_c"], 100.0);
  EXPECT_EQ(j["missing"].size(), 1u);
}

}  // namespace
