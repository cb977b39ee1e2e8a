// The window's loader image choice, through its system menu, as the Qt window has it: a file
// of the user's or the built-in image, checked and read by the kit (frontend/loader_choice.h)
// and remembered between runs; and "About Pellora".

#include <windows.h>

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <array>

#include "frontend/diagnosis.h"
#include "frontend/program.h"
#include "resources/loader_image.h"
#include "winapp/Unit1.h"
#include "winapp/control_ids.h"
#include "winapp/link_label.h"
#include "winapp/loader_setting.h"
#include "winapp/title_bar.h"
#include "winapp/win_text.h"

namespace {

namespace command = winapp::command;

const std::wstring flash_mode_hint = L"Upload the loader and ask it whether the flash answers";

std::string loader_line(const frontend::LoaderChoice& choice) {
  return choice.description_sentence();
}

// The file dialog, in the folder of the file chosen before. It leaves the current folder as
// it was: "Save Log" writes there.
std::string ask_for_loader_file(HWND owner, const frontend::LoaderChoice& choice) {
  std::array<wchar_t, 32768> path{};
  std::wstring folder;
  if (choice.file) {
    folder = winapp::widen(choice.file->path);
    folder.resize(folder.find_last_of(L"\\/") == std::wstring::npos ? 0
                                                                    : folder.find_last_of(L"\\/"));
  }
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = L"Loader images (*.bin)\0*.bin\0All files (*.*)\0*.*\0";
  dialog.lpstrFile = path.data();
  dialog.nMaxFile = static_cast<DWORD>(path.size());
  dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  dialog.lpstrTitle = L"Loader image";
  dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_EXPLORER;
  if (!GetOpenFileNameW(&dialog)) return {};
  return winapp::narrow(path.data());
}

}  // namespace

void TForm1::add_loader_entries() {
  title_bar_->add_menu_entry(0, nullptr);
  title_bar_->add_menu_entry(command::loader_file, L"Loader image\u2026");
  title_bar_->add_menu_entry(command::built_in_loader, resources::embedded_loader_is_stand_in()
                                                           ? L"Use the built-in stand-in"
                                                           : L"Use the built-in image");
  title_bar_->add_menu_entry(0, nullptr);
  title_bar_->add_menu_entry(command::about, L"About Pellora");
}

void TForm1::LoaderImageClick() {
  run_guarded([this] {
    if (boot_check_running_) return;
    const std::string path = ask_for_loader_file(handle_, loader_choice_);
    if (!path.empty()) choose_loader_file(path, true);
    show_loader_in_use();  // the menu's mark follows the choice, not the click
  });
}

void TForm1::BuiltInLoaderClick() {
  run_guarded([this] {
    if (boot_check_running_) return;
    loader_choice_.file.reset();
    remember_loader_choice();
    show_loader_in_use();
    show_notice(loader_line(loader_choice_), winapp::NoticeKind::info);
  });
}

void TForm1::AboutClick() {
  const std::wstring text =
      winapp::widen(frontend::about_text(loader_choice_.description(), winapp::narrow(help_page_)));
  MessageBoxW(handle_, text.c_str(), L"About Pellora", MB_OK | MB_ICONINFORMATION);
}

bool TForm1::choose_loader_file(const std::string& path, bool remember) {
  if (boot_check_running_) return false;
  auto loaded = frontend::load_loader_file(path);
  if (const auto* refusal = std::get_if<frontend::LoaderRefusal>(&loaded)) {
    show_error(frontend::refusal_text(*refusal));
    return false;
  }
  loader_choice_.file = std::get<frontend::LoaderFile>(std::move(loaded));
  if (remember) remember_loader_choice();
  show_loader_in_use();
  const std::string warning = frontend::loader_warning_text(*loader_choice_.file);
  if (warning.empty()) {
    show_notice(loader_line(loader_choice_), winapp::NoticeKind::info);
  } else {
    show_notice(warning, winapp::NoticeKind::hint);
  }
  return true;
}

void TForm1::restore_loader_choice() {
  const std::string path = winapp::remembered_loader_file();
  if (path.empty()) return;
  auto loaded = frontend::load_loader_file(path);
  if (const auto* refusal = std::get_if<frontend::LoaderRefusal>(&loaded)) {
    // It stays remembered: a file on a stick that is not plugged in yet may come back.
    show_notice(frontend::refusal_text(*refusal) + ". The built-in image is used instead.",
                winapp::NoticeKind::trouble);
    return;
  }
  loader_choice_.file = std::get<frontend::LoaderFile>(std::move(loaded));
  const std::string warning = frontend::loader_warning_text(*loader_choice_.file);
  if (!warning.empty()) show_notice(warning, winapp::NoticeKind::hint);
}

void TForm1::remember_loader_choice() {
  winapp::remember_loader_file(loader_choice_.file ? loader_choice_.file->path : std::string());
}

void TForm1::show_loader_in_use() {
  const std::wstring line = winapp::widen(loader_line(loader_choice_));
  set_tooltip(flsmode, flash_mode_hint + L"\n" + line);
  winapp::set_log_hint(Memo1, log_hint_.empty() ? line : log_hint_ + L"\r\n\r\n" + line);
  title_bar_->mark_menu_entry(
      command::loader_file, command::built_in_loader,
      loader_choice_.file ? command::loader_file : command::built_in_loader);
}

bool TForm1::prepare_loader() {
  if (const auto refusal = frontend::reload_loader_file(loader_choice_)) {
    show_error(frontend::refusal_text(*refusal));
    return false;
  }
  show_loader_in_use();  // a replaced file may say other things of itself
  if (loader_choice_.file) {
    const std::string warning = frontend::loader_warning_text(*loader_choice_.file);
    if (!warning.empty()) show_notice(warning, winapp::NoticeKind::hint);
    return true;
  }
  // The simulated box answers any well-made image; only a real box needs the warning.
  const std::string port = selected_port();
  const bool simulated = std::find(extra_port_names_.begin(), extra_port_names_.end(), port) !=
                         extra_port_names_.end();
  if (loader_choice_.sends_stand_in() && !simulated) {
    show_notice(frontend::stand_in_notice(), winapp::NoticeKind::hint);
  }
  return true;
}

void TForm1::set_tooltip(HWND control, const std::wstring& text) {
  if (!tooltip_) return;
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof(tool);
  tool.hwnd = GetParent(control);
  tool.uId = reinterpret_cast<UINT_PTR>(control);
  tool.lpszText = const_cast<wchar_t*>(text.c_str());
  SendMessageW(tooltip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}
