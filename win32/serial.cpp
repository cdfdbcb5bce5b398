#include "win32/serial.h"

#include <algorithm>
#include <charconv>
#include <cwchar>
#include <iterator>
#include <string>
#include <system_error>

namespace vantrel::win32 {
namespace {

constexpr DWORD kOutBufferSize = 512;
constexpr DWORD kMaxRead = 4096;
// About half a second of frames at 9600 baud: past this the line is not keeping
// up, and an unsent lamp-state frame gives way to a later one.
constexpr std::size_t kBackedUp = 512;
// Past this nothing more is queued until the line drains.
constexpr std::size_t kQueueCap = 64 * 1024;

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

bool ParseNumber(std::string_view text, unsigned long* value) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *value);
  return ec == std::errc() && end == text.data() + text.size() && !text.empty();
}

}  // namespace

std::vector<int> PresentComPorts() {
  // Every DOS device name, NUL-separated; the list grows with the devices present.
  std::vector<wchar_t> names(16 * 1024);
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
  Close(true);
}

void SerialPort::SetNotify(HWND hwnd, UINT data_msg, UINT lost_msg) {
  notify_ = Notify{hwnd, data_msg, lost_msg};
}

void SerialPort::SetCommPort(int number) {
  config_.comm_port = number;
}

void SerialPort::SetSettings(std::string_view text) {
  std::string_view field[4];
  std::size_t n = 0;
  while (n < 4) {
    const std::size_t comma = text.find(',');
    field[n++] = text.substr(0, comma);
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  settings_valid_ = false;
  unsigned long baud = 0, bits = 0;
  if (n != 4 || field[3].find(',') != std::string_view::npos) return;
  if (!ParseNumber(field[0], &baud) || baud == 0 || baud > 0xFFFFFFFFul) return;
  if (!ParseNumber(field[2], &bits) || bits < 4 || bits > 8) return;
  if (field[1].size() != 1) return;
  BYTE parity;
  switch (field[1][0] | 0x20) {
    case 'n':
      parity = NOPARITY;
      break;
    case 'o':
      parity = ODDPARITY;
      break;
    case 'e':
      parity = EVENPARITY;
      break;
    case 'm':
      parity = MARKPARITY;
      break;
    case 's':
      parity = SPACEPARITY;
      break;
    default:
      return;
  }
  BYTE stop;
  if (field[3] == "1")
    stop = ONESTOPBIT;
  else if (field[3] == "1.5")
    stop = ONE5STOPBITS;
  else if (field[3] == "2")
    stop = TWOSTOPBITS;
  else
    return;
  config_.baud = static_cast<DWORD>(baud);
  config_.parity = parity;
  config_.data_bits = static_cast<BYTE>(bits);
  config_.stop_bits = stop;
  settings_valid_ = true;
}

void SerialPort::SetInBufferSize(int bytes) {
  config_.in_buffer_size = bytes;
}
void SerialPort::SetRThreshold(int characters) {
  r_threshold_ = characters;
}
void SerialPort::SetInputLen(int characters) {
  input_len_ = characters;
}
void SerialPort::SetNullDiscard(bool discard) {
  config_.null_discard = discard;
}

bool SerialPort::SetPortOpen(bool open) {
  if (!open) {
    Close(true);
    return true;
  }
  return PortOpen() || Open();
}

UniqueHandle SerialPort::OpenLine(const LineConfig& config, DCB* applied, COMMTIMEOUTS* timeouts,
                                  DWORD* error) {
  const std::wstring name = L"\\\\.\\COM" + std::to_wstring(config.comm_port);
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
  dcb.BaudRate = config.baud;
  dcb.fBinary = TRUE;
  dcb.fParity = config.parity != NOPARITY;
  dcb.Parity = config.parity;
  dcb.ByteSize = config.data_bits;
  dcb.StopBits = config.stop_bits;
  // No handshaking of any kind; DTR and RTS stay low, as the control leaves them.
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
  dcb.fNull = config.null_discard ? TRUE : FALSE;
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

bool SerialPort::Open() {
  last_open_error_ = ERROR_INVALID_PARAMETER;
  if (config_.comm_port < 1 || config_.comm_port > kMaxComPort || !settings_valid_ ||
      config_.in_buffer_size <= 0) {
    return false;
  }
  UniqueHandle port = OpenLine(config_, &applied_dcb_, &applied_timeouts_, &last_open_error_);
  if (!port) return false;
  UniqueHandle wake = MakeEvent(false);
  UniqueHandle stop = MakeEvent(true);
  UniqueHandle done = MakeEvent(true);
  if (!wake || !stop || !done) {
    last_open_error_ = GetLastError() ? GetLastError() : ERROR_GEN_FAILURE;
    return false;
  }
  notice_pending_ = false;
  lost_ = false;
  notify_now_ = notify_;
  config_now_ = config_;
  r_threshold_now_ = r_threshold_;
  wake_ = std::move(wake);
  stop_ = std::move(stop);
  done_ = std::move(done);
  {
    std::lock_guard<std::mutex> guard(lock_);
    queue_.clear();
    queued_bytes_ = 0;
    draining_ = false;
  }
  try {
    line_ = std::thread(&SerialPort::LineLoop, this, std::move(port));
  } catch (const std::system_error&) {
    last_open_error_ = ERROR_NOT_ENOUGH_MEMORY;
    return false;
  }
  open_ = true;
  last_open_error_ = 0;
  // Bytes kept from before a reopen raise the receive event as new ones would.
  std::size_t buffered;
  {
    std::lock_guard<std::mutex> guard(lock_);
    buffered = buffer_.size();
  }
  NotifyIfDue(buffered);
  return true;
}

void SerialPort::Close(bool drop_received) {
  if (line_.joinable()) {
    {
      std::lock_guard<std::mutex> guard(lock_);
      draining_ = true;
    }
    SetEvent(wake_.Get());
    if (WaitForSingleObject(done_.Get(), kDrainMs) != WAIT_OBJECT_0) SetEvent(stop_.Get());
    line_.join();
  }
  open_ = false;
  std::lock_guard<std::mutex> guard(lock_);
  queue_.clear();
  queued_bytes_ = 0;
  if (drop_received) buffer_.clear();
}

void SerialPort::Reopen() {
  if (!open_) return;
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (!queue_.empty()) {
      queue_.back().reopen = true;
    } else {
      queue_.push_back(Pending{{}, false, true});
    }
  }
  SetEvent(wake_.Get());
}

void SerialPort::Write(std::span<const std::uint8_t> bytes) {
  Enqueue(bytes, false);
}

void SerialPort::WriteLampState(std::span<const std::uint8_t> bytes) {
  Enqueue(bytes, true);
}

void SerialPort::Enqueue(std::span<const std::uint8_t> bytes, bool lamp_state) {
  if (!open_ || bytes.empty()) return;
  bool dropped = false;
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (lamp_state && queued_bytes_ > kBackedUp) {
      // Lamp states not yet started are pointless behind this one. A reopen that
      // followed one stays, moved to the entry before it, so the order holds.
      for (std::size_t i = 0; i < queue_.size();) {
        Pending& p = queue_[i];
        if (!p.lamp_state) {
          ++i;
          continue;
        }
        queued_bytes_ -= p.bytes.size();
        dropped = true;
        if (p.reopen && i == 0) {
          p = Pending{{}, false, true};
          ++i;
          continue;
        }
        if (p.reopen) queue_[i - 1].reopen = true;
        queue_.erase(queue_.begin() + static_cast<std::ptrdiff_t>(i));
      }
    }
    if (queued_bytes_ + bytes.size() > kQueueCap) {
      dropped = true;
    } else {
      queue_.push_back(Pending{{bytes.begin(), bytes.end()}, lamp_state, false});
      queued_bytes_ += bytes.size();
    }
    if (dropped && !std::exchange(dropped_said_, true)) {
      OutputDebugStringW(L"Vantrel: the FK device line is not draining; lamp frames dropped\n");
    }
  }
  SetEvent(wake_.Get());
}

