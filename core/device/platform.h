// What playback and the device link need from the platform. The engine never
// sleeps and never touches an OS type: it writes frames to a port, sends input
// events to a sink, and asks for timers that the host drives.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel::device {

// The device side of the serial control, as the engine uses it.
class PortOut {
 public:
  virtual ~PortOut() = default;
  // Queues all bytes for sending, in order; does not wait for the line.
  virtual void Write(std::span<const std::uint8_t> bytes) = 0;
  // The same for a frame that sets every lamp: a port whose line backs up may drop
  // such a frame once a later one is queued behind it.
  virtual void WriteLampState(std::span<const std::uint8_t> bytes) { Write(bytes); }
  // Closes the port and opens it again with the same settings, after the bytes
  // queued before have gone out.
  virtual void Reopen() = 0;
};

// How the line to the device runs: 9600 baud, 8 data bits, 1 stop bit, and per
// model the parity and whether zero bytes are kept (LineSettingsFor in frames.h).
inline constexpr int kBaudRate = 9600;
struct LineSettings {
  bool odd_parity = false;
  bool keep_zero_bytes = false;
  friend bool operator==(const LineSettings&, const LineSettings&) = default;
};

// What a port is opened with: the COM port, the line, and how many received bytes
// the driver keeps for us.
struct PortSettings {
  int com_port = 1;
  LineSettings line;
  int in_buffer_size = 1024;
  friend bool operator==(const PortSettings&, const PortSettings&) = default;
};

// The serial port to the FK device. Opening runs off the owner's thread (a Bluetooth
// port or a wedged USB adapter can take seconds to open or set up); its result, the
// bytes received and the port's loss reach the owner as events on its own thread.
// Nothing throws.
class DevicePort : public PortOut {
 public:
  // Closes any earlier opening, then starts this one; the owner is told the result.
  virtual void Open(const PortSettings& settings) = 0;
  // Closes at once (bytes queued may drain briefly); a result of an opening still
  // under way is not told.
  virtual void Close() = 0;
  // Opened, and not closed since (a lost port stays open until its owner closes it).
  [[nodiscard]] virtual bool IsOpen() const = 0;
  // Everything received so far, in order; the buffer is emptied.
  [[nodiscard]] virtual std::vector<std::uint8_t> TakeReceived() = 0;
};

// Synthetic input into the window in front. Events are sent in call order. Each
// call gives one event and returns how many the system inserted: 0 when it refused
// it (a window in front that runs with more privileges than this program).
class InputSink {
 public:
  virtual ~InputSink() = default;
  // A virtual-key press (up = false) or release (up = true).
  virtual int Key(std::uint8_t vk, bool up) = 0;
  // A mouse-button event at the current cursor position; flags as mouse_event's
  // (2/4 left down/up, 8/16 right down/up, 32/64 middle down/up).
  virtual int Mouse(std::uint32_t flags) = 0;
};

// A window that input goes to, as far as synthetic input is concerned.
struct ForegroundWindow {
  std::uint64_t id = 0;  // opaque, the same for the same window; 0: none
  std::u16string title;
  // Known to run with more privileges than this program: the system drops our input.
  // A window whose privileges cannot be told is not blocked; whether the system took
  // the input is then read from the count of events it inserted.
  bool blocked = false;
};

class ForegroundCheck {
 public:
  virtual ~ForegroundCheck() = default;
  // The window in front: it gets the keys.
  virtual ForegroundWindow Front() = 0;
  // The top-level window under the mouse cursor: it gets clicks, and the right click
  // of a paste. It need not be the one in front.
  virtual ForegroundWindow UnderCursor() = 0;
};

// The physical mouse buttons, as they are at this moment.
class MouseButtons {
 public:
  virtual ~MouseButtons() = default;
  virtual bool LeftDown() const = 0;
  virtual bool MiddleDown() const = 0;
  virtual bool RightDown() const = 0;
};

// Puts text on the system clipboard for a paste. The text is promised, not copied:
// the program that pastes asks for it (the host then reports that it was taken), so
// playback knows when the clipboard may change again. Injected input is queued, and
// the program in front reads the clipboard only when it gets round to the paste.
class Clipboard {
 public:
  enum class [[nodiscard]] Result{kOk, kUnlockFailed, kOpenFailed, kSetFailed, kCloseFailed};
  virtual ~Clipboard() = default;
  // kOpenFailed: another program holds the clipboard open; trying again soon may work.
  virtual Result OfferText(std::u16string_view text) = 0;
};

// Host-driven one-shot timers; each owner names its own in an enum of its own, and
// the host maps them to the platform's timers. Arm replaces a pending deadline of
// the same timer; when it expires the host calls back into the owner (which
// re-arms if it wants).
template <typename Id>
class Timers {
 public:
  virtual ~Timers() = default;
  virtual void Arm(Id id, int milliseconds) = 0;
  virtual void Disarm(Id id) = 0;
};

// The device link's timers: the lamp refresh; the wait between reads of the first
// data or for the code byte after a lone ESC; a text step's wait for its paste (or
// for a clipboard another program holds); and the window that bounds a burst of keys.
enum class LinkTimer { kRefresh, kGather, kText, kBurst };
inline constexpr std::size_t kLinkTimerCount = 4;

}  // namespace vantrel::device
