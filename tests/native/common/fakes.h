// Fakes of the core's platform interfaces, shared by every native suite. Each writes
// one transcript line per event: "port 1B 13", "reopen", "key 16 down", "mouse 4",
// "clip 図面", "save C:\w\Vantrel.sys"; timers log "arm gather 50" only when given a
// log. A test compares the lines taken since its last look.
#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/data/files.h"
#include "core/data/macro.h"
#include "core/device/frames.h"
#include "core/editor/editor.h"
#include "core/shell/resident.h"
#include "tools/common/iconv_codec.h"

namespace vantrel::testing {

using namespace std::string_literals;

// "1B 13 94": bytes as the device documentation writes them.
inline std::string Hex(std::span<const std::uint8_t> bytes) {
  std::string out;
  for (std::uint8_t b : bytes) out += {' ', "0123456789ABCDEF"[b >> 4], "0123456789ABCDEF"[b & 15]};
  return out.substr(out.empty() ? 0 : 1);
}

struct Transcript {
  std::string text;
  void Add(const std::string& line) { text += line + "\n"; }
  std::string Take() { return std::exchange(text, {}); }
};

using SV = std::u16string_view;
inline std::string Str(SV s) {
  std::string out = ToUtf8(s);
  std::replace(out.begin(), out.end(), '\r', '|');  // one transcript line per event
  return out;
}
inline std::string Str(int n) {
  return std::to_string(n);
}
inline std::string Str(const char* s) {
  return s;
}
// "what a b c": one transcript line of an event and its arguments.
template <typename... A>
void Log(Transcript& t, const char* what, const A&... a) {
  t.Add((std::string(what) + ... + (" " + Str(a))));
}

template <typename S>
S Repeat(const S& s, int n) {
  S out;
  while (n-- > 0) out += s;
  return out;
}

// A table entry as a layout file gives it: the macro line's steps, every one counted.
inline KeyEntry& Assign(KeyEntry& e, std::u16string_view line) {
  e.count = static_cast<std::int16_t>(ReadMacroLine(line, e).steps);
  return e;
}

// The device port: "open COM3 odd keep-zero 1024" when asked, "opened COM3" or "open
// failed COM3" when the result comes (Settle, as the host's message would), writes,
// "reopen", "close". A port that is not "present" fails to open; one that goes away
// is lost at its next reopen ("lost" when Settle reports it).
struct FakeSerial : device::DevicePort {
  explicit FakeSerial(Transcript& t, bool open = false) : t(t), open(open) {}
  void Write(std::span<const std::uint8_t> bytes) override {
    t.Add((open ? "port " : "WRITE TO CLOSED PORT ") + Hex(bytes));
  }
  void Reopen() override {
    t.Add("reopen");
    lost = lost || !present;
  }
  void Open(const device::PortSettings& s) override {
    Close();
    opening = s;
    t.Add("open COM" + std::to_string(s.com_port) + (s.line.odd_parity ? " odd" : "") +
          (s.line.keep_zero_bytes ? " keep-zero" : "") + " " + std::to_string(s.in_buffer_size));
  }
  void Close() override {
    if (open || opening) t.Add("close");
    open = lost = false;
    opening.reset();
  }
  bool IsOpen() const override { return open; }
  std::vector<std::uint8_t> TakeReceived() override { return std::exchange(received, {}); }
  // The result of the opening under way, or the loss that happened: what the host
  // tells its owner; false when there was nothing to tell.
  template <typename Owner>
  bool Settle(Owner& owner) {
    if (opening) {
      const int com = opening->com_port;
      opening.reset();
      open = present;
      t.Add((present ? "opened COM" : "open failed COM") + std::to_string(com));
      owner.OnPortOpened(present);
      return true;
    }
    if (std::exchange(lost, false)) {
      t.Add("lost");
      owner.OnPortLost();
      return true;
    }
    return false;
  }

