// The Windows backend: a COM port through CreateFile and the comm API. Windows applies the
// read rules itself (COMMTIMEOUTS has exactly their meaning), so a read is one ReadFile.
// The handle is overlapped so that a write can be watched while it runs (a stalled line
// must not hold it unheard for its whole timeout); reads simply wait for their result.

#ifndef NOMINMAX
#define NOMINMAX  // std::min, not the macro, also under MSVC
#endif
#include <windows.h>

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "serial/serial_device.h"
#include "serial/serial_error.h"

namespace serial {
namespace {

constexpr DWORD queue_size = 1024;
constexpr DWORD write_timeout_per_byte_ms = 100;
constexpr DWORD write_timeout_constant_ms = 1000;

// The system's own wording for an error code, without the trailing line break, in UTF-8 as
// every text of the program is (the ANSI code page's bytes would garble the window's error
// box and break a JSON report).
std::string system_reason(DWORD code) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&text),
      0, nullptr);
  std::string reason;
  if (length > 0 && text != nullptr) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0,
                                         nullptr, nullptr);
    reason.resize(static_cast<std::size_t>(size));
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), reason.data(), size, nullptr,
                        nullptr);
  }
  if (text != nullptr) LocalFree(text);
  while (!reason.empty() &&
         (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' '))
    reason.pop_back();
  return reason.empty() ? "unknown error" : reason;
}

std::string code_suffix(DWORD code) {
  return " (win error code: " + std::to_string(code) + ")";
}

// "<name>: <what>: <system's reason> (win error code: N)"
[[noreturn]] void fail(const std::string& name, std::string_view what, DWORD code,
                       Fault fault = Fault::other) {
  throw SerialError(
      name + ": " + std::string(what) + ": " + system_reason(code) + code_suffix(code), fault);
}

// Read and write failures keep the exact short texts Windows users of such tools know.
[[noreturn]] void fail_transfer(const char* text, DWORD code) {
  throw SerialError(std::string(text) + code_suffix(code));
}

// A pseudo-terminal behind a Wine COM port, and some USB adapters, have no modem lines.
bool means_no_modem_lines(DWORD code) {
  return code == ERROR_NOT_SUPPORTED || code == ERROR_INVALID_FUNCTION;
}

// "COM5" names the DOS device; CreateFile needs the device path, which also reaches COM10
// and above.
std::string device_path(const std::string& name) {
  return name.starts_with("\\\\.\\") ? name : "\\\\.\\" + name;
}

// A manual-reset event for one kind of overlapped transfer.
HANDLE new_event(const std::string& name) {
  const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (event == nullptr) fail(name, "cannot configure", GetLastError());
  return event;
}

class Win32Device final : public SerialDevice {
 public:
  Win32Device(std::string name, HANDLE handle) : name_(std::move(name)), handle_(handle) {}
  ~Win32Device() override {
    PurgeComm(handle_, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    CloseHandle(handle_);
    if (read_event_ != nullptr) CloseHandle(read_event_);
    if (write_event_ != nullptr) CloseHandle(write_event_);
  }
  Win32Device(const Win32Device&) = delete;
  Win32Device& operator=(const Win32Device&) = delete;

  void configure(const LineSettings& settings, const ReadTimeouts& timeouts) {
    read_event_ = new_event(name_);
    write_event_ = new_event(name_);
    if (!SetupComm(handle_, queue_size, queue_size))
      fail(name_, "cannot configure", GetLastError());
    set_line_settings(settings);
    set_timeouts(timeouts);
  }

  void set_line_settings(const LineSettings& settings) override {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(handle_, &dcb)) fail(name_, "cannot read line settings", GetLastError());
    dcb.BaudRate = settings.baud_rate;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = settings.stop_bits == StopBits::two ? TWOSTOPBITS : ONESTOPBIT;
    // Raw binary: no parity check, no byte replaced or dropped, no flow control at all.
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    dcb.fTXContinueOnXoff = TRUE;
    // Both lines stay asserted for as long as the port is open.
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    if (!SetCommState(handle_, &dcb)) fail(name_, "cannot set line settings", GetLastError());
  }

