#pragma once
// `strelvik-cli info`: the machine's facts with the system information panel's labels.
#include <ostream>

#include "system/system_info.h"

// Probes this machine and prints its facts; as one JSON object with `json`. Returns the exit code.
int run_info_command(bool json, std::ostream& out);

// The printing alone, for a record gathered elsewhere.
void print_system_info(const SystemInfo& info, bool json, std::ostream& out);