void SerialPort::ReportLost() {
  lost_ = true;
  if (notify_now_.hwnd) PostMessageW(notify_now_.hwnd, notify_now_.lost_msg, 0, 0);
}

void SerialPort::LineLoop(UniqueHandle port) {
  struct Done {
    HANDLE event;
    ~Done() { SetEvent(event); }
  } done{done_.Get()};
  const HANDLE stop = stop_.Get();
  const HANDLE wake = wake_.Get();
  UniqueHandle read_event = MakeEvent(true);
  UniqueHandle drain_event = MakeEvent(true);
  UniqueHandle write_event = MakeEvent(true);
  if (!read_event || !drain_event || !write_event) return ReportLost();

  OVERLAPPED read_ov{};
  std::uint8_t first = 0;
  bool reading = false;
  OVERLAPPED write_ov{};
  Pending writing;
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
    Deliver(chunk.data(), chunk.size());
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
    if (GetOverlappedResult(port.Get(), &read_ov, &got, TRUE) && got == 1) Deliver(&first, 1);
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
          std::lock_guard<std::mutex> guard(lock_);
          if (draining_) continue;
        }
        cancel_read();
        port.Reset();
        DCB dcb;
        COMMTIMEOUTS timeouts;
        DWORD error = 0;
        port = OpenLine(config_now_, &dcb, &timeouts, &error);
        if (!port || !start_read()) return false;
      }
      {
        std::lock_guard<std::mutex> guard(lock_);
        if (queue_.empty()) return true;
        writing = std::move(queue_.front());
        queue_.pop_front();
        queued_bytes_ -= writing.bytes.size();
      }
      written = 0;
      continue_write();
    }
  };

  if (!start_read()) return ReportLost();
  for (;;) {
    if (!next()) {
      cancel_write();
      return ReportLost();
    }
    {
      std::lock_guard<std::mutex> guard(lock_);
      if (draining_ && !write_busy && queue_.empty()) break;
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
        return ReportLost();
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
      return ReportLost();
    }
  }
  cancel_write();
  cancel_read();
}

