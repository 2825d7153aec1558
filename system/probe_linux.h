#pragma once
// The probe's Linux sources over a root folder: "/" for this machine, or a captured tree of
// another machine's /proc and /sys. `this_process` adds what no file holds: cpuid, the
// affinity mask from sched_getaffinity, uname, the host name and the graphics libraries;
// without it those come from the tree's files (proc/self/status and the like) or stay empty.
#include <memory>
#include <string>

#include "system/probe.h"

std::unique_ptr<ISystemSources> make_linux_system_sources(const std::string& root, bool this_process);
