// A Resident wired to the shared fakes, everything it does in one transcript; besides the
// fakes' lines, "tray idle Quillbox", "balloon ...", "current ...", "recent [a] ...", "quit".
#pragma once

#include <array>
#include <functional>
#include <optional>

#include "common/fakes.h"

namespace vantrel::shell::testing {

using namespace vantrel::testing;
using editor::EditorSession;

struct FakePlatform : ShellPlatform {
  explicit FakePlatform(Transcript& t) : t(t) {}
  bool AnotherInstanceRunning() override { return another_instance; }
  void ShowSecondInstanceMessage() override { Log(t, "message", kSecondInstanceText); }
  std::u16string CurrentDirectory() override { return cwd; }
  std::vector<std::u16string> ListLayouts(SV dir) override { return Log(t, "list", dir), layouts; }
  std::u16string ForegroundTitle() override { return title; }
  void PumpMessagesOnce() override { pump ? pump() : void(); }
  void ShowTray(TrayIcon icon, SV tip) override {
    Log(t, "tray", icon == TrayIcon::kIdle ? "idle" : "active", tip);
  }
  void RemoveTray() override { t.Add("tray removed"); }
  void Balloon(SV title_text, SV text) override { Log(t, "balloon", title_text, text); }
  void ShowError(SV text) override { Log(t, "error", text); }
  void KeepNoticeForNextStart(SV text) override { Log(t, "keep", text); }
  std::u16string TakeNoticeFromLastRun() override { return std::exchange(last_run_notice, {}); }
  void SetCurrentLayoutCaption(SV caption) override { t.Add("current " + Str(caption)); }
  void SetRecentCaptions(const std::array<std::u16string, 5>& captions) override {
    std::string line = "recent";
    for (const auto& c : captions) line += " [" + Str(c) + "]";
    t.Add(line);
  }
  void OpenHelp() override { t.Add("help"); }
  void RunEditor(const EditorSession& session) override {
    t.Add("editor");
    if (editor) editor(session);
  }
  void RunRulesDialog(RulesEditor& rules) override {
    t.Add("rules dialog");
    if (rules_dialog) rules_dialog(rules);
  }
  void Quit() override { t.Add("quit"); }

  Transcript& t;
  bool another_instance = false;
  std::u16string cwd = u"C:\\work";
  std::vector<std::u16string> layouts;
  std::u16string title = u"無題 - メモ帳";
  std::u16string last_run_notice;
  std::function<void()> pump;
  std::function<void(const EditorSession&)> editor;
  std::function<void(RulesEditor&)> rules_dialog;
};

// The whole shell on fakes; settings and layout files go into `files` before Start().
struct Rig {
  Rig() {
    resident.emplace(platform, ShellPorts{serial, editor_serial}, input, mouse, clipboard,
                     foreground, timers, timers, files, codec);
  }

  Resident& r() { return *resident; }

  // A settings file in the working directory with the given key lines.
  void PutSettings(std::u16string_view lines) {
    files.files[platform.cwd + u"\\Vantrel.sys"] = codec.Encode(lines);
  }
  // A layout whose key 1 (no mouse button) plays one joined key step.
  void PutLayout(std::u16string_view path, std::u16string_view label, std::u16string_view key) {
    files.files[std::u16string(path)] =
        codec.Encode(std::u16string(label) + u"\r\n1\r\n結合,#" + std::u16string(key) + u"\r\n");
  }

  // Started with layout C:\work\a.fkl (key 1 plays "A") loaded at start-up and the
  // settings lines added; the first data consumed unless the test sends its own,
  // the start-up refresh done and the transcript taken. Returns what Start() did.
  std::string StartWithLayout(std::u16string_view settings = u"", bool first_data = true) {
    PutSettings(u"FkNameT=C:\\work\\a.fkl *\r\nFileOn=1 *\r\n" + std::u16string(settings));
    PutLayout(u"C:\\work\\a.fkl", u"", u"A");
    const std::string started = Do(&Resident::Start);
    if (first_data) Receive({0x1B, 0x21});
    Advance(500);
    return started;
  }
  // Key 2 holds Shift in split mode, and is pressed.
  void HoldShift() {
    Assign(r().table().Entry(1, 2), u"分割,#Shift");
    Receive({0x1B, 0x22});
  }

  // These return what the shell did since the last look, the port's results and
  // losses delivered as the host would.
  // One call: rig.Do(&Resident::Shutdown), rig.Do(&Resident::ChooseRecent, 2).
  template <typename... A>
  std::string Do(void (Resident::*call)(A...), A... args) {
    (r().*call)(args...);
    return Take();
  }
  void Settle() {
    while (serial.Settle(r())) {
    }
  }
  std::string Take() {
    Settle();
    return t.Take();
  }
  std::string Advance(long ms) {
    Settle();
    timers.Run(ms, [this](const std::string& name) {
      if (name == "handover") r().OnTimer(ShellTimer::kHandOver);
      if (name == "reconnect") r().OnTimer(ShellTimer::kReconnect);
      if (name == "refresh") r().OnTimer(device::LinkTimer::kRefresh);
      if (name == "gather") r().OnTimer(device::LinkTimer::kGather);
      if (name == "text") r().OnTimer(device::LinkTimer::kText);
      if (name == "burst") r().OnTimer(device::LinkTimer::kBurst);
      Settle();
    });
    return t.Take();
  }
  // Bytes arriving from the device, with the receive event that follows.
  std::string Receive(std::vector<std::uint8_t> bytes) {
    serial.received.insert(serial.received.end(), bytes.begin(), bytes.end());
    r().OnBytesReceived();
    return Take();
  }

  Transcript t;
  FakeSerial serial{t};
  FakeSerial editor_serial{t};
  FakeInput input{t};
  FakeMouse mouse;
  FakeClipboard clipboard{t};
  FakeForeground foreground;
  FakeTimers timers;
  FakeFiles files{t};
  FakePlatform platform{t};
  IconvCodec codec;
  std::optional<Resident> resident;
};

// The frames the shell's transcripts check, from the device tests' golden table.
inline const std::string kStartupFrame = Sent(device::StartupSequence());
inline const std::string kLampsOff = Sent(device::LampsOff(device::Model::kX8000));
inline const std::string kRefresh = Sent(device::Refresh(device::Model::kX8000));
inline const std::string kKeyA = "key 65 down\nkey 65 up\n";
inline const std::string kIconChanged = "tray active アイコン変更\n";
inline const std::string kIdleChanged = "tray idle アイコン変更\n";

}  // namespace vantrel::shell::testing
