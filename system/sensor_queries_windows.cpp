// The Windows sensor queries: PDH for the clock's share of nominal, the registry for the
// nominal clock, WMI for an ACPI thermal zone, GetSystemPowerStatus for the battery. Each one
// that fails is not asked again: a refused WMI query costs the WMI service real time.
#include <windows.h>
// After windows.h:
#include <objbase.h>
#include <pdh.h>
#include <wbemidl.h>

#include <memory>
#include <mutex>

#include "system/sensor_queries.h"

namespace {

// COM on the asking thread, in the multithreaded apartment so that one WMI connection serves
// the sampler's thread and the `info` command's alike. Never uninitialised: these threads
// last as long as the program.
bool com_ready() {
  thread_local const bool ready = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
  return ready;
}

class PerformanceCounter {
 public:
  std::optional<double> percent() {
    std::lock_guard lock(mutex_);
    if (failed_) return std::nullopt;
    if (query_ == nullptr) {
      // "Processor Information" has the % Processor Performance counter since Windows 8.
      if (PdhOpenQueryW(nullptr, 0, &query_) != ERROR_SUCCESS ||
          PdhAddEnglishCounterW(query_, L"\\Processor Information(_Total)\\% Processor Performance", 0, &counter_) !=
              ERROR_SUCCESS ||
          PdhCollectQueryData(query_) != ERROR_SUCCESS) {
        failed_ = true;
        return std::nullopt;
      }
      Sleep(100);  // a rate counter needs two collections some time apart; once per program
    }
    PDH_FMT_COUNTERVALUE value{};
    if (PdhCollectQueryData(query_) != ERROR_SUCCESS ||
        PdhGetFormattedCounterValue(counter_, PDH_FMT_DOUBLE | PDH_FMT_NOCAP100, nullptr, &value) != ERROR_SUCCESS ||
        value.CStatus != ERROR_SUCCESS) {
      return std::nullopt;
    }
    return value.doubleValue;
  }

 private:
  std::mutex mutex_;
  PDH_HQUERY query_ = nullptr;
  PDH_HCOUNTER counter_ = nullptr;
  bool failed_ = false;
};

std::optional<double> registry_nominal_mhz() {
  DWORD mhz = 0;
  DWORD size = sizeof mhz;
  if (RegGetValueW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0", L"~MHz", RRF_RT_REG_DWORD,
                   nullptr, &mhz, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return static_cast<double>(mhz);
}

template <typename T>
struct ComRelease {
  void operator()(T* p) const {
    if (p != nullptr) p->Release();
  }
};
template <typename T>
using ComPtr = std::unique_ptr<T, ComRelease<T>>;

class ThermalZones {
 public:
  static constexpr LONG kRowTimeoutMs = 2000;

  std::optional<double> hottest_tenths_kelvin() {
    std::lock_guard lock(mutex_);
    if (failed_ || !com_ready()) return std::nullopt;
    if (!services_ && !connect()) {
      failed_ = true;
      return std::nullopt;
    }
    IEnumWbemClassObject* raw_rows = nullptr;
    BSTR language = SysAllocString(L"WQL");
    BSTR query = SysAllocString(L"SELECT CurrentTemperature FROM MSAcpi_ThermalZoneTemperature");
    const HRESULT hr = services_->ExecQuery(language, query, WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY,
                                            nullptr, &raw_rows);
    SysFreeString(language);
    SysFreeString(query);
    if (FAILED(hr)) {
      failed_ = true;  // access denied without administrator rights: asking again changes nothing
      return std::nullopt;
    }
    ComPtr<IEnumWbemClassObject> rows(raw_rows);
    std::optional<double> hottest;
    for (;;) {
      IWbemClassObject* raw_row = nullptr;
      ULONG returned = 0;
      // A bounded wait: a stalled WMI service must not hold the sampler's thread for good.
      if (rows->Next(kRowTimeoutMs, 1, &raw_row, &returned) != WBEM_S_NO_ERROR || returned == 0) break;
      ComPtr<IWbemClassObject> row(raw_row);
      VARIANT value;
      VariantInit(&value);
      if (SUCCEEDED(row->Get(L"CurrentTemperature", 0, &value, nullptr, nullptr))) {
        double tenths = -1.0;
        if (value.vt == VT_I4) tenths = static_cast<double>(value.lVal);
        if (value.vt == VT_UI4) tenths = static_cast<double>(value.ulVal);
        if (tenths > 0.0 && (!hottest || tenths > *hottest)) hottest = tenths;
      }
      VariantClear(&value);
    }
    return hottest;
  }

 private:
  bool connect() {
    IWbemLocator* raw_locator = nullptr;
    if (FAILED(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                reinterpret_cast<void**>(&raw_locator)))) {
      return false;
    }
    ComPtr<IWbemLocator> locator(raw_locator);
    IWbemServices* raw_services = nullptr;
    BSTR space = SysAllocString(L"ROOT\\WMI");
    const HRESULT hr = locator->ConnectServer(space, nullptr, nullptr, nullptr, 0, nullptr, nullptr, &raw_services);
    SysFreeString(space);
    if (FAILED(hr)) return false;
    services_.reset(raw_services);
    CoSetProxyBlanket(services_.get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                      RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
    return true;
  }

  std::mutex mutex_;
  ComPtr<IWbemServices> services_;
  bool failed_ = false;
};

std::optional<bool> power_status_on_battery() {
  SYSTEM_POWER_STATUS status{};
  if (!GetSystemPowerStatus(&status)) return std::nullopt;
  if (status.ACLineStatus == 0) return true;
  if (status.ACLineStatus == 1) return false;
  return std::nullopt;  // 255: unknown
}

}  // namespace

SensorQueries windows_sensor_queries() {
  auto counter = std::make_shared<PerformanceCounter>();
  auto zones = std::make_shared<ThermalZones>();
  return SensorQueries{
      .processor_performance_percent = [counter] { return counter->percent(); },
      .nominal_mhz = registry_nominal_mhz,
      .thermal_zone_tenths_kelvin = [zones] { return zones->hottest_tenths_kelvin(); },
      .on_battery = power_status_on_battery,
  };
}

std::unique_ptr<ISensorSource> make_platform_sensor_source(const std::string& /*machine_root*/) {
  return make_query_sensor_source(windows_sensor_queries());
}
