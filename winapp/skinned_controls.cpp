#include "winapp/skinned_controls.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <array>
#include <cmath>

#include "winapp/win_text.h"

namespace winapp {

namespace {

constexpr wchar_t skin_property[] = L"PelloraSkin";
constexpr wchar_t skinned_property[] = L"PelloraSkinned";
constexpr UINT_PTR skin_subclass_id = 1;

struct Skinned {
  SkinnedKind kind;
  SkinContext* skin;
  COLORREF background;
  bool hot = false;
  int depth = 0;                           // nested messages: only the outermost repaints
  std::vector<std::wstring> descriptions;  // the port list's
  std::wstring hint;                       // the log pane's, shown while it is empty
};

bool is_button(SkinnedKind kind) {
  return kind == SkinnedKind::push_button || kind == SkinnedKind::primary_button ||
         kind == SkinnedKind::radio_box;
}

// What the control looks like, in one number: a change means a repaint.
LRESULT visual_state(HWND control, const Skinned& skinned) {
  LRESULT state =
      (IsWindowEnabled(control) ? 1 : 0) | (skinned.hot ? 2 : 0) | (GetFocus() == control ? 4 : 0);
  if (is_button(skinned.kind)) {
    state |= SendMessageW(control, BM_GETSTATE, 0, 0) << 4;
  } else if (skinned.kind == SkinnedKind::port_list) {
    state |= SendMessageW(control, CB_GETDROPPEDSTATE, 0, 0) << 3;
    state |= (SendMessageW(control, CB_GETCURSEL, 0, 0) + 1) << 4;
  } else if (skinned.kind == SkinnedKind::gauge) {
    state |= SendMessageW(control, PBM_GETPOS, 0, 0) << 4;
  }
  return state;
}

// The standard controls paint some changes at once through their own device context,
// bypassing WM_PAINT; those are painted over again straight away.
bool paints_directly(UINT message) {
  switch (message) {
    case WM_SETTEXT:
    case WM_ENABLE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_SETFONT:
    case WM_UPDATEUISTATE:
    case WM_CHANGEUISTATE:
    case WM_COMMAND:
    case BM_SETSTYLE:
    case WM_SYSCOLORCHANGE:
    case WM_THEMECHANGED:
      return true;
    default:
      return false;
  }
}

void draw_port_entry(HDC dc, RECT rect, std::wstring_view name, std::wstring_view description,
                     bool selected, bool enabled, const SkinContext& skin) {
  const COLORREF name_colour =
      !enabled ? colour::disabled_text : (selected ? RGB(0xff, 0xff, 0xff) : colour::text);
  const COLORREF description_colour =
      !enabled ? colour::disabled_text : (selected ? RGB(0xd7, 0xeb, 0xf6) : colour::hint_text);
  HGDIOBJ old_font = SelectObject(dc, skin.fonts->window());
  SIZE name_size{};
  GetTextExtentPoint32W(dc, name.data(), static_cast<int>(name.size()), &name_size);
  SelectObject(dc, old_font);
  draw_text(dc, name, rect, skin.fonts->window(), name_colour,
            DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
  if (!description.empty()) {
    rect.left += name_size.cx + skin.scale(10);
    if (rect.left < rect.right) {
      draw_text(dc, description, rect, skin.fonts->window(), description_colour,
                DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
    }
  }
}

std::wstring item_text(HWND port_list, int index) {
  const LRESULT length = SendMessageW(port_list, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length <= 0) return {};
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  SendMessageW(port_list, CB_GETLBTEXT, static_cast<WPARAM>(index),
               reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(length));
  return text;
}

// The subclass data, found again from the control (GetWindowSubclass is not in every
// import library).
Skinned* skinned_of(HWND control) {
  return static_cast<Skinned*>(GetPropW(control, skinned_property));
}

void paint_port_list(HWND control, HDC dc, const RECT& rect, const Skinned& skinned) {
  const SkinContext& skin = *skinned.skin;
  const bool enabled = IsWindowEnabled(control) != FALSE;
  const bool dropped = SendMessageW(control, CB_GETDROPPEDSTATE, 0, 0) != 0;
  const bool focused = GetFocus() == control;
  fill_rect(dc, rect, skinned.background);
  const COLORREF face = enabled ? colour::field : colour::disabled_field;
  const COLORREF border = !enabled                              ? colour::disabled_border
                          : (focused || skinned.hot || dropped) ? colour::accent
                                                                : colour::field_border;
  fill_rounded(dc, rect, skin.scale(4), face, face, border);

  // The arrow: a small filled triangle in an 18-pixel strip at the right.
  const int strip = skin.scale(18);
  const int arrow_width = skin.scale(9) | 1;
  const int arrow_height = (arrow_width + 1) / 2;
  const int cx = rect.right - strip / 2 - 1;
  const int top = rect.top + (rect.bottom - rect.top - arrow_height) / 2;
  const std::array<POINT, 3> arrow{POINT{cx - arrow_width / 2, top},
                                   POINT{cx + arrow_width / 2, top},
                                   POINT{cx, top + arrow_height - 1}};
  const COLORREF arrow_colour = enabled ? colour::text : colour::disabled_text;
  HBRUSH brush = CreateSolidBrush(arrow_colour);
  HPEN pen = CreatePen(PS_SOLID, 1, arrow_colour);
  HGDIOBJ old_brush = SelectObject(dc, brush);
  HGDIOBJ old_pen = SelectObject(dc, pen);
  Polygon(dc, arrow.data(), static_cast<int>(arrow.size()));
  SelectObject(dc, old_brush);
  SelectObject(dc, old_pen);
  DeleteObject(brush);
  DeleteObject(pen);

  RECT text_rect = rect;
  text_rect.left += skin.scale(6);
  text_rect.right -= strip;
  const auto selected = static_cast<int>(SendMessageW(control, CB_GETCURSEL, 0, 0));
  if (selected >= 0) {
    const auto index = static_cast<std::size_t>(selected);
    const std::wstring description =
        index < skinned.descriptions.size() ? skinned.descriptions[index] : std::wstring();
    draw_port_entry(dc, text_rect, item_text(control, selected), description, false, enabled, skin);
  } else {
    draw_text(dc, L"Choose a port", text_rect, skin.fonts->window(),
              enabled ? colour::hint_text : colour::disabled_text,
              DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
  }
}

int gauge_percent(HWND gauge) {
  PBRANGE range{};
  SendMessageW(gauge, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
  const auto position = static_cast<long long>(SendMessageW(gauge, PBM_GETPOS, 0, 0));
  const long long span = static_cast<long long>(range.iHigh) - range.iLow;
  if (span <= 0) return 0;
  return static_cast<int>((position - range.iLow) * 100 / span);
}

void paint_skinned(HWND control, HDC target, const Skinned& skinned) {
  RECT rect{};
  GetClientRect(control, &rect);
  BufferedPaint buffer(target, rect);
  HDC dc = buffer.dc();
  const SkinContext& skin = *skinned.skin;
  switch (skinned.kind) {
    case SkinnedKind::push_button:
    case SkinnedKind::primary_button:
    case SkinnedKind::radio_box: {
      const auto state = SendMessageW(control, BM_GETSTATE, 0, 0);
      ButtonState look;
      look.enabled = IsWindowEnabled(control) != FALSE;
      look.pressed = (state & BST_PUSHED) != 0;
      look.focused = GetFocus() == control;
      look.hot = skinned.hot && look.enabled;
      const std::wstring caption = window_text(control);
      if (skinned.kind == SkinnedKind::radio_box) {
        draw_radio_box(dc, rect, caption, (state & BST_CHECKED) != 0, look, skinned.background,
                       *skin.fonts, skin.scale);
      } else {
        fill_rect(dc, rect, skinned.background);
        draw_push_button(
            dc, rect, caption,
            skinned.kind == SkinnedKind::primary_button ? ButtonLook::primary : ButtonLook::plain,
            look, *skin.fonts, skin.scale);
      }
      break;
    }
    case SkinnedKind::port_list:
      paint_port_list(control, dc, rect, skinned);
      break;
    case SkinnedKind::gauge:
      draw_gauge(dc, rect, gauge_percent(control), skinned.background, *skin.fonts, skin.scale);
      break;
    case SkinnedKind::log_pane:
      break;
  }
}

// The log keeps the EDIT control's own painting; only its one-pixel frame takes the skin's
// colour, lighter blue while it has the focus.
void paint_log_frame(HWND pane) {
  HDC dc = GetWindowDC(pane);
  RECT rect{};
  GetWindowRect(pane, &rect);
  OffsetRect(&rect, -rect.left, -rect.top);
  HBRUSH brush =
      CreateSolidBrush(GetFocus() == pane ? colour::log_focus_border : colour::log_border);
  FrameRect(dc, &rect, brush);
  DeleteObject(brush);
  ReleaseDC(pane, dc);
}

// Messages that may empty the log pane or fill it.
bool edits_text(UINT message) {
  switch (message) {
    case WM_SETTEXT:
    case EM_REPLACESEL:
    case WM_CHAR:
    case WM_KEYDOWN:
    case WM_CUT:
    case WM_PASTE:
    case WM_CLEAR:
    case WM_UNDO:
    case EM_UNDO:
      return true;
    default:
      return false;
  }
}

// The hint in the empty log, in a paler blue than the log's, where the text would start.
void paint_log_hint(HWND pane, const Skinned& skinned) {
  if (skinned.hint.empty() || GetWindowTextLengthW(pane) != 0) return;
  RECT text_area{};
  SendMessageW(pane, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&text_area));
  HDC dc = GetDC(pane);
  draw_text(dc, skinned.hint, text_area, skinned.skin->fonts->log(),
            blend(colour::accent, colour::field, 0.5), DT_LEFT | DT_TOP | DT_WORDBREAK);
  ReleaseDC(pane, dc);
}

LRESULT CALLBACK skinned_proc(HWND control, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                              DWORD_PTR data) {
  auto* skinned = reinterpret_cast<Skinned*>(data);
  const bool painted_here = skinned->kind != SkinnedKind::log_pane;
  bool hot_changed = false;
  switch (message) {
    case WM_NCDESTROY:
      RemoveWindowSubclass(control, skinned_proc, skin_subclass_id);
      RemovePropW(control, skinned_property);
      delete skinned;
      return DefSubclassProc(control, message, wparam, lparam);
    case WM_ERASEBKGND:
      if (painted_here) return 1;
      break;
    case WM_PAINT:
      if (painted_here) {
        PAINTSTRUCT paint{};
        HDC dc = BeginPaint(control, &paint);
        paint_skinned(control, dc, *skinned);
        EndPaint(control, &paint);
        return 0;
      }
      break;
    case WM_PRINTCLIENT:
      if (painted_here) {
        paint_skinned(control, reinterpret_cast<HDC>(wparam), *skinned);
        return 0;
      }
      break;
    case WM_NCPAINT:
      if (!painted_here) {
        const LRESULT result = DefSubclassProc(control, message, wparam, lparam);
        paint_log_frame(control);
        return result;
      }
      break;
    case WM_MOUSEMOVE:
      if (!skinned->hot) {
        skinned->hot = true;
        hot_changed = true;
        track_mouse_leave(control);
      }
      break;
    case WM_MOUSELEAVE:
      hot_changed = skinned->hot;
      skinned->hot = false;
      break;
    default:
      break;
  }
  if (!painted_here) {
    const bool edits = edits_text(message) && !skinned->hint.empty();
    const bool was_empty = edits && GetWindowTextLengthW(control) == 0;
    const LRESULT result = DefSubclassProc(control, message, wparam, lparam);
    if (message == WM_SETFOCUS || message == WM_KILLFOCUS) paint_log_frame(control);
    if (message == WM_PAINT) paint_log_hint(control, *skinned);
    if (edits && was_empty != (GetWindowTextLengthW(control) == 0)) {
      InvalidateRect(control, nullptr, TRUE);
    }
    return result;
  }
  if (skinned->depth > 0) return DefSubclassProc(control, message, wparam, lparam);
  ++skinned->depth;
  const LRESULT before = visual_state(control, *skinned);
  const LRESULT result = DefSubclassProc(control, message, wparam, lparam);
  const LRESULT after = IsWindow(control) ? visual_state(control, *skinned) : before;
  --skinned->depth;
  if (IsWindow(control) && (hot_changed || before != after || paints_directly(message))) {
    RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  }
  return result;
}

// --- the window's own classes --------------------------------------------------------------

LRESULT CALLBACK group_box_proc(HWND box, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      HDC target = BeginPaint(box, &paint);
      if (const SkinContext* skin = skin_of(box)) {
        RECT rect{};
        GetClientRect(box, &rect);
        BufferedPaint buffer(target, rect);
        HDC dc = buffer.dc();
        fill_rect(dc, rect, colour::window);
        RECT frame = rect;
        frame.right -= 1;
        frame.bottom -= 1;
        fill_rounded(dc, frame, skin->scale(6), colour::panel, colour::panel, colour::panel_border);
        RECT caption = rect;
        caption.left += skin->scale(7);
        caption.top += skin->scale(4);
        draw_text(dc, window_text(box), caption, skin->fonts->window(), colour::panel_title,
                  DT_LEFT | DT_TOP | DT_SINGLELINE);
      }
      EndPaint(box, &paint);
      return 0;
    }
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_DELETEITEM:
    case WM_COMPAREITEM:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
      return SendMessageW(GetParent(box), message, wparam, lparam);
    case WM_CLOSE:
      // A multi-line EDIT in dialog mode asks its parent to close on Esc; the group box is
      // no dialog, and Esc only sets the abort flag.
      return 0;
    default:
      return DefWindowProcW(box, message, wparam, lparam);
  }
}

}  // namespace

void skin_control(HWND control, SkinnedKind kind, SkinContext& skin, COLORREF background) {
  auto* skinned = new Skinned{kind, &skin, background, false, 0, {}, {}};
  SetPropW(control, skinned_property, skinned);
  SetWindowSubclass(control, skinned_proc, skin_subclass_id, reinterpret_cast<DWORD_PTR>(skinned));
  if (kind == SkinnedKind::log_pane) {
    SetWindowPos(control, nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  InvalidateRect(control, nullptr, TRUE);
}

void set_port_descriptions(HWND port_list, std::vector<std::wstring> descriptions) {
  if (Skinned* skinned = skinned_of(port_list)) skinned->descriptions = std::move(descriptions);
  InvalidateRect(port_list, nullptr, FALSE);
}

void set_log_hint(HWND log_pane, std::wstring hint) {
  if (Skinned* skinned = skinned_of(log_pane)) skinned->hint = std::move(hint);
  InvalidateRect(log_pane, nullptr, TRUE);
}

void measure_port_item(MEASUREITEMSTRUCT& item, const SkinContext& skin) {
  // The selection field is sized to the control's height afterwards; rows as the skin's.
  item.itemHeight = static_cast<UINT>(skin.scale(20));
}

void draw_port_item(const DRAWITEMSTRUCT& item, const SkinContext& skin) {
  // The selection field is painted with the whole control.
  if ((item.itemState & ODS_COMBOBOXEDIT) != 0 || item.itemID == static_cast<UINT>(-1)) return;
  const bool selected = (item.itemState & ODS_SELECTED) != 0;
  fill_rect(item.hDC, item.rcItem, selected ? colour::accent : colour::field);
  const Skinned* skinned = skinned_of(item.hwndItem);
  const std::wstring description = skinned && item.itemID < skinned->descriptions.size()
                                       ? skinned->descriptions[item.itemID]
                                       : std::wstring();
  RECT text_rect = item.rcItem;
  text_rect.left += skin.scale(6);
  text_rect.right -= skin.scale(4);
  draw_port_entry(item.hDC, text_rect, item_text(item.hwndItem, static_cast<int>(item.itemID)),
                  description, selected, true, skin);
}

void fit_port_list_width(HWND port_list, const SkinContext& skin) {
  const Skinned* skinned = skinned_of(port_list);
  HDC dc = GetDC(port_list);
  HGDIOBJ old_font = SelectObject(dc, skin.fonts->window());
  RECT rect{};
  GetWindowRect(port_list, &rect);
  int widest = rect.right - rect.left;
  const auto count = static_cast<int>(SendMessageW(port_list, CB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    std::wstring text = item_text(port_list, i);
    const auto index = static_cast<std::size_t>(i);
    if (skinned && index < skinned->descriptions.size()) {
      text += L"   " + skinned->descriptions[index];
    }
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    widest = std::max(widest, static_cast<int>(size.cx) + skin.scale(30));
  }
  SelectObject(dc, old_font);
  ReleaseDC(port_list, dc);
  SendMessageW(port_list, CB_SETDROPPEDWIDTH,
               static_cast<WPARAM>(std::min(widest, skin.scale(560))), 0);
}

void track_mouse_leave(HWND window) {
  TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_LEAVE, window, 0};
  TrackMouseEvent(&track);
}

void register_control_class(HINSTANCE instance, const wchar_t* name, WNDPROC procedure) {
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof(window_class);
  window_class.style = CS_HREDRAW | CS_VREDRAW;
  window_class.lpfnWndProc = procedure;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.lpszClassName = name;
  RegisterClassExW(&window_class);
}

void register_group_box_class(HINSTANCE instance) {
  register_control_class(instance, group_box_class, group_box_proc);
}

void attach_skin(HWND top_level, SkinContext& skin) {
  SetPropW(top_level, skin_property, &skin);
}

SkinContext* skin_of(HWND window) {
  return static_cast<SkinContext*>(GetPropW(GetAncestor(window, GA_ROOT), skin_property));
}

}  // namespace winapp