  void set_timeouts(const ReadTimeouts& timeouts) override {
    COMMTIMEOUTS comm{};
    comm.ReadIntervalTimeout = timeouts.ReadInterval;
    comm.ReadTotalTimeoutConstant = timeouts.ReadTotalConstant;
    comm.ReadTotalTimeoutMultiplier = timeouts.ReadTotalMultiplier;
    comm.WriteTotalTimeoutMultiplier = write_timeout_per_byte_ms;
    comm.WriteTotalTimeoutConstant = write_timeout_constant_ms;
    if (!SetCommTimeouts(handle_, &comm)) fail(name_, "cannot set timeouts", GetLastError());
    returns_at_once_ = timeouts.ReadInterval == MAXDWORD && timeouts.ReadTotalConstant == 0 &&
                       timeouts.ReadTotalMultiplier == 0;
  }

  void set_dtr(bool on) override { escape(on ? SETDTR : CLRDTR, "cannot set DTR"); }
  void set_rts(bool on) override { escape(on ? SETRTS : CLRRTS, "cannot set RTS"); }

  void write(ByteView bytes, const WriteHooks& hooks) override {
    while (!bytes.empty()) {
      const auto piece = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), MAXDWORD));
      OVERLAPPED transfer{};
      transfer.hEvent = write_event_;
      if (!WriteFile(handle_, bytes.data(), piece, nullptr, &transfer)) {
        const DWORD code = GetLastError();
        if (code != ERROR_IO_PENDING) fail_transfer(write_failed_text, code);
        wait_for_write(transfer, bytes.first(piece), hooks);
      }
      DWORD written = 0;
      if (const DWORD code = transfer_result(transfer, written); code != ERROR_SUCCESS)
        fail_transfer(write_failed_text, code);
      if (hooks.sent && written > 0) hooks.sent(bytes.first(written));
      // Fewer bytes without an error: the write timeouts cut the transfer short.
      if (written < piece) return;
      bytes = bytes.subspan(written);
    }
  }

  ReceivedBytes read(std::size_t count) override {
    std::size_t wanted = std::min<std::size_t>(count, MAXDWORD);
    if (wanted > 0 && returns_at_once_) {
      // Wine waits for a byte in an overlapped read even with these timeouts; reading only
      // what is waiting keeps the rule there too.
      const auto state = line_state();
      if (!state) fail_transfer(read_failed_text, GetLastError());
      wanted = std::min<std::size_t>(wanted, state->cbInQue);
    }
    Bytes received(wanted);
    if (received.empty()) return {};
    OVERLAPPED transfer{};
    transfer.hEvent = read_event_;
    DWORD got = 0;
    DWORD failure = ERROR_SUCCESS;
    if (!ReadFile(handle_, received.data(), static_cast<DWORD>(received.size()), nullptr,
                  &transfer)) {
      const DWORD code = GetLastError();
      if (code != ERROR_IO_PENDING) failure = code;
    }
    // The read timeouts end the transfer; this waits for that end.
    if (failure == ERROR_SUCCESS) failure = transfer_result(transfer, got);
    // An adapter pulled out can look like a read that timed out; asking the driver for the
    // line's state tells the two apart.
    if (failure == ERROR_SUCCESS && got == 0 && !line_state()) failure = GetLastError();
    received.resize(got);
    if (failure == ERROR_SUCCESS) return {std::move(received), {}};
    // Bytes that came before the failure are returned; the port reports it next time.
    const std::string failure_text = read_failed_text + code_suffix(failure);
    if (got == 0) throw SerialError(failure_text);
    return {std::move(received), failure_text};
  }

  std::size_t bytes_waiting() const override {
    const auto state = line_state();
    return state ? state->cbInQue : 0;
  }

 private:
  std::optional<COMSTAT> line_state() const {
    DWORD errors = 0;
    COMSTAT stat{};
    if (!ClearCommError(handle_, &errors, &stat)) return std::nullopt;
    return stat;
  }

  // Waits for an overlapped transfer to end and gives its error code, ERROR_SUCCESS also
  // for a transfer the comm timeouts ended: Windows calls that a success, Wine reports it
  // as ERROR_TIMEOUT.
  DWORD transfer_result(OVERLAPPED& transfer, DWORD& moved) {
    if (GetOverlappedResult(handle_, &transfer, &moved, TRUE)) return ERROR_SUCCESS;
    const DWORD code = GetLastError();
    return code == ERROR_TIMEOUT ? ERROR_SUCCESS : code;
  }

  // Waits for a pending write to end. While the output queue does not shrink for
  // write_stall_check_interval_ms, hooks.keep_waiting is asked; false aborts the transfer,
  // discards what is unsent, and throws WriteAbandoned.
  void wait_for_write(OVERLAPPED& transfer, ByteView piece, const WriteHooks& hooks) {
    const DWORD interval = hooks.keep_waiting ? write_stall_check_interval_ms : INFINITE;
    std::optional<DWORD> last_queued;
    for (;;) {
      const DWORD waited = WaitForSingleObject(transfer.hEvent, interval);
      if (waited == WAIT_OBJECT_0) return;  // the caller collects the result
      if (waited != WAIT_TIMEOUT) {
        const DWORD code = GetLastError();
        end_transfer(transfer, piece, hooks);
        fail_transfer(write_failed_text, code);
      }
      const auto state = line_state();
      const std::optional<DWORD> queued =
          state ? std::optional<DWORD>(state->cbOutQue) : std::nullopt;
      const bool progressed = queued && last_queued && *queued < *last_queued;
      last_queued = queued;
      if (progressed || hooks.keep_waiting()) continue;
      end_transfer(transfer, piece, hooks);
      throw WriteAbandoned(name_ + ": the write was abandoned while the line took no bytes");
    }
  }

  // Aborts a pending write, discarding what is unsent, and reports what had gone.
  void end_transfer(OVERLAPPED& transfer, ByteView piece, const WriteHooks& hooks) {
    PurgeComm(handle_, PURGE_TXABORT | PURGE_TXCLEAR);
    CancelIoEx(handle_, &transfer);
    DWORD written = 0;
    // The transfer must be over before its OVERLAPPED goes; its result no longer matters.
    GetOverlappedResult(handle_, &transfer, &written, TRUE);
    if (hooks.sent && written > 0)
      hooks.sent(piece.first(std::min<std::size_t>(written, piece.size())));
  }

  void escape(DWORD function, std::string_view what) {
    if (EscapeCommFunction(handle_, function)) return;
    const DWORD code = GetLastError();
    if (!means_no_modem_lines(code)) fail(name_, what, code);
  }

  std::string name_;
  HANDLE handle_;
  HANDLE read_event_ = nullptr;
  HANDLE write_event_ = nullptr;
  bool returns_at_once_ = false;  // the timeouts say: what is waiting, at once
};

}  // namespace

std::unique_ptr<SerialDevice> open_serial_device(const std::string& name,
                                                 const LineSettings& settings,
                                                 const ReadTimeouts& timeouts) {
  const HANDLE handle = CreateFileA(device_path(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    if (code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION)
      fail(name, "cannot open: in use by another program", code, Fault::in_use);
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND)
      fail(name, "cannot open: no such device", code, Fault::no_such_device);
    fail(name, "cannot open", code);
  }
  // From here the device owns the handle, so a failed configuration closes it again.
  auto device = std::make_unique<Win32Device>(name, handle);
  device->configure(settings, timeouts);
  return device;
}

}  // namespace serial
