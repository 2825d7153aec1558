#pragma once
// Graphics adapters on Linux: through Vulkan when its loader can be opened, else the DRM
// devices in /sys/class/drm.
#include <vector>

#include "system/probe.h"

std::vector<GraphicsAdapter> vulkan_graphics_adapters();
std::vector<GraphicsAdapter> drm_graphics_adapters();