void SerialPort::Deliver(const std::uint8_t* bytes, std::size_t size) {
  std::size_t buffered;
  {
    std::lock_guard<std::mutex> guard(lock_);
    // fNull is set too, but ptys (and Wine) may ignore it.
    if (config_now_.null_discard) {
      std::copy_if(bytes, bytes + size, std::back_inserter(buffer_),
                   [](std::uint8_t b) { return b != 0; });
    } else {
      buffer_.insert(buffer_.end(), bytes, bytes + size);
    }
    buffered = buffer_.size();
  }
  NotifyIfDue(buffered);
}

void SerialPort::NotifyIfDue(std::size_t buffered) {
  if (buffered == 0 || r_threshold_now_ <= 0 || !notify_now_.hwnd) return;
  if (buffered < static_cast<std::size_t>(r_threshold_now_)) return;
  if (notice_pending_.exchange(true)) return;
  if (!PostMessageW(notify_now_.hwnd, notify_now_.data_msg, 0, 0)) notice_pending_ = false;
}

std::vector<std::uint8_t> SerialPort::Input() {
  // Cleared before taking the bytes: whatever arrives after the take posts anew.
  notice_pending_ = false;
  std::vector<std::uint8_t> out;
  std::size_t left;
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (input_len_ > 0 && buffer_.size() > static_cast<std::size_t>(input_len_)) {
      out.assign(buffer_.begin(), buffer_.begin() + input_len_);
      buffer_.erase(buffer_.begin(), buffer_.begin() + input_len_);
    } else {
      out.swap(buffer_);
    }
    left = buffer_.size();
  }
  // Characters still waiting raise the receive event again.
  if (PortOpen()) NotifyIfDue(left);
  return out;
}

bool SerialPort::GetLineState(DCB* dcb, COMMTIMEOUTS* timeouts) const {
  if (!open_) return false;
  *dcb = applied_dcb_;
  if (timeouts) *timeouts = applied_timeouts_;
  return true;
}

}  // namespace vantrel::win32
