// A LayoutEditor on the shared fakes, everything it does in one transcript: "ports 9 2"
// (entries, selection), "model 0", "mouse 0" (option indices), "port 1B 13", "assign 9 1".
#pragma once

#include <memory>
#include <optional>

#include "common/fakes.h"
#include "core/editor/editor.h"

namespace vantrel::editor::testing {

using namespace vantrel::testing;
// Logs "doc", "lines N", "page", "end"; the call numbered fail_at (from 1) fails.
struct FakePrinter : Printer {
  using Lines = std::span<const std::u16string>;
  FakePrinter(Transcript& t, int fail_at) : t(t), fail_at(fail_at) {}
  bool Call(const std::string& what) { return t.Add(what), ++calls != fail_at; }
  bool StartDocument() override { return Call("doc"); }
  bool PrintLines(Lines l) override { return Call("lines " + Str(int(l.size()))); }
  bool EndPage() override { return Call("page"); }
  bool EndDocument() override { return Call("end"); }
  Transcript& t;
  int fail_at, calls = 0;
};

struct FakeEditorPlatform : EditorPlatform {
  using Path = std::optional<std::u16string>;
  using Texts = std::vector<std::u16string>;
  explicit FakeEditorPlatform(Transcript& t) : t(t) {}
  void PlaceWindow(WindowPosition w) override { Log(t, "place", w.top, w.left); }
  void SetLayoutName(SV name) override { Log(t, "name", name); }
  void SetPortList(const Texts& l, int at) override { Log(t, "ports", int(l.size()), at); }
  void SelectModel(ModelOption m) override { Log(t, "model", int(m)); }
  void SelectMouseState(int option) override { Log(t, "mouse", option); }
  void SetChecks(bool startup, bool hand_over) override { Log(t, "checks", startup, hand_over); }
  void HighlightKey(int key, bool on) override { Log(t, "highlight", key, on); }
  void ShowLampTestCode(int code) override { Log(t, "code", code); }
  void ShowPortStatus(SV text) override { Log(t, "status", text); }
  std::vector<int> PresentComPorts() override { return present; }
  void ShowMessage(SV title, SV text) override { Log(t, "message", title, text); }
  bool Confirm(SV title, SV text) override { return Log(t, "confirm", title, text), confirm; }
  Path ChooseLayoutToOpen(SV dir) override { return Log(t, "open?", dir), chosen; }
  Path ChooseLayoutToSave(SV dir) override { return Log(t, "save?", dir), chosen; }
  std::unique_ptr<Printer> ChoosePrinter() override {
    return t.Add("print?"), fails_at < 0 ? nullptr : std::make_unique<FakePrinter>(t, fails_at);
  }
  void AssignKey(const AssignKeyRequest& r) override { Log(t, "assign", r.key, r.mouse_state); }
  void OpenHelp() override { t.Add("help"); }

  Transcript& t;
  std::vector<int> present;
  bool confirm = true;
  Path chosen;
  int fails_at = 0;  // the printer's failing call; -1: the print dialog is cancelled
};

// com_port 3, open_layout_at_start 1, at (-120, 4000), with C:\fk\部品.fkl loaded and shown.
struct Rig {
  explicit Rig(std::u16string model = u"X8000", int last_mouse = 0)
      : session{table, settings, loaded, folder, port, capture, last_mouse} {
    settings = {u"C:\\fk\\部品.fkl", -120, 4000, 1, 0, 3, std::move(model)};
  }
  std::string Start() { return e.Load(), Advance(200), t.Take(); }  // with the wake-up
  // The port's results and losses come first, as the host's messages would.
  void Advance(long ms) {
    while (port.Settle(e)) {
    }
    timers.Run(ms, [this](const std::string& name) {
      e.OnTimer(name == "wakeup" ? EditorTimer::kWakeUp : EditorTimer::kLampTest);
    });
  }

  Transcript t;
  AssignmentTable table;
  Settings settings;
  bool loaded = true;
  std::u16string folder = u"C:\\work\\";
  FakeSerial port{t};
  CaptureState capture;
  FakeTimers timers{&t};
  FakeFiles files{t};
  FakeEditorPlatform platform{t};
  IconvCodec codec;
  EditorSession session;
  LayoutEditor e{session, platform, timers, files, codec};
};

}  // namespace vantrel::editor::testing
