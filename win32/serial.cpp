#include "win32/serial.h"

#include <algorithm>
#include <atomic>
#include <cwchar>
#include <iterator>
#include <mutex>
#include <string>
#include <system_error>
#include <utility>

#include "core/device/write_queue.h"
#include "win32/handles.h"
#include "win32/line_thread.h"

namespace vantrel::win32 {

// What the owner and an opening's line thread share; the thread holds it too, so a
// thread left behind in a slow opening outlives its port safely.
struct SerialPort::Line {
  Line(const device::PortSettings& s, HWND h, Messages m, WPARAM n)
      : settings(s), hwnd(h), messages(m), opening(n) {}

  // Appends received bytes and posts a notice when none is outstanding.
  void Deliver(const std::uint8_t* bytes, std::size_t size);
  void ReportLost() {
    lost = true;
    Post(messages.lost);
  }
  void Post(UINT message, LPARAM lparam = 0) const {
    if (hwnd && message) PostMessageW(hwnd, message, opening, lparam);
  }

  const device::PortSettings settings;
  const HWND hwnd;
  const Messages messages;
  const WPARAM opening;
  UniqueHandle wake = MakeEvent(false);  // auto-reset: queue changed, or a drain was asked for
  UniqueHandle stop = MakeEvent(true);   // manual-reset: stop now, dropping what is queued
  UniqueHandle done = MakeEvent(true);   // manual-reset: the thread has finished

