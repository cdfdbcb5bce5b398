#include "core/editor/editor.h"

#include <algorithm>
#include <cstdint>
#include <string>

namespace vantrel::editor {
namespace {

using device::Frame;
using device::Model;

constexpr std::u16string_view kModelNames[] = {u"X8000", u"48G9995", u"6094"};

std::u16string ReasonText(LayoutError reason) {
  switch (reason) {
    case LayoutError::kTruncatedRecord:
      return u"ファイルが途中で終わっています。";
    case LayoutError::kCountOutOfRange:
      return u"ステップ数が範囲外です。";
    case LayoutError::kTooManySteps:
      return u"ステップが 60 を超えています。";
    case LayoutError::kNone:
    case LayoutError::kCannotOpen:
      break;
  }
  return u"ファイルを開けません。";
}

}  // namespace

std::u16string ClearQuestionText() {
  return u"[ ＯＫ ] ボタンを押すと、データが消去されます。\r\r　　　　消去してよろしですか？";
}

std::u16string OpenFailedText(std::u16string_view path, const LayoutReadResult& result) {
  if (result.reason == LayoutError::kCannotOpen) {
    return OkBoxText(u"ファイル " + std::u16string(path) + u" を開けません。");
  }
  return OkBoxText(u"ファイル " + std::u16string(path) + u" の " + Decimal(result.line) +
                   u" 行目を読めません。" + ReasonText(result.reason) +
                   u"\rそれより前の設定だけが読み込まれています。");
}

std::u16string SaveFailedText(std::u16string_view path) {
  return OkBoxText(u"ファイル " + std::u16string(path) + u" に保存できませんでした。");
}

std::u16string OverwriteQuestionText(std::u16string_view path) {
  return std::u16string(path) + u" は既に存在します。\r上書きしますか？";
}

std::u16string PortUnavailableStatus(int com_port) {
  return u"COM" + Decimal(com_port) + u" を開けません。ランプは点灯しません。";
}

std::u16string PortLostStatus(int com_port) {
  return u"COM" + Decimal(com_port) + u" との接続が切れました。ランプは点灯しません。";
}

std::u16string AssignKeyCaption(int key, int mouse_state) {
  constexpr std::u16string_view kStates[] = {u" (マウスのクリック無)", u" (マウスの左クリック)",
                                             u" (マウスの中央クリック)", u" (マウスの右クリック)"};
  const int state = std::clamp(mouse_state, 1, kMouseStates);
  return u"Button " + Decimal(key) + std::u16string(kStates[state - 1]);
}

std::vector<std::u16string> PortListEntries(const std::vector<int>& present, int com_port) {
  std::vector<int> higher;
  for (int n : present) {
    if (n > 9) higher.push_back(n);
  }
  // A configured adapter that is unplugged now stays visible as the choice made.
  if (com_port > 9) higher.push_back(com_port);
  std::sort(higher.begin(), higher.end());
  higher.erase(std::unique(higher.begin(), higher.end()), higher.end());
  std::vector<std::u16string> entries;
  for (int n = 1; n <= 9; ++n) entries.push_back(u"COM" + Decimal(n));
  for (int n : higher) entries.push_back(u"COM" + Decimal(n));
  return entries;
}

int PortNumberOf(std::u16string_view entry) {
  if (!entry.starts_with(u"COM") || entry.size() < 4 || entry.size() > 8 || entry[3] == u'0') {
    return 1;
  }
  int n = 0;
  for (char16_t c : entry.substr(3)) {
    if (c < u'0' || c > u'9') return 1;
    n = n * 10 + (c - u'0');
  }
  return n <= 32767 ? n : 1;  // com_port is 16-bit
}

std::u16string WithLayoutExtension(std::u16string_view path) {
  const size_t name = path.find_last_of(u"\\/");
  const std::u16string_view file = name == std::u16string_view::npos ? path : path.substr(name + 1);
  if (file.find(u'.') != std::u16string_view::npos) return std::u16string(path);
  return std::u16string(path) + u"." + std::u16string(kLayoutExtension);
}

WindowPosition MoveInto(WindowPosition where, Twips size, Twips area) {
  // The title bar is what the user drags: the top-left corner wins over the rest.
  const auto fit = [](int at, int length, int from, int span) {
    return std::max(from, std::min(at, from + span - length));
  };
  return {fit(where.top, size.height, area.top, area.height),
          fit(where.left, size.width, area.left, area.width)};
}

LayoutEditor::LayoutEditor(const EditorSession& session, EditorPlatform& platform,
                           device::Timers<EditorTimer>& timers, const FileSystem& files,
                           const TextCodec& codec)
    : session_(session), platform_(platform), timers_(timers), files_(files), codec_(codec) {}

void LayoutEditor::Load() {
  if (window_loaded_ || closed_) return;
  window_loaded_ = true;
  Settings& s = session_.settings;
  const std::vector<std::u16string> ports =
      PortListEntries(platform_.PresentComPorts(), s.com_port);
  const auto chosen = std::find(ports.begin(), ports.end(), u"COM" + Decimal(s.com_port));
  platform_.SetPortList(ports,
                        chosen == ports.end() ? -1 : static_cast<int>(chosen - ports.begin()));

  if (Model() == Model::k48G9995) {
    platform_.SelectModel(ModelOption::k48G9995);
    // The page stays the one the last FK key press played. Unlike the other models
    // the window does not choose one, but it shows the one it edits.
    const int last = session_.last_mouse_state;
    mouse_state_ = last >= 1 && last <= kMouseStates ? last : 0;
    platform_.SelectMouseState(mouse_state_ == 0 ? kNoMouseOption : mouse_state_ - 1);
  } else {
    // An empty or unknown model is driven as an X8000, and becomes one here.
    SelectModel(Model() == Model::k6094 ? ModelOption::k6094 : ModelOption::kX8000);
    platform_.SelectMouseState(0);
    mouse_state_ = 1;
  }
  lamp_test_code_ = 0;
  OpenPort();
  platform_.PlaceWindow({s.editor_top, s.editor_left});
  if (session_.layout_loaded) platform_.SetLayoutName(LayoutDisplayName(s.layout_path));
  save_in_place_ = session_.layout_loaded && !s.layout_path.empty();
  platform_.SetChecks(s.open_layout_at_start == 1, s.hand_over_to_cad == 1);
}

void LayoutEditor::OpenPort() {
  wake_up_phase_ = 0;
  session_.port.Open(
      {session_.settings.com_port, device::LineSettingsFor(Model()), kEditorInBufferSize});
}

void LayoutEditor::OnPortOpened(bool ok) {
  if (closed_) return;
  if (!ok) return PortTrouble(PortUnavailableStatus(session_.settings.com_port));
  timers_.Arm(EditorTimer::kWakeUp, kWakeUpDelay);
}

void LayoutEditor::OnTimer(EditorTimer id) {
  if (closed_ || !window_loaded_) return;
  if (id == EditorTimer::kWakeUp) {
    WakeUpTick();
  } else {
    LampTestTick();
  }
}

void LayoutEditor::WakeUpTick() {
  const device::Model model = Model();
  Send(device::WakeUp(model, wake_up_phase_));
  if (model == device::Model::k6094 && ++wake_up_phase_ < device::kWakeUp6094Ticks) {
    timers_.Arm(EditorTimer::kWakeUp, kWakeUpDelay);
    return;
  }
  wake_up_phase_ = 0;
}

void LayoutEditor::LampTestTick() {
  // The code goes out as one byte: past 255 it starts again at the first code.
  lamp_test_code_ = lamp_test_code_ >= 255 ? kLampTestStart + 1 : lamp_test_code_ + 1;
  platform_.ShowLampTestCode(lamp_test_code_);
  Send(device::LampTest(lamp_test_code_));
  timers_.Arm(EditorTimer::kLampTest, kLampTestInterval);
}

void LayoutEditor::OnPortLost() {
  if (closed_ || !session_.port.IsOpen()) return;
  session_.port.Close();
  PortTrouble(PortLostStatus(session_.settings.com_port));
}

void LayoutEditor::PressKey(int key) {
  if (closed_ || !window_loaded_ || key < 1 || key > kKeys) return;
  // Page 0 belongs to no layout: an edit there would never be saved or played.
  if (mouse_state_ == 0) {
    platform_.SelectMouseState(0);
    mouse_state_ = 1;
  }
  Send(device::KeyLampOnly(Model(), key));
  platform_.HighlightKey(key, true);
  platform_.AssignKey({session_.table.Entry(mouse_state_, key), key, mouse_state_, session_.capture,
                       session_.layout_loaded, codec_});
  // The window may have been closed while the dialog was up (logoff).
  if (closed_) return;
  platform_.HighlightKey(key, false);
  Send(device::EditorLampsOff(Model()));
}

void LayoutEditor::ChooseMouseState(int option) {
  if (!closed_ && option >= 0 && option < kMouseStates) mouse_state_ = option + 1;
}

void LayoutEditor::ChooseModel(ModelOption option) {
  // Frames follow the new model at once; the port keeps its line settings until
  // the shell opens its own after the editor closes.
  if (!closed_) session_.settings.fk_model = kModelNames[static_cast<int>(option)];
}

void LayoutEditor::SelectModel(ModelOption option) {
  platform_.SelectModel(option);
  ChooseModel(option);
}

void LayoutEditor::ChoosePort(std::u16string_view entry) {
  // Not reopened here: the shell opens the new port when the editor closes.
  if (!closed_) session_.settings.com_port = static_cast<std::int16_t>(PortNumberOf(entry));
}

void LayoutEditor::SetOpenAtStartup(bool ticked) {
  if (!closed_) session_.settings.open_layout_at_start = ticked ? 1 : 0;
}

void LayoutEditor::SetAutoHandOver(bool ticked) {
  if (!closed_) session_.settings.hand_over_to_cad = ticked ? 1 : 0;
}

void LayoutEditor::NewLayout() {
  if (closed_ || !platform_.Confirm(kClearTitle, ClearQuestionText())) return;
  // layout_path stays, so Save writes the emptied table over the file it came from.
  session_.table.Clear();
  session_.layout_loaded = false;
  platform_.SetLayoutName(u"");
}

void LayoutEditor::OpenLayout() {
  if (closed_) return;
  const std::optional<std::u16string> path = platform_.ChooseLayoutToOpen(session_.working_folder);
  if (!path) return;
  Settings& s = session_.settings;
  s.layout_path = *path;
  const LayoutReadResult read = LoadLayoutFile(files_, s.layout_path, codec_, session_.table);
  if (read.failed()) {
    // The table holds what could be read, which is not the file: a Save must not
    // write it back there unasked.
    save_in_place_ = false;
    platform_.ShowMessage(kOpenTitle, OpenFailedText(s.layout_path, read));
    return;
  }
  platform_.SetLayoutName(LayoutDisplayName(s.layout_path));
  session_.layout_loaded = true;
  save_in_place_ = true;
}

void LayoutEditor::SaveLayout() {
  if (closed_) return;
  if (!save_in_place_) {
    SaveLayoutAs();
    return;
  }
  static_cast<void>(WriteLayoutTo(session_.settings.layout_path));
}

void LayoutEditor::SaveLayoutAs() {
  if (closed_) return;
  const std::optional<std::u16string> chosen =
      platform_.ChooseLayoutToSave(session_.working_folder);
  if (!chosen) return;
  const std::u16string path = WithLayoutExtension(*chosen);
  // The dialog asked about the name it returned; a name completed here is asked
  // about here.
  if (path != *chosen && files_.FileExists(path) &&
      !platform_.Confirm(kSaveTitle, OverwriteQuestionText(path))) {
    return;
  }
  // Nothing changes unless the file was written: layout_path must not name a layout
  // that does not exist.
  if (!WriteLayoutTo(path)) return;
  session_.settings.layout_path = path;
  platform_.SetLayoutName(LayoutDisplayName(path));
  session_.layout_loaded = true;
  save_in_place_ = true;
}

bool LayoutEditor::WriteLayoutTo(std::u16string_view path) {
  if (SaveLayoutFile(files_, path, codec_, session_.table)) return true;
  platform_.ShowMessage(kSaveTitle, SaveFailedText(path));
  return false;
}

void LayoutEditor::Print() {
  if (closed_) return;
  if (!HasPrintData(session_.table)) {
    platform_.ShowMessage(kPrintTitle, NoPrintDataText());
    return;
  }
  const std::unique_ptr<Printer> printer = platform_.ChoosePrinter();
  // A printer that fails ends the print-out without a message; what was sent stays
  // with the printing service.
  if (printer) static_cast<void>(PrintLayout(session_.table, *printer));
}

void LayoutEditor::Help() {
  if (!closed_) platform_.OpenHelp();
}

void LayoutEditor::StartLampTest() {
  if (closed_ || !window_loaded_) return;
  lamp_test_code_ = kLampTestStart;
  timers_.Arm(EditorTimer::kLampTest, kLampTestInterval);
}

void LayoutEditor::StopLampTest() {
  if (!closed_) timers_.Disarm(EditorTimer::kLampTest);
}

void LayoutEditor::TestLampsOff() {
  if (!closed_ && window_loaded_) Send(device::TestLampsOff());
}

void LayoutEditor::TestAllLamps() {
  if (!closed_ && window_loaded_) Send(device::TestAllLamps());
}

WindowPosition LayoutEditor::Close(WindowPosition where) {
  Settings& s = session_.settings;
  if (!closed_) {
    closed_ = true;
    timers_.Disarm(EditorTimer::kWakeUp);
    timers_.Disarm(EditorTimer::kLampTest);
    session_.port.Close();
    // A window dragged far off beyond the 16-bit range is stored at its edge.
    s.editor_top = static_cast<std::int16_t>(std::clamp(where.top, -32768, 32767));
    s.editor_left = static_cast<std::int16_t>(std::clamp(where.left, -32768, 32767));
  }
  return {s.editor_top, s.editor_left};
}

void LayoutEditor::Send(const Frame& frame) {
  // A port that fails a write or a reopening is reported lost (OnPortLost).
  if (session_.port.IsOpen()) device::Send(session_.port, frame);
}

void LayoutEditor::PortTrouble(std::u16string_view status) {
  if (port_trouble_shown_) return;
  port_trouble_shown_ = true;
  platform_.ShowPortStatus(status);
}

}  // namespace vantrel::editor
