#pragma once
// What the window has to say about the log (a diagnosis, a live wait hint, where "Save Log"
// wrote), on a strip along the bottom edge of the log pane, as the Qt window shows it. The
// strip is a window of its own over the pane, not part of the log's text, so "Save Log"
// writes exactly the log; while it shows, the pane's text keeps above it.

#include <windows.h>

#include <string>

#include "winapp/skinned_controls.h"

namespace winapp {

enum class NoticeKind {
  hint,     // while waiting: worth a look
  good,     // the check went well
  trouble,  // the check failed: what it means and what to try
  info,     // a plain fact (where the log went)
};

class NoticeStrip {
 public:
  // Over log_pane, a sibling of it in parent. text_id: the id of the read-only EDIT that
  // holds the text, so that a screen reader or a test finds it.
  NoticeStrip(HINSTANCE instance, HWND parent, HWND log_pane, int text_id, SkinContext& skin);
  NoticeStrip(const NoticeStrip&) = delete;
  NoticeStrip& operator=(const NoticeStrip&) = delete;

  // An empty text takes the strip away.
  void show(const std::wstring& text, NoticeKind kind);
  void hide() { show({}, NoticeKind::info); }
  // Again after the pane has moved or the fonts have changed.
  void place();

  static void register_class(HINSTANCE instance);

 private:
  static LRESULT CALLBACK strip_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT handle(UINT message, WPARAM wparam, LPARAM lparam);
  void paint(HDC dc);

  HWND window_ = nullptr;
  HWND text_ = nullptr;
  HWND close_ = nullptr;
  HWND log_pane_;
  SkinContext& skin_;
  NoticeKind kind_ = NoticeKind::info;
  HBRUSH background_ = nullptr;
};

}  // namespace winapp