  std::mutex lock;
  device::WriteQueue queue;            // guarded by lock
  std::vector<std::uint8_t> received;  // guarded by lock
  bool draining = false;               // guarded by lock: finish the queue, then end
  bool dropped_said = false;           // guarded by lock
  DCB dcb{};                           // guarded by lock: as applied at the opening
  COMMTIMEOUTS timeouts{};             // guarded by lock
  DWORD error = 0;                     // guarded by lock: of a failed opening
  std::atomic<bool> notice_pending{false};
  std::atomic<bool> lost{false};
};

namespace {

constexpr DWORD kOutBufferSize = 512;
constexpr DWORD kMaxRead = 4096;
// Closing an opening still under way waits this long for its thread, no longer.
constexpr DWORD kOpeningWait = 50;

using Line = SerialPort::Line;

enum class Io { kOk, kStopped, kFailed };

// One overlapped read that can be interrupted by `stop`; the read is cancelled
// and completed before returning, so `buf` and the OVERLAPPED are free again.
Io ReadOverlapped(HANDLE port, HANDLE event, HANDLE stop, void* buf, DWORD size, DWORD* got) {
  *got = 0;
  OVERLAPPED ov{};
  ov.hEvent = event;
  if (!ReadFile(port, buf, size, nullptr, &ov)) {
    if (GetLastError() != ERROR_IO_PENDING) return Io::kFailed;
    const HANDLE waits[2] = {event, stop};
    const DWORD r = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    if (r != WAIT_OBJECT_0) {
      CancelIoEx(port, &ov);
      GetOverlappedResult(port, &ov, got, TRUE);
      return Io::kStopped;
    }
  }
  return GetOverlappedResult(port, &ov, got, FALSE) ? Io::kOk : Io::kFailed;
}

// Opens and sets up the line; an invalid handle (and *error) when any call fails.
UniqueHandle OpenLine(const device::PortSettings& config, DCB* applied, COMMTIMEOUTS* timeouts,
                      DWORD* error) {
  const std::wstring name = L"\\\\.\\COM" + std::to_wstring(config.com_port);
  UniqueHandle port(CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
  // Any refused set-up call means the port is unusable: the handle closes on return.
  const auto fail = [error] {
    *error = GetLastError() ? GetLastError() : ERROR_GEN_FAILURE;
    return UniqueHandle();
  };
  if (!port) return fail();
  const HANDLE h = port.Get();
  if (!SetupComm(h, static_cast<DWORD>(config.in_buffer_size), kOutBufferSize)) return fail();

  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(h, &dcb)) return fail();
  dcb.BaudRate = device::kBaudRate;
  dcb.fBinary = TRUE;
  dcb.fParity = config.line.odd_parity;
  dcb.Parity = config.line.odd_parity ? ODDPARITY : NOPARITY;
  dcb.ByteSize = 8;
  dcb.StopBits = ONESTOPBIT;
  // No handshaking of any kind; DTR and RTS stay low: the device needs neither.
  dcb.fOutxCtsFlow = FALSE;
  dcb.fOutxDsrFlow = FALSE;
  dcb.fDtrControl = DTR_CONTROL_DISABLE;
  dcb.fDsrSensitivity = FALSE;
  dcb.fTXContinueOnXoff = TRUE;
  dcb.fOutX = FALSE;
  dcb.fInX = FALSE;
  // A byte damaged on the line (parity error) arrives as "?", which plays no key;
  // on the 6094 a damaged byte at or below 1F would otherwise play one.
  dcb.fErrorChar = TRUE;
  dcb.ErrorChar = '?';
  dcb.fNull = config.line.keep_zero_bytes ? FALSE : TRUE;
  dcb.fRtsControl = RTS_CONTROL_DISABLE;
  // A line error must not stop reading until someone clears it.
  dcb.fAbortOnError = FALSE;
  if (!SetCommState(h, &dcb)) return fail();

  // All zero: a read completes when the bytes asked for have arrived.
  COMMTIMEOUTS zero{};
  if (!SetCommTimeouts(h, &zero)) return fail();
  // Nothing is purged: received bytes are kept (a key pressed while the port is
  // reopened after a frame must still play), and output still on its way is ours
  // (a frame before a reopen, the lamps-off before the port changes hands), which a
  // purge would cut off on the line.
  *applied = dcb;
  *timeouts = zero;
  *error = 0;
  return port;
}

// Serves an open line until it is closed or gone.
void LineLoop(Line& line, UniqueHandle port) {
  RaiseThisThreadForTheLine();
  const HANDLE stop = line.stop.Get();
  const HANDLE wake = line.wake.Get();
  UniqueHandle read_event = MakeEvent(true);
  UniqueHandle drain_event = MakeEvent(true);
  UniqueHandle write_event = MakeEvent(true);
  if (!read_event || !drain_event || !write_event) return line.ReportLost();

  OVERLAPPED read_ov{};
  std::uint8_t first = 0;
  bool reading = false;
  OVERLAPPED write_ov{};
  device::WriteQueue::Entry writing;
  std::size_t written = 0;
  bool write_busy = false;

  // Drains what is queued in the driver after a first byte; false when the line failed.
  const auto take_queued = [&](std::uint8_t byte) {
    std::vector<std::uint8_t> chunk(1, byte);
    for (;;) {
      DWORD errors = 0;
      COMSTAT status{};
      if (!ClearCommError(port.Get(), &errors, &status)) return false;
      if (status.cbInQue == 0) break;
      const std::size_t at = chunk.size();
      chunk.resize(at + std::min<DWORD>(status.cbInQue, kMaxRead));
      DWORD got = 0;
      const Io io = ReadOverlapped(port.Get(), drain_event.Get(), stop, chunk.data() + at,
                                   static_cast<DWORD>(chunk.size() - at), &got);
      chunk.resize(at + got);
      if (io != Io::kOk) break;
    }
    line.Deliver(chunk.data(), chunk.size());
    return true;
  };
  // Keeps a 1-byte read pending; false when the line has gone.
  const auto start_read = [&] {
    for (;;) {
      read_ov = OVERLAPPED{};
      read_ov.hEvent = read_event.Get();
      if (!ReadFile(port.Get(), &first, 1, nullptr, &read_ov)) {
        reading = GetLastError() == ERROR_IO_PENDING;
        return reading;
      }
      // Completed at once. With all-zero timeouts a read ends only with data; ending
      // empty means the line has gone (a closed pty peer, a pulled adapter).
      DWORD got = 0;
      if (!GetOverlappedResult(port.Get(), &read_ov, &got, FALSE) || got == 0) return false;
      if (!take_queued(first)) return false;
    }
  };
  const auto cancel_read = [&] {
    if (!reading) return;
    DWORD got = 0;
    CancelIoEx(port.Get(), &read_ov);
    // The read may have completed while it was being cancelled.
    if (GetOverlappedResult(port.Get(), &read_ov, &got, TRUE) && got == 1) line.Deliver(&first, 1);
    reading = false;
  };
  const auto cancel_write = [&] {
    if (!write_busy) return;
    DWORD done_bytes = 0;
    CancelIoEx(port.Get(), &write_ov);
    GetOverlappedResult(port.Get(), &write_ov, &done_bytes, TRUE);
    write_busy = false;
  };
  // Writes the rest of `writing`, or starts an overlapped write of it.
  const auto continue_write = [&] {
    while (written < writing.bytes.size()) {
      write_ov = OVERLAPPED{};
      write_ov.hEvent = write_event.Get();
      const DWORD size =
          static_cast<DWORD>(std::min<std::size_t>(writing.bytes.size() - written, 65536));
      DWORD done_bytes = 0;
      if (WriteFile(port.Get(), writing.bytes.data() + written, size, nullptr, &write_ov)) {
        if (!GetOverlappedResult(port.Get(), &write_ov, &done_bytes, FALSE)) done_bytes = 0;
      } else if (GetLastError() == ERROR_IO_PENDING) {
        write_busy = true;
        return;
      }
      // A write that fails drops the rest of its frame; a reopen after it still runs.
      written = done_bytes == 0 ? writing.bytes.size() : written + done_bytes;
    }
  };
  // The queue's next entry: written, or a reopen after it. False when the line failed.
  const auto next = [&]() -> bool {
    for (;;) {
      if (write_busy) return true;
      if (written >= writing.bytes.size() && std::exchange(writing.reopen, false)) {
        {
          // Closing anyway: the reopen would only delay the close.
          std::lock_guard<std::mutex> guard(line.lock);
          if (line.draining) continue;
        }
        cancel_read();
        port.Reset();
        DCB dcb;
        COMMTIMEOUTS timeouts;
        DWORD error = 0;
        port = OpenLine(line.settings, &dcb, &timeouts, &error);
        if (!port || !start_read()) return false;
      }
      {
        std::lock_guard<std::mutex> guard(line.lock);
        std::optional<device::WriteQueue::Entry> next_entry = line.queue.Pop();
        if (!next_entry) return true;
        writing = std::move(*next_entry);
      }
      written = 0;
      continue_write();
    }
  };

  if (!start_read()) return line.ReportLost();
  for (;;) {
    if (!next()) {
      cancel_write();
      return line.ReportLost();
    }
    {
      std::lock_guard<std::mutex> guard(line.lock);
      if (line.draining && !write_busy && line.queue.Empty()) break;
    }
    HANDLE waits[4] = {stop, wake, read_event.Get(), write_event.Get()};
    const DWORD count = write_busy ? 4 : 3;
    const DWORD r = WaitForMultipleObjects(count, waits, FALSE, INFINITE);
    if (r == WAIT_OBJECT_0) break;
    if (r == WAIT_OBJECT_0 + 2) {
      DWORD got = 0;
      reading = false;
      if (!GetOverlappedResult(port.Get(), &read_ov, &got, FALSE) || got == 0 ||
          !take_queued(first) || !start_read()) {
        cancel_write();
        return line.ReportLost();
      }
    } else if (r == WAIT_OBJECT_0 + 3) {
      DWORD done_bytes = 0;
      write_busy = false;
      if (GetOverlappedResult(port.Get(), &write_ov, &done_bytes, FALSE) && done_bytes > 0) {
        written += done_bytes;
        continue_write();
      } else {
        written = writing.bytes.size();  // a failed write drops the rest of its frame
      }
    } else if (r != WAIT_OBJECT_0 + 1) {
      return line.ReportLost();
    }
  }
  cancel_write();
  cancel_read();
}

// Opens and sets up the port, tells the owner, serves the line; the port is closed
// on return.
void OpenAndServe(const std::shared_ptr<Line>& line) {
  DCB dcb{};
  COMMTIMEOUTS timeouts{};
  DWORD error = 0;
  UniqueHandle port = OpenLine(line->settings, &dcb, &timeouts, &error);
  {
    std::lock_guard<std::mutex> guard(line->lock);
    line->dcb = dcb;
    line->timeouts = timeouts;
    line->error = port ? 0 : error;
  }
  // Closed while opening: nobody waits for the result; the port closes here.
  if (WaitForSingleObject(line->stop.Get(), 0) == WAIT_OBJECT_0) return;
  line->Post(line->messages.opened, port ? 1 : 0);
  if (port) LineLoop(*line, std::move(port));
}

// The line thread; Close waits on `done` for its end.
void Run(const std::shared_ptr<Line>& line) {
  OpenAndServe(line);
  SetEvent(line->done.Get());
}

}  // namespace

void SerialPort::Line::Deliver(const std::uint8_t* bytes, std::size_t size) {
  {
    std::lock_guard<std::mutex> guard(lock);
    // fNull is set too, but ptys (and Wine) may ignore it.
    if (settings.line.keep_zero_bytes) {
      received.insert(received.end(), bytes, bytes + size);
    } else {
      std::copy_if(bytes, bytes + size, std::back_inserter(received),
                   [](std::uint8_t b) { return b != 0; });
    }
    if (received.empty()) return;
  }
  if (!notice_pending.exchange(true)) Post(messages.data);
}

std::vector<int> PresentComPorts() {
  // Every DOS device name, NUL-separated; the list grows with the devices present.
  std::vector<wchar_t> names(std::size_t{16} * 1024);
  while (QueryDosDeviceW(nullptr, names.data(), static_cast<DWORD>(names.size())) == 0) {
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || names.size() >= (1u << 22)) return {};
    names.resize(names.size() * 2);
  }
  std::vector<int> ports;
  for (const wchar_t* name = names.data(); *name; name += std::wcslen(name) + 1) {
    const std::wstring_view n(name);
    if (n.size() < 4 || n.size() > 6 || _wcsnicmp(name, L"COM", 3) != 0 || n[3] == L'0') continue;
    int number = 0;
    bool digits = true;
    for (wchar_t c : n.substr(3)) {
      digits = digits && c >= L'0' && c <= L'9';
      number = number * 10 + (c - L'0');
    }
    if (digits && number <= kMaxComPort) ports.push_back(number);
  }
  return ports;
}

