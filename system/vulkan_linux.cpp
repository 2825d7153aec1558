// Adapters through Vulkan. The loader is opened at run time, so the program runs on machines
// without it; only its headers are needed to build.
#define VK_NO_PROTOTYPES
#include <vulkan/vulkan_core.h>

#include <dlfcn.h>

#include <cstring>

#include "system/graphics_linux.h"

namespace {

AdapterKind kind_of(VkPhysicalDeviceType type) {
  switch (type) {
    case VK_PHYSICAL_DEVICE_TYPE_DISCRETE_GPU: return AdapterKind::Discrete;
    case VK_PHYSICAL_DEVICE_TYPE_INTEGRATED_GPU: return AdapterKind::Integrated;
    case VK_PHYSICAL_DEVICE_TYPE_VIRTUAL_GPU: return AdapterKind::Virtual;
    case VK_PHYSICAL_DEVICE_TYPE_CPU: return AdapterKind::Cpu;
    default: return AdapterKind::Unknown;
  }
}

}  // namespace

std::vector<GraphicsAdapter> vulkan_graphics_adapters() {
  std::vector<GraphicsAdapter> adapters;
  // The library stays loaded: some drivers register exit handlers and crash when unloaded.
  void* loader = ::dlopen("libvulkan.so.1", RTLD_NOW | RTLD_LOCAL);
  if (!loader) return adapters;
  const auto get_proc = reinterpret_cast<PFN_vkGetInstanceProcAddr>(::dlsym(loader, "vkGetInstanceProcAddr"));
  if (!get_proc) return adapters;
  const auto create_instance = reinterpret_cast<PFN_vkCreateInstance>(get_proc(nullptr, "vkCreateInstance"));
  if (!create_instance) return adapters;

  VkApplicationInfo app{};
  app.sType = VK_STRUCTURE_TYPE_APPLICATION_INFO;
  app.pApplicationName = "Strelvik";
  app.apiVersion = VK_API_VERSION_1_0;
  VkInstanceCreateInfo create{};
  create.sType = VK_STRUCTURE_TYPE_INSTANCE_CREATE_INFO;
  create.pApplicationInfo = &app;
  VkInstance instance = VK_NULL_HANDLE;
  if (create_instance(&create, nullptr, &instance) != VK_SUCCESS) return adapters;

  const auto destroy = reinterpret_cast<PFN_vkDestroyInstance>(get_proc(instance, "vkDestroyInstance"));
  const auto enumerate =
      reinterpret_cast<PFN_vkEnumeratePhysicalDevices>(get_proc(instance, "vkEnumeratePhysicalDevices"));
  const auto properties =
      reinterpret_cast<PFN_vkGetPhysicalDeviceProperties>(get_proc(instance, "vkGetPhysicalDeviceProperties"));
  const auto memory = reinterpret_cast<PFN_vkGetPhysicalDeviceMemoryProperties>(
      get_proc(instance, "vkGetPhysicalDeviceMemoryProperties"));
  if (enumerate && properties && memory) {
    std::uint32_t count = 0;
    std::vector<VkPhysicalDevice> devices;
    if (enumerate(instance, &count, nullptr) == VK_SUCCESS && count > 0) {
      devices.resize(count);
      // VK_INCOMPLETE still fills the first `count` devices.
      if (enumerate(instance, &count, devices.data()) < 0) count = 0;
      devices.resize(count);
    }
    for (VkPhysicalDevice device : devices) {
      VkPhysicalDeviceProperties props{};
      properties(device, &props);
      VkPhysicalDeviceMemoryProperties mem{};
      memory(device, &mem);
      GraphicsAdapter a;
      a.name.assign(props.deviceName, ::strnlen(props.deviceName, sizeof props.deviceName));
      a.kind = kind_of(props.deviceType);
      // Dedicated memory: the largest device-local heap.
      for (std::uint32_t h = 0; h < mem.memoryHeapCount && h < VK_MAX_MEMORY_HEAPS; ++h)
        if ((mem.memoryHeaps[h].flags & VK_MEMORY_HEAP_DEVICE_LOCAL_BIT) && mem.memoryHeaps[h].size > a.dedicated_bytes)
          a.dedicated_bytes = mem.memoryHeaps[h].size;
      adapters.push_back(std::move(a));
    }
  }
  if (destroy) destroy(instance, nullptr);
  return adapters;
}
