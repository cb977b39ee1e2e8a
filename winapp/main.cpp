// Program entry: the options, then the window and its message loop.

#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <string>
#include <variant>
#include <vector>

#include "boot/report.h"
#include "frontend/command_line.h"
#include "frontend/loader_choice.h"
#include "frontend/program.h"
#include "frontend/standard_streams.h"
#include "winapp/Unit1.h"
#include "winapp/loader_setting.h"
#include "winapp/win_text.h"

#ifdef PELLORA_HAVE_DEMO
#include "sim/in_process_box_port.h"
#include "sim/options.h"
#endif

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

// --version: the image a window started with these options would send. A --loader file that
// cannot be used is an error; a remembered one that cannot is left for the built-in image,
// as the window does.
int print_version(const frontend::WindowOptions& options) {
  frontend::LoaderChoice choice;
  if (options.loader_file) {
    auto loaded = frontend::load_loader_file(*options.loader_file);
    if (const auto* refusal = std::get_if<frontend::LoaderRefusal>(&loaded)) {
      say("pellora: " + frontend::refusal_text(*refusal) + "\n", true);
      return 2;
    }
    choice.file = std::get<frontend::LoaderFile>(std::move(loaded));
  } else if (const std::string remembered = winapp::remembered_loader_file(); !remembered.empty()) {
    auto loaded = frontend::load_loader_file(remembered);
    if (auto* file = std::get_if<frontend::LoaderFile>(&loaded)) choice.file = std::move(*file);
  }
  say(frontend::version_text("pellora", choice.description()) + "\n", false);
  return 0;
}

std::vector<std::string> demo_scenarios() {
  std::vector<std::string> names;
#ifdef PELLORA_HAVE_DEMO
  for (const sim::ScenarioInfo& scenario : sim::scenarios()) names.emplace_back(scenario.name);
#endif
  return names;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show_command) {
  if (!frontend::fill_closed_standard_streams()) return 1;
  const std::vector<std::string> scenarios = demo_scenarios();
  const auto parsed = frontend::parse_window_options(command_line_arguments(), scenarios);
  if (const auto* error = std::get_if<frontend::UsageError>(&parsed)) {
    say("pellora: " + error->message + "\nTry 'pellora --help' for more information.\n", true);
    return 2;
  }
  const auto& options = std::get<frontend::WindowOptions>(parsed);
  if (options.show_version) return print_version(options);
  if (options.show_help) {
    say(frontend::window_help_text(scenarios), false);
    return 0;
  }
  if (!options.screenshot_dir.empty()) {
    // The pictures of this window are taken from outside, under Wine.
    say("pellora: --screenshot-tour is not part of the Windows window; "
        "./dev screenshot-windows takes its pictures\n",
        true);
    return 2;
  }

  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS |
                                                      ICC_BAR_CLASSES | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);

  WindowSetup setup;
  std::wstring log_hint =
      L"Pick the port, choose a mode, press \"Detect DM >>\" and switch the box on.";
#ifdef PELLORA_HAVE_DEMO
  if (options.demo_scenario) {
    // The box lives in this process, behind a port of its own that opens only under its
    // own name: the scan lists it after the COM ports (none of which it opens).
    sim::Options box;
    box.scenario = *options.demo_scenario;
    auto demo_port = std::make_unique<sim::InProcessBoxPort>(box);
    const std::string name = demo_port->device_name();
    setup.port = std::move(demo_port);
    setup.extra_port_names.push_back(name);
    log_hint = winapp::widen("Demo: a simulated DM500 is wired to " + name + " (scenario " +
                             *options.demo_scenario +
                             ").\r\nPress \"Detect Port\", pick it, choose \"Flash Mode\", "
                             "press \"Detect DM >>\": the box switches itself on.");
  }
#endif
  TForm1 form(instance, std::move(setup));
  form.set_log_hint(log_hint);
  form.show(show_command);
  // For this run only; the menu's choice is the one remembered.
  if (options.loader_file) form.choose_loader_file(*options.loader_file, false);
  MSG message{};
  while (GetMessageW(&message, nullptr, 0, 0) > 0) form.dispatch(message);
  return static_cast<int>(message.wParam);
}