SerialPort::~SerialPort() {
  Close();
}

void SerialPort::SetNotify(HWND hwnd, Messages messages) {
  hwnd_ = hwnd;
  messages_ = messages;
}

void SerialPort::Open(const device::PortSettings& settings) {
  Close();
  auto line = std::make_shared<Line>(settings, hwnd_, messages_, ++openings_);
  line_ = line;
  const bool valid = settings.com_port >= 1 && settings.com_port <= kMaxComPort &&
                     settings.in_buffer_size > 0;
  if (valid && line->wake && line->stop && line->done) {
    try {
      thread_ = std::thread(Run, line);
      return;
    } catch (const std::system_error&) {
    }
  }
  // Told as a failed opening, as any other.
  line->error = ERROR_INVALID_PARAMETER;
  line->Post(messages_.opened, 0);
}

void SerialPort::Close() {
  const bool was_open = std::exchange(open_, false);
  const std::shared_ptr<Line> line = std::move(line_);
  if (!thread_.joinable()) return;
  if (was_open) {
    {
      std::lock_guard<std::mutex> guard(line->lock);
      line->draining = true;
    }
    SetEvent(line->wake.Get());
    if (WaitForSingleObject(line->done.Get(), kDrainMs) == WAIT_OBJECT_0) return thread_.join();
  }
  SetEvent(line->stop.Get());
  // A thread stuck in opening the port is not waited for: it finishes alone.
  if (WaitForSingleObject(line->done.Get(), was_open ? INFINITE : kOpeningWait) == WAIT_OBJECT_0) {
    thread_.join();
  } else {
    thread_.detach();
  }
}

