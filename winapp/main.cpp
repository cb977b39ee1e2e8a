// Program entry: the options, then the window and its message loop.

#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <string>
#include <variant>
#include <vector>

#include "boot/report.h"
#include "frontend/command_line.h"
#include "frontend/program.h"
#include "resources/loader_image.h"
#include "winapp/Unit1.h"
#include "winapp/win_text.h"

namespace {

std::vector<std::string> command_line_arguments() {
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> utf8;
  for (int i = 1; arguments && i < count; ++i) utf8.push_back(winapp::narrow(arguments[i]));
  LocalFree(arguments);
  return utf8;
}

bool write_to(HANDLE stream, const std::string& text) {
  if (!stream || stream == INVALID_HANDLE_VALUE) return false;
  DWORD mode = 0;
  if (GetConsoleMode(stream, &mode)) {
    const std::wstring wide = winapp::widen(text);
    DWORD written = 0;
    return WriteConsoleW(stream, wide.c_str(), static_cast<DWORD>(wide.size()), &written,
                         nullptr) != FALSE;
  }
  if (GetFileType(stream) == FILE_TYPE_UNKNOWN) return false;
  std::string crlf;
  for (const char c : text) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  DWORD written = 0;
  return WriteFile(stream, crlf.data(), static_cast<DWORD>(crlf.size()), &written, nullptr) !=
         FALSE;
}

// A window program has no console of its own: the text goes where the caller's output goes
// (a redirection, or the console it was started from), else into a message box.
void say(const std::string& text, bool is_error) {
  if (write_to(GetStdHandle(is_error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE), text)) return;
  if (AttachConsole(ATTACH_PARENT_PROCESS)) {
    HANDLE console = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
    const bool written = write_to(console, text);
    if (console != INVALID_HANDLE_VALUE) CloseHandle(console);
    FreeConsole();
    if (written) return;
  }
  MessageBoxW(nullptr, winapp::widen(text).c_str(), L"Pellora",
              static_cast<UINT>(MB_OK | (is_error ? MB_ICONSTOP : MB_ICONINFORMATION)));
}

boot::LoaderImage embedded_loader_image() {
  boot::LoaderImage image;
  if (auto bytes = resources::find_rcdata("dmboot")) image.bytes = *bytes;
  return image;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show_command) {
  // This build has no simulated box, so no demo scenarios.
  const std::vector<std::string> demo_scenarios;
  const std::vector<std::string> arguments = command_line_arguments();
  const auto parsed = frontend::parse_window_options(arguments, demo_scenarios);
  if (const auto* error = std::get_if<frontend::UsageError>(&parsed)) {
    say("pellora: " + error->message + "\n" + frontend::window_help_text(demo_scenarios), true);
    return 2;
  }
  const auto& options = std::get<frontend::WindowOptions>(parsed);
  if (options.show_version) {
    say(frontend::version_text("pellora", resources::loader_image_description()) + "\n", false);
    return 0;
  }
  if (options.show_help) {
    say(frontend::window_help_text(demo_scenarios), false);
    return 0;
  }

  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS |
                                                      ICC_BAR_CLASSES | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);

  WindowSetup setup;
  setup.loader_image = embedded_loader_image();
  TForm1 form(instance, std::move(setup));
  form.show(show_command);
  MSG message{};
  while (GetMessageW(&message, nullptr, 0, 0) > 0) form.dispatch(message);
  return static_cast<int>(message.wParam);
}
