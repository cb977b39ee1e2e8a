#pragma once
// The standard controls keep their classes (a screen reader or a test driver finds a BUTTON
// captioned "Flash Mode", a COMBOBOX, an EDIT, a progress bar) and only their painting is
// taken over, in the skin's colours. The group box is a small window class of our own.

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "winapp/skin.h"

namespace winapp {

// What every skinned control draws with; owned by the window, updated when the DPI changes.
struct SkinContext {
  std::unique_ptr<Fonts> fonts;
  Scale scale;
};

enum class SkinnedKind { push_button, primary_button, radio_box, port_list, gauge, log_pane };

// Takes over the control's painting. background: the colour around it.
void skin_control(HWND control, SkinnedKind kind, SkinContext& skin, COLORREF background);

// The log pane: a hint shown while it is empty; it is not part of the log.
void set_log_hint(HWND log_pane, std::wstring hint);

// The port list: a description shown beside each port's name, by item index.
void set_port_descriptions(HWND port_list, std::vector<std::wstring> descriptions);
// The owner-drawn port list asks its parent to draw and measure its items.
void measure_port_item(MEASUREITEMSTRUCT& item, const SkinContext& skin);
void draw_port_item(const DRAWITEMSTRUCT& item, const SkinContext& skin);
// The drop-down is made wide enough for the longest name and description.
void fit_port_list_width(HWND port_list, const SkinContext& skin);

// Asks for WM_MOUSELEAVE, so that a control under the mouse can be painted as such.
void track_mouse_leave(HWND window);

// A window class of our own for a small control: arrow cursor, redrawn whole when resized.
void register_control_class(HINSTANCE instance, const wchar_t* name, WNDPROC procedure);

// The group box that holds every control: draws its frame and caption (its window text) and
// hands its children's notifications on to its parent. Register once before creating it.
inline constexpr wchar_t group_box_class[] = L"PelloraGroupBox";
void register_group_box_class(HINSTANCE instance);

// The window's skin context, for classes that have no other way to it: set on the top-level
// window as a property.
void attach_skin(HWND top_level, SkinContext& skin);
SkinContext* skin_of(HWND window);

}  // namespace winapp