std::optional<bool> SerialPort::OpenResult(WPARAM opening, LPARAM opened) {
  if (!line_ || opening != line_->opening || open_) return std::nullopt;
  open_ = opened != 0;
  // A failed opening's thread has ended, or is about to.
  if (!open_ && thread_.joinable()) thread_.join();
  return open_;
}

bool SerialPort::Current(WPARAM opening) const {
  return open_ && line_ && opening == line_->opening;
}

std::vector<std::uint8_t> SerialPort::TakeReceived() {
  std::vector<std::uint8_t> out;
  if (!line_) return out;
  // Cleared before taking the bytes: whatever arrives after the take posts anew.
  line_->notice_pending = false;
  std::lock_guard<std::mutex> guard(line_->lock);
  out.swap(line_->received);
  return out;
}

void SerialPort::Write(std::span<const std::uint8_t> bytes) {
  Enqueue(bytes, false);
}

void SerialPort::WriteLampState(std::span<const std::uint8_t> bytes) {
  Enqueue(bytes, true);
}

void SerialPort::Enqueue(std::span<const std::uint8_t> bytes, bool lamp_state) {
  if (!open_) return;
  {
    std::lock_guard<std::mutex> guard(line_->lock);
    if (!line_->queue.Push(bytes, lamp_state) && !std::exchange(line_->dropped_said, true)) {
      OutputDebugStringW(L"Vantrel: the FK device line is not draining; lamp frames dropped\n");
    }
  }
  SetEvent(line_->wake.Get());
}

void SerialPort::Reopen() {
  if (!open_) return;
  {
    std::lock_guard<std::mutex> guard(line_->lock);
    line_->queue.Reopen();
  }
  SetEvent(line_->wake.Get());
}

bool SerialPort::GetLineState(DCB* dcb, COMMTIMEOUTS* timeouts) const {
  if (!open_) return false;
  std::lock_guard<std::mutex> guard(line_->lock);
  *dcb = line_->dcb;
  if (timeouts) *timeouts = line_->timeouts;
  return true;
}

bool SerialPort::Lost() const {
  return line_ && line_->lost;
}

DWORD SerialPort::LastOpenError() const {
  if (!line_) return 0;
  std::lock_guard<std::mutex> guard(line_->lock);
  return line_->error;
}

}  // namespace vantrel::win32
