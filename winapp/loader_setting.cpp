#include "winapp/loader_setting.h"

#include <windows.h>

#include "winapp/win_text.h"

namespace winapp {

namespace {

constexpr wchar_t loader_key[] = L"Software\\Pellora\\pellora\\loader";
constexpr wchar_t file_value[] = L"file";

}  // namespace

std::string remembered_loader_file() {
  DWORD size = 0;
  if (RegGetValueW(HKEY_CURRENT_USER, loader_key, file_value, RRF_RT_REG_SZ, nullptr, nullptr,
                   &size) != ERROR_SUCCESS ||
      size < sizeof(wchar_t)) {
    return {};
  }
  std::wstring path(size / sizeof(wchar_t), L'\0');
  if (RegGetValueW(HKEY_CURRENT_USER, loader_key, file_value, RRF_RT_REG_SZ, nullptr, path.data(),
                   &size) != ERROR_SUCCESS) {
    return {};
  }
  path.resize(wcsnlen(path.c_str(), path.size()));
  return narrow(path);
}

void remember_loader_file(const std::string& path) {
  if (path.empty()) {
    RegDeleteKeyValueW(HKEY_CURRENT_USER, loader_key, file_value);
    return;
  }
  const std::wstring wide = widen(path);
  RegSetKeyValueW(HKEY_CURRENT_USER, loader_key, file_value, REG_SZ, wide.c_str(),
                  static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
}

}  // namespace winapp
