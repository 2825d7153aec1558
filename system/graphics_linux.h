#pragma once
// Graphics adapters on Linux: through Vulkan when its loader can be opened, else the DRM
// devices in /sys/class/drm.
#include <string>
#include <vector>

#include "system/probe.h"

std::vector<GraphicsAdapter> vulkan_graphics_adapters();
// `drm_class_dir` is /sys/class/drm; tests pass a captured copy of such a tree.
std::vector<GraphicsAdapter> drm_graphics_adapters(const std::string& drm_class_dir = "/sys/class/drm");
