#include "win32/serial.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <string>
#include <system_error>

namespace vantrel::win32 {
namespace {

constexpr DWORD kOutBufferSize = 512;
// Frames are a few dozen bytes (about 30 ms at 9600 baud); a write that takes far
// longer than this has a dead line behind it and is abandoned.
constexpr DWORD kWriteWaitMs = 2000;
constexpr DWORD kMaxRead = 4096;

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

SerialPort::~SerialPort() {
  Close();
}

void SerialPort::SetNotify(HWND hwnd, UINT data_msg, UINT lost_msg) {
  notify_ = Notify{hwnd, data_msg, lost_msg};
}

void SerialPort::SetCommPort(int number) {
  comm_port_ = number;
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
  baud_ = static_cast<DWORD>(baud);
  parity_ = parity;
  data_bits_ = static_cast<BYTE>(bits);
  stop_bits_ = stop;
  settings_valid_ = true;
}

void SerialPort::SetInBufferSize(int bytes) {
  in_buffer_size_ = bytes;
}
void SerialPort::SetRThreshold(int characters) {
  r_threshold_ = characters;
}
void SerialPort::SetInputLen(int characters) {
  input_len_ = characters;
}
void SerialPort::SetNullDiscard(bool discard) {
  null_discard_ = discard;
}

bool SerialPort::SetPortOpen(bool open) {
  if (!open) {
    Close();
    return true;
  }
  return PortOpen() || Open();
}

bool SerialPort::Open() {
  last_open_error_ = ERROR_INVALID_PARAMETER;
  if (comm_port_ < 1 || comm_port_ > 9 || !settings_valid_ || in_buffer_size_ <= 0) return false;

  const std::wstring name = L"\\\\.\\COM" + std::to_wstring(comm_port_);
  UniqueHandle port(CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
  // Any refused set-up call means the port is unusable: the handle closes on return.
  const auto fail = [this] {
    last_open_error_ = GetLastError() ? GetLastError() : ERROR_GEN_FAILURE;
    return false;
  };
  if (!port) return fail();
  const HANDLE h = port.Get();
  if (!SetupComm(h, static_cast<DWORD>(in_buffer_size_), kOutBufferSize)) return fail();

  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(h, &dcb)) return fail();
  dcb.BaudRate = baud_;
  dcb.fBinary = TRUE;
  dcb.fParity = parity_ != NOPARITY;
  dcb.Parity = parity_;
  dcb.ByteSize = data_bits_;
  dcb.StopBits = stop_bits_;
  // No handshaking of any kind; DTR and RTS stay low, as the control leaves them.
  dcb.fOutxCtsFlow = FALSE;
  dcb.fOutxDsrFlow = FALSE;
  dcb.fDtrControl = DTR_CONTROL_DISABLE;
  dcb.fDsrSensitivity = FALSE;
  dcb.fTXContinueOnXoff = TRUE;
  dcb.fOutX = FALSE;
  dcb.fInX = FALSE;
  dcb.fErrorChar = FALSE;
  dcb.fNull = null_discard_ ? TRUE : FALSE;
  dcb.fRtsControl = RTS_CONTROL_DISABLE;
  // A line error must not stop reading until someone clears it.
  dcb.fAbortOnError = FALSE;
  if (!SetCommState(h, &dcb)) return fail();

  // All zero: a read completes when the bytes asked for have arrived.
  COMMTIMEOUTS timeouts{};
  if (!SetCommTimeouts(h, &timeouts)) return fail();
  applied_dcb_ = dcb;
  applied_timeouts_ = timeouts;
  // Received bytes are kept: the program closes and reopens the port right after
  // some frames, and a key pressed in that moment must still be played.
  if (!PurgeComm(h, PURGE_TXABORT | PURGE_TXCLEAR)) return fail();

  UniqueHandle stop = MakeEvent(true);
  UniqueHandle write_event = MakeEvent(true);
  if (!stop || !write_event) return fail();

  notice_pending_ = false;
  lost_ = false;
  notify_now_ = notify_;
  discard_nulls_now_ = null_discard_;
  r_threshold_now_ = r_threshold_;
  port_ = std::move(port);
  stop_ = std::move(stop);
  write_event_ = std::move(write_event);
  try {
    reader_ = std::thread(&SerialPort::ReadLoop, this);
  } catch (const std::system_error&) {
    port_.Reset();
    stop_.Reset();
    write_event_.Reset();
    last_open_error_ = ERROR_NOT_ENOUGH_MEMORY;
    return false;
  }
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

void SerialPort::Close() {
  Shut();
  std::lock_guard<std::mutex> guard(lock_);
  buffer_.clear();
}

void SerialPort::Shut() {
  if (reader_.joinable()) {
    SetEvent(stop_.Get());
    reader_.join();
  }
  port_.Reset();
  stop_.Reset();
  write_event_.Reset();
}

void SerialPort::Reopen() {
  // Received bytes not yet taken survive: the program reopens right after some
  // frames, and a key pressed in that moment must still be played.
  Shut();
  Open();
}

void SerialPort::ReadLoop() {
  const HANDLE port = port_.Get();
  const HANDLE stop = stop_.Get();
  UniqueHandle event = MakeEvent(true);
  std::vector<std::uint8_t> chunk;
  const auto lost = [this] {
    lost_ = true;
    if (notify_now_.hwnd) PostMessageW(notify_now_.hwnd, notify_now_.lost_msg, 0, 0);
  };
  if (!event) return lost();

  for (;;) {
    std::uint8_t first = 0;
    DWORD got = 0;
    Io io = ReadOverlapped(port, event.Get(), stop, &first, 1, &got);
    if (io == Io::kStopped) {
      // The read may have completed while it was being cancelled.
      if (got == 1) Deliver({first});
      return;
    }
    // With all-zero timeouts a read ends only with data; ending empty or with an
    // error means the line has gone (a closed pty peer, a pulled adapter).
    if (io == Io::kFailed || got == 0) return lost();

    chunk.assign(1, first);
    for (;;) {
      DWORD errors = 0;
      COMSTAT status{};
      if (!ClearCommError(port, &errors, &status)) {
        io = Io::kFailed;
        break;
      }
      if (status.cbInQue == 0) break;
      const std::size_t at = chunk.size();
      chunk.resize(at + std::min<DWORD>(status.cbInQue, kMaxRead));
      io = ReadOverlapped(port, event.Get(), stop, chunk.data() + at,
                          static_cast<DWORD>(chunk.size() - at), &got);
      chunk.resize(at + got);
      if (io != Io::kOk) break;
    }
    Deliver(chunk);
    if (io == Io::kStopped) return;
    if (io == Io::kFailed) return lost();
  }
}

void SerialPort::Deliver(const std::vector<std::uint8_t>& bytes) {
  std::size_t buffered;
  {
    std::lock_guard<std::mutex> guard(lock_);
    // fNull is set too, but ptys (and Wine) may ignore it.
    if (discard_nulls_now_) {
      std::copy_if(bytes.begin(), bytes.end(), std::back_inserter(buffer_),
                   [](std::uint8_t b) { return b != 0; });
    } else {
      buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
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

void SerialPort::Write(std::span<const std::uint8_t> bytes) {
  if (!port_) return;
  const HANDLE h = port_.Get();
  while (!bytes.empty()) {
    OVERLAPPED ov{};
    ov.hEvent = write_event_.Get();
    const DWORD size = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 65536));
    DWORD done = 0;
    if (!WriteFile(h, bytes.data(), size, nullptr, &ov)) {
      if (GetLastError() != ERROR_IO_PENDING) return;
      if (WaitForSingleObject(ov.hEvent, kWriteWaitMs) != WAIT_OBJECT_0) {
        CancelIoEx(h, &ov);
        GetOverlappedResult(h, &ov, &done, TRUE);
        return;
      }
    }
    if (!GetOverlappedResult(h, &ov, &done, FALSE) || done == 0) return;
    bytes = bytes.subspan(done);
  }
}

bool SerialPort::GetLineState(DCB* dcb, COMMTIMEOUTS* timeouts) const {
  if (!port_) return false;
  *dcb = applied_dcb_;
  if (timeouts) *timeouts = applied_timeouts_;
  return true;
}

}  // namespace vantrel::win32