  Transcript& t;
  bool present = true;
  bool open = false;
  bool lost = false;
  std::optional<device::PortSettings> opening;
  std::vector<std::uint8_t> received;
};

// What the port sees for a frame: its bytes, then the reopen it asks for.
inline std::string Sent(const device::Frame& f) {
  return "port " + Hex(f.bytes) + "\n" + (f.reopen ? "reopen\n" : "");
}

// An opening of COM n asked for (6094: odd parity, zero bytes kept), and its result.
inline std::string OpenAsked(int com, int buffer, bool is_6094 = false) {
  return "open COM" + std::to_string(com) + (is_6094 ? " odd keep-zero " : " ") +
         std::to_string(buffer) + "\n";
}
inline std::string Opened(int com, bool ok = true) {
  return (ok ? "opened COM" : "open failed COM") + std::to_string(com) + "\n";
}
inline std::string OpenLines(int com, int buffer, bool is_6094 = false, bool ok = true) {
  return OpenAsked(com, buffer, is_6094) + Opened(com, ok);
}

struct FakeInput : device::InputSink {
  explicit FakeInput(Transcript& t) : t(t) {}
  int Key(std::uint8_t vk, bool up) override {
    return Event("key " + std::to_string(vk) + (up ? " up" : " down"));
  }
  int Mouse(std::uint32_t flags) override { return Event("mouse " + std::to_string(flags)); }
  int Event(const std::string& line) {
    const int inserted = accept == 0 ? 0 : 1;
    t.Add(inserted ? line : line + " refused");
    if (accept > 0) --accept;
    return inserted;
  }
  Transcript& t;
  int accept = -1;  // events taken before it refuses them ("key 65 down refused"); -1: all
};

struct FakeForeground : device::ForegroundCheck {
  device::ForegroundWindow Front() override { return front; }
  device::ForegroundWindow UnderCursor() override { return under_cursor; }
  device::ForegroundWindow front, under_cursor;
};

struct FakeMouse : device::MouseButtons {
  bool left = false, middle = false, right = false;
  bool LeftDown() const override { return left; }
  bool MiddleDown() const override { return middle; }
  bool RightDown() const override { return right; }
};

// "clip TEXT" per offer; "clip busy" while another program holds it (open_failures).
struct FakeClipboard : device::Clipboard {
  explicit FakeClipboard(Transcript& t) : t(t) {}
  Result OfferText(std::u16string_view text) override {
    if (open_failures > 0) return --open_failures, t.Add("clip busy"), Result::kOpenFailed;
    return t.Add("clip " + ToUtf8(text)), result;
  }
  Transcript& t;
  Result result = Result::kOk;
  int open_failures = 0;
};

// Every owner's one-shot timers on one simulated clock, keyed by name.
struct FakeTimers : device::Timers<device::LinkTimer>,
                    device::Timers<shell::ShellTimer>,
                    device::Timers<editor::EditorTimer> {
  explicit FakeTimers(Transcript* log = nullptr) : log(log) {}
  void Arm(device::LinkTimer id, int ms) override { Set(kNames[0][int(id)], ms); }
  void Disarm(device::LinkTimer id) override { Clear(kNames[0][int(id)]); }
  void Arm(shell::ShellTimer id, int ms) override { Set(kNames[1][int(id)], ms); }
  void Disarm(shell::ShellTimer id) override { Clear(kNames[1][int(id)]); }
  void Arm(editor::EditorTimer id, int ms) override { Set(kNames[2][int(id)], ms); }
  void Disarm(editor::EditorTimer id) override { Clear(kNames[2][int(id)]); }
  static constexpr const char* kNames[3][4] = {
      {"refresh", "gather", "text", "burst"}, {"handover", "reconnect"}, {"wakeup", "lamptest"}};

  bool Armed(const std::string& name) const { return due.count(name) != 0; }
  // Milliseconds until the timer fires, or -1 when it is not armed.
  long In(const std::string& name) const { return Armed(name) ? due.at(name) - now : -1; }
  // Lets the clock run for ms, handing each timer that falls due to fire(name),
  // earliest first, taken off first as the host kills a timer that fires.
  template <typename Fire>
  void Run(long ms, Fire fire) {
    const long until = now + ms;
    for (auto next = Next(); next != due.end() && next->second <= until; next = Next()) {
      const std::string name = next->first;
      now = next->second;
      due.erase(next);
      fire(name);
    }
    now = until;
  }

  Transcript* log;
  long now = 0;
  std::map<std::string, long> due;

 private:
  std::map<std::string, long>::iterator Next() {
    return std::ranges::min_element(due, {}, [](const auto& timer) { return timer.second; });
  }
  // The burst window opens at every first key: logged, it would fill every transcript.
  bool Logged(const std::string& name) const { return log && name != "burst"; }
  void Set(const std::string& name, int ms) {
    if (Logged(name)) log->Add("arm " + name + " " + std::to_string(ms));
    due[name] = now + ms;
  }
  void Clear(const std::string& name) {
    if (Logged(name)) log->Add("disarm " + name);
    due.erase(name);
  }
};

// Files in memory: "save PATH" per write, "save failed PATH" while read-only.
struct FakeFiles : FileSystem {
  explicit FakeFiles(Transcript& t) : t(t) {}
  FileRead Read(std::u16string_view path) const override {
    ++reads;
    if (unreadable.count(std::u16string(path))) return {ReadStatus::kUnreadable};
    const auto it = files.find(std::u16string(path));
    return it == files.end() ? FileRead{} : FileRead{ReadStatus::kOk, it->second};
  }
  bool ReplaceAtomically(std::u16string_view path, std::string_view bytes) const override {
    t.Add((read_only ? "save failed " : "save ") + ToUtf8(path));
    return !read_only && (files[std::u16string(path)] = bytes, true);
  }
  bool FileExists(std::u16string_view path) const override {
    return files.count(std::u16string(path)) + unreadable.count(std::u16string(path)) != 0;
  }
  // The content stands for the time of writing.
  std::optional<std::uint64_t> ChangeStamp(std::u16string_view path) const override {
    const auto it = files.find(std::u16string(path));
    if (it == files.end()) return std::nullopt;
    return std::hash<std::string>{}(it->second);
  }
  Transcript& t;
  mutable std::map<std::u16string, std::string> files;
  // Files that exist but cannot be read (held by another program, say).
  std::set<std::u16string> unreadable;
  mutable int reads = 0;
  bool read_only = false;
};

}  // namespace vantrel::testing
