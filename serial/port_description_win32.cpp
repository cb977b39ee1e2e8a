// What Windows knows of the device behind a COM name: its friendly name from the Ports
// device class, found by the PortName value of each device's registry key.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

// In this order: initguid.h makes devguid.h define GUID_DEVCLASS_PORTS, not only declare it.
#include <initguid.h>

#include <devguid.h>
#include <setupapi.h>

#include <cwchar>
#include <string>

#include "serial/port_scan.h"

namespace serial {
namespace {

std::wstring wide(const std::string& text) {
  const int length =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring result(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
  if (length > 0)
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(),
                        length);
  return result;
}

std::string utf8(const std::wstring& text) {
  const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
  if (length > 0)
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(),
                        length, nullptr, nullptr);
  return result;
}

// A registry or device property string of at most size bytes, without its closing zeros.
std::wstring wide_text(const wchar_t* data, DWORD size_in_bytes) {
  std::wstring text(data, size_in_bytes / sizeof(wchar_t));
  while (!text.empty() && text.back() == L'\0') text.pop_back();
  return text;
}

std::wstring port_name_of(HDEVINFO devices, SP_DEVINFO_DATA& device) {
  const HKEY key =
      SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
  if (key == INVALID_HANDLE_VALUE) return {};
  wchar_t name[256] = {};
  DWORD type = 0;
  DWORD size = sizeof name - sizeof(wchar_t);  // room for a closing zero the value may lack
  const LONG status =
      RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(name), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS || type != REG_SZ) return {};
  return wide_text(name, size);
}

std::wstring friendly_name_of(HDEVINFO devices, SP_DEVINFO_DATA& device) {
  wchar_t name[512] = {};
  DWORD type = 0;
  DWORD size = 0;
  if (!SetupDiGetDeviceRegistryPropertyW(devices, &device, SPDRP_FRIENDLYNAME, &type,
                                         reinterpret_cast<BYTE*>(name),
                                         sizeof name - sizeof(wchar_t), &size) ||
      type != REG_SZ)
    return {};
  return wide_text(name, size);
}

}  // namespace

std::string describe_port(const std::string& name) {
  // "COM3", also when given as the device path "\\.\COM3".
  const std::string bare = name.starts_with("\\\\.\\") ? name.substr(4) : name;
  if (bare.empty()) return {};
  const std::wstring wanted = wide(bare);

  const HDEVINFO devices =
      SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
  if (devices == INVALID_HANDLE_VALUE) return {};
  std::wstring description;
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  for (DWORD index = 0; SetupDiEnumDeviceInfo(devices, index, &device); ++index) {
    if (_wcsicmp(port_name_of(devices, device).c_str(), wanted.c_str()) != 0) continue;
    description = friendly_name_of(devices, device);
    break;
  }
  SetupDiDestroyDeviceInfoList(devices);
  return utf8(description);
}

}  // namespace serial
