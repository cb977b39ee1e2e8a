#include "winapp/link_label.h"

#include <commctrl.h>
#include <shlwapi.h>

#include "winapp/win_text.h"

namespace winapp {

namespace {

constexpr std::size_t max_url_length = 2084;  // INTERNET_MAX_URL_LENGTH

// The link label: a hand over it, a lighter blue under the mouse.
LRESULT CALLBACK link_label_proc(HWND label, UINT message, WPARAM wparam, LPARAM lparam,
                                 UINT_PTR subclass_id, DWORD_PTR data) {
  auto* hot = reinterpret_cast<bool*>(data);
  switch (message) {
    case WM_SETCURSOR:
      SetCursor(LoadCursorW(nullptr, IDC_HAND));
      return TRUE;
    case WM_MOUSEMOVE:
      if (!*hot) {
        *hot = true;
        TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_LEAVE, label, 0};
        TrackMouseEvent(&track);
        InvalidateRect(label, nullptr, TRUE);
      }
      break;
    case WM_MOUSELEAVE:
      *hot = false;
      InvalidateRect(label, nullptr, TRUE);
      break;
    case WM_NCDESTROY:
      RemoveWindowSubclass(label, link_label_proc, subclass_id);
      break;
    default:
      break;
  }
  return DefSubclassProc(label, message, wparam, lparam);
}

}  // namespace

void make_link_label(HWND label, bool& hot) {
  SetWindowSubclass(label, link_label_proc, 1, reinterpret_cast<DWORD_PTR>(&hot));
}

std::wstring help_page_address() {
  std::wstring path = program_file();
  path.resize(path.find_last_of(L"\\/") + 1);
  path += L"help\\index.html";
  std::wstring url(max_url_length, L'\0');
  DWORD length = static_cast<DWORD>(url.size());
  if (FAILED(UrlCreateFromPathW(path.c_str(), url.data(), &length, 0))) return path;
  url.resize(length);
  return url;
}

}  // namespace winapp
