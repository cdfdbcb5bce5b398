// Fakes of the core's platform interfaces, shared by the device and shell rigs.
// Each writes one transcript line per event: "port 1B 13", "reopen", "key 16 down",
// "mouse 4", "clip 図面"; timers log "arm gather 50" only when given a log.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/transcript.h"
#include "core/data/files.h"
#include "core/device/platform.h"
#include "core/editor/editor.h"
#include "core/shell/resident.h"
#include "tools/common/iconv_codec.h"

namespace vantrel::testing {

// The serial control: property sets, openings and writes. A port that is not
// "present" refuses to open; one that goes away closes itself at the next reopen.
struct FakeSerial : device::SerialControl {
  explicit FakeSerial(Transcript& t, bool open = false) : t(t), open(open) {}
  void Write(std::span<const std::uint8_t> bytes) override {
    t.Add((open ? "port " : "WRITE TO CLOSED PORT ") + Hex(bytes));
  }
  void Reopen() override {
    t.Add("reopen");
    open = present;
  }
  void SetCommPort(int n) override {
    comm_port = n;
    t.Add("CommPort=" + std::to_string(n));
  }
  void SetSettings(std::string_view s) override { t.Add("Settings=" + std::string(s)); }
  void SetInBufferSize(int n) override { t.Add("InBufferSize=" + std::to_string(n)); }
  void SetRThreshold(int n) override { t.Add("RThreshold=" + std::to_string(n)); }
  void SetInputLen(int n) override { t.Add("InputLen=" + std::to_string(n)); }
  void SetNullDiscard(bool d) override { t.Add(std::string("NullDiscard=") + (d ? "1" : "0")); }
  bool SetPortOpen(bool o) override {
    if (!o) {
      if (open) t.Add("close");
      open = false;
      return true;
    }
    const std::string name = "COM" + std::to_string(comm_port);
    t.Add((present ? "open " : "open failed ") + name);
    open = present;
    return open;
  }
  bool PortOpen() const override { return open; }
  std::vector<std::uint8_t> Input() override { return std::exchange(received, {}); }

  Transcript& t;
  bool present = true;
  bool open = false;
  int comm_port = 0;
  std::vector<std::uint8_t> received;
};

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
  device::ForegroundWindow front;
};

struct FakeMouse : device::MouseButtons {
  bool left = false, middle = false, right = false;
  bool LeftDown() const override { return left; }
  bool MiddleDown() const override { return middle; }
  bool RightDown() const override { return right; }
};

struct FakeClipboard : device::Clipboard {
  explicit FakeClipboard(Transcript& t) : t(t) {}
  Result SetText(std::u16string_view text) override {
    t.Add("clip " + ToUtf8(text));
    return result;
  }
  Transcript& t;
  Result result = Result::kOk;
};

inline const char* Name(device::LinkTimer id) {
  return id == device::LinkTimer::kRefresh ? "refresh" : "gather";
}
inline const char* Name(shell::ShellTimer id) {
  return id == shell::ShellTimer::kHandOver ? "handover" : "reconnect";
}
inline const char* Name(editor::EditorTimer id) {
  return id == editor::EditorTimer::kWakeUp ? "wakeup" : "lamptest";
}

// Every owner's one-shot timers on one simulated clock, keyed by name.
struct FakeTimers : device::Timers<device::LinkTimer>,
                    device::Timers<shell::ShellTimer>,
                    device::Timers<editor::EditorTimer> {
  explicit FakeTimers(Transcript* log = nullptr) : log(log) {}
  void Arm(device::LinkTimer id, int ms) override { Set(Name(id), ms); }
  void Disarm(device::LinkTimer id) override { Clear(Name(id)); }
  void Arm(shell::ShellTimer id, int ms) override { Set(Name(id), ms); }
  void Disarm(shell::ShellTimer id) override { Clear(Name(id)); }
  void Arm(editor::EditorTimer id, int ms) override { Set(Name(id), ms); }
  void Disarm(editor::EditorTimer id) override { Clear(Name(id)); }

  bool Armed(const std::string& name) const { return due.count(name) != 0; }
  // Milliseconds until the timer fires, or -1 when it is not armed.
  long In(const std::string& name) const { return Armed(name) ? due.at(name) - now : -1; }
  // The earliest timer due by `until`, taken off as the host kills a timer that fires;
  // the clock moves to its deadline.
  std::optional<std::string> PopDue(long until) {
    auto next = due.end();
    for (auto it = due.begin(); it != due.end(); ++it) {
      if (it->second <= until && (next == due.end() || it->second < next->second)) next = it;
    }
    if (next == due.end()) return std::nullopt;
    std::string name = next->first;
    now = next->second;
    due.erase(next);
    return name;
  }

  Transcript* log;
  long now = 0;
  std::map<std::string, long> due;

 private:
  void Set(const std::string& name, int ms) {
    if (log) log->Add("arm " + name + " " + std::to_string(ms));
    due[name] = now + ms;
  }
  void Clear(const std::string& name) {
    if (log) log->Add("disarm " + name);
    due.erase(name);
  }
};

// Files in memory: "save PATH" per write, "save failed PATH" while read-only.
struct FakeFiles : FileSystem {
  explicit FakeFiles(Transcript& t) : t(t) {}
  std::optional<std::string> ReadAll(std::u16string_view path) const override {
    ++reads;
    const auto it = files.find(std::u16string(path));
    return it == files.end() ? std::nullopt : std::optional(it->second);
  }
  bool ReplaceAtomically(std::u16string_view path, std::string_view bytes) const override {
    t.Add((read_only ? "save failed " : "save ") + ToUtf8(path));
    return !read_only && (files[std::u16string(path)] = bytes, true);
  }
  bool FileExists(std::u16string_view path) const override {
    return files.count(std::u16string(path)) != 0;
  }
  Transcript& t;
  mutable std::map<std::u16string, std::string> files;
  mutable int reads = 0;
  bool read_only = false;
};

}  // namespace vantrel::testing
