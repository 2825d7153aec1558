// The probe's sources on Windows: cpuid (cpuid_brand.h), GetLogicalProcessorInformation, the
// registry, GlobalMemoryStatusEx, GetComputerNameA and the DXGI adapters.
#include <windows.h>
// after windows.h
#include <dxgi.h>

#include <bit>
#include <string>
#include <vector>

#include "system/cpu_topology.h"
#include "system/cpuid_brand.h"
#include "system/job_cpu_limit.h"
#include "system/probe.h"
#include "system/windows_version.h"

namespace {

std::vector<SYSTEM_LOGICAL_PROCESSOR_INFORMATION> processor_records() {
  DWORD length = 0;
  GetLogicalProcessorInformation(nullptr, &length);
  if (length == 0) return {};
  std::vector<SYSTEM_LOGICAL_PROCESSOR_INFORMATION> records(length / sizeof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION));
  if (!GetLogicalProcessorInformation(records.data(), &length)) return {};
  records.resize(length / sizeof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION));
  return records;
}

CacheType cache_type(PROCESSOR_CACHE_TYPE type) {
  switch (type) {
    case CacheData: return CacheType::Data;
    case CacheInstruction: return CacheType::Instruction;
    case CacheUnified: return CacheType::Unified;
    default: return CacheType::Other;
  }
}

// A registry value under HKEY_LOCAL_MACHINE\key as text, limited to `limit` bytes; empty when
// it cannot be read.
std::string registry_text(HKEY key, const char* name, DWORD limit) {
  std::vector<char> buffer(limit + 1, '\0');
  DWORD size = limit;
  if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer.data()), &size) != ERROR_SUCCESS)
    return {};
  return std::string(buffer.data());  // up to the first zero byte
}

std::string utf8(const wchar_t* text) {
  char buffer[128] = {};
  WideCharToMultiByte(CP_UTF8, 0, text, -1, buffer, sizeof buffer - 1, nullptr, nullptr);
  return std::string(buffer);
}

class WindowsSystemSources final : public ISystemSources {
 public:
  std::string cpu_brand() override { return cpuid_brand(); }

  std::uint32_t physical_cores() override {
    std::uint32_t cores = 0;
    for (const auto& record : processor_records())
      if (record.Relationship == RelationProcessorCore) ++cores;
    return cores;
  }

  // Every processor group: the standard library's count stops at the program's own group.
  std::uint32_t logical_processors() override { return GetActiveProcessorCount(ALL_PROCESSOR_GROUPS); }

  // The processors of the groups this process runs in; within one group, its affinity mask.
  std::optional<std::uint32_t> affinity_processors() override {
    USHORT count = 0;
    GetProcessGroupAffinity(GetCurrentProcess(), &count, nullptr);  // asks for the size
    std::vector<USHORT> groups(count == 0 ? 1 : count);
    count = static_cast<USHORT>(groups.size());
    if (!GetProcessGroupAffinity(GetCurrentProcess(), &count, groups.data()) || count == 0) return std::nullopt;
    if (count == 1) {
      DWORD_PTR process = 0, system = 0;
      if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system)) return std::nullopt;
      return static_cast<std::uint32_t>(std::popcount(static_cast<std::uint64_t>(process)));
    }
    std::uint32_t total = 0;
    for (USHORT i = 0; i < count; ++i) total += GetActiveProcessorCount(groups[i]);
    return total;
  }

  // A job object's CPU rate cap; a process in no job gets nothing from the query.
  std::optional<std::uint32_t> quota_processors() override {
    JOBOBJECT_CPU_RATE_CONTROL_INFORMATION info{};
    if (!QueryInformationJobObject(nullptr, JobObjectCpuRateControlInformation, &info, sizeof info, nullptr))
      return std::nullopt;
    JobCpuRate rate;
    rate.control_flags = info.ControlFlags;
    rate.cpu_rate = info.CpuRate;
    // MinRate and MaxRate share the rate's field (low and high word); mingw's header lacks them.
    if (info.ControlFlags & kJobCpuRateMinMax) rate.max_rate = HIWORD(info.CpuRate);
    return job_rate_processors(rate, logical_processors());
  }

  std::vector<CoreType> core_types() override { return this_machine_cpu_topology().types; }

  double clock_mhz() override {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
      return 0.0;
    DWORD mhz = 0;
    DWORD size = sizeof mhz;
    RegQueryValueExA(key, "~MHz", nullptr, nullptr, reinterpret_cast<BYTE*>(&mhz), &size);
    RegCloseKey(key);
    return static_cast<double>(mhz);
  }

  std::vector<CacheRecord> cache_records() override {
    std::vector<CacheRecord> records;
    for (const auto& record : processor_records()) {
      if (record.Relationship != RelationCache) continue;
      records.push_back(CacheRecord{record.Cache.Level, cache_type(record.Cache.Type), record.Cache.Size});
    }
    return records;
  }

  MemoryStatus memory() override {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status)) return {};
    return MemoryStatus{status.ullTotalPhys, status.ullAvailPhys};
  }

  std::string os_name() override {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
      return {};
    const std::string product = registry_text(key, "ProductName", 256);
    const std::string display = registry_text(key, "DisplayVersion", 64);
    const std::string build = registry_text(key, "CurrentBuildNumber", 64);
    RegCloseKey(key);
    return format_windows_version(product, display, build);
  }

  std::string computer_name() override {
    char name[16] = {};
    DWORD size = sizeof name;
    if (!GetComputerNameA(name, &size)) return {};
    return std::string(name);
  }

  std::vector<GraphicsAdapter> graphics_adapters() override {
    std::vector<GraphicsAdapter> adapters;
    IDXGIFactory1* factory = nullptr;
    if (FAILED(CreateDXGIFactory1(__uuidof(IDXGIFactory1), reinterpret_cast<void**>(&factory)))) return adapters;
    IDXGIAdapter1* adapter = nullptr;
    for (UINT i = 0; i < 64 && factory->EnumAdapters1(i, &adapter) != DXGI_ERROR_NOT_FOUND; ++i) {
      DXGI_ADAPTER_DESC1 desc{};
      if (SUCCEEDED(adapter->GetDesc1(&desc))) {
        // Windows does not say discrete or integrated; dedicated memory decides among the rest.
        const bool software = (desc.Flags & DXGI_ADAPTER_FLAG_SOFTWARE) != 0 || desc.DedicatedVideoMemory == 0;
        adapters.push_back(GraphicsAdapter{utf8(desc.Description), desc.DedicatedVideoMemory,
                                           software ? AdapterKind::Cpu : AdapterKind::Unknown});
      }
      adapter->Release();
    }
    factory->Release();
    return adapters;
  }
};

}  // namespace

std::unique_ptr<ISystemSources> make_platform_system_sources() { return std::make_unique<WindowsSystemSources>(); }
