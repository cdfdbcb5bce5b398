// What the editor's windows show and where: captions, tool tips and places in
// twips, for the host to build real controls from. Captions and tips are the
// program's own texts, half-width katakana and all.
#pragma once

#include <string_view>

namespace vantrel::editor {

// A window's top-left corner, in twips.
struct WindowPosition {
  int top = 0;
  int left = 0;
  friend bool operator==(const WindowPosition&, const WindowPosition&) = default;
};

// A control's place inside its parent, in twips.
struct Twips {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

enum class ControlKind { kLabel, kCheckBox, kDropDownList, kOption, kFrame, kButton, kTextBox };

// The editor window's controls other than the key buttons.
enum class EditorControl {
  kFileCaption,
  kFileName,       // the current layout's display name
  kOpenAtStartup,  // open_layout_at_start
  kPortList,
  kAutoHandOver,  // hand_over_to_cad
  kModelCaption,
  kModelX8000,
  kModel48G9995,
  kModel6094,
  kKeyFrame,  // holds the mouse-state row and the key buttons
  kMouseCaption,
  kMouseNone,
  kMouseLeft,
  kMouseMiddle,
  kMouseRight,
  // Beyond the right edge of the client area: unseen at the designed size.
  kLampTestStart,
  kLampTestStop,
  kTestAllLamps,
  kTestLampsOff,
  kLampTestCode,
};

struct Control {
  EditorControl id;
  ControlKind kind;
  bool in_frame;  // placed relative to kKeyFrame
  Twips place;
  std::u16string_view caption;
  std::u16string_view tip;  // empty: no tool tip
};

inline constexpr std::u16string_view kEditorTitle = u"Button Editor Ve1.2";
inline constexpr Twips kEditorClient = {0, 0, 3720, 4950};

// clang-format off
inline constexpr Control kEditorControls[] = {
    {EditorControl::kFileCaption, ControlKind::kLabel, false, {120, 120, 975, 375},
     u"設定ﾌｧｲﾙ =", u"現在設定されているﾌｧｲﾙの名前が表示されます。"},
    {EditorControl::kFileName, ControlKind::kLabel, false, {1200, 120, 2295, 255}, u"", u""},
    {EditorControl::kOpenAtStartup, ControlKind::kCheckBox, false, {120, 480, 2295, 255},
     u"起動時上記のﾌｧｲﾙを開く", u""},
    {EditorControl::kPortList, ControlKind::kDropDownList, false, {2640, 480, 975, 300},
     u"", u"接続する通信ポートを選択"},
    {EditorControl::kAutoHandOver, ControlKind::kCheckBox, false, {120, 840, 1095, 255},
     u"自動切換", u"MICRO CADAM Helix 用に自動切換えする"},
    {EditorControl::kModelCaption, ControlKind::kLabel, false, {120, 1200, 375, 255},
     u"機種", u"ファンクションキーの機種を選択してください。"},
    {EditorControl::kModelX8000, ControlKind::kOption, false, {600, 1200, 855, 180},
     u"X8000", u"Helix用 電源別アダプタタイプ"},
    {EditorControl::kModel48G9995, ControlKind::kOption, false, {1440, 1200, 975, 180},
     u"48G9995", u"電源内蔵タイプまたはTTL仕様の改造品"},
    {EditorControl::kModel6094, ControlKind::kOption, false, {2520, 1200, 1095, 180},
     u"6094 020", u"CATIA/CADAM、ﾜｰｸｽﾃｰｼｮﾝ用"},
    {EditorControl::kKeyFrame, ControlKind::kFrame, false, {360, 1440, 3015, 3375}, u"", u""},
    {EditorControl::kMouseCaption, ControlKind::kLabel, true, {120, 150, 375, 255},
     u"ﾏｳｽ", u"マウスにて選択するボタンを選んでください。"},
    {EditorControl::kMouseNone, ControlKind::kOption, true, {600, 150, 495, 255}, u"無", u""},
    {EditorControl::kMouseLeft, ControlKind::kOption, true, {1150, 150, 495, 255}, u"左", u""},
    {EditorControl::kMouseMiddle, ControlKind::kOption, true, {1680, 150, 735, 255}, u"中央", u""},
    {EditorControl::kMouseRight, ControlKind::kOption, true, {2400, 150, 495, 255}, u"右", u""},
    {EditorControl::kLampTestStart, ControlKind::kButton, false, {4440, 2160, 1815, 375},
     u"ランプテストスタート", u""},
    {EditorControl::kLampTestStop, ControlKind::kButton, false, {4440, 2640, 1815, 375},
     u"ランプテストストップ", u""},
    {EditorControl::kTestAllLamps, ControlKind::kButton, false, {4440, 3360, 255, 375},
     u"Command36", u""},
    {EditorControl::kTestLampsOff, ControlKind::kButton, false, {4440, 3960, 255, 375},
     u"Command35", u""},
    {EditorControl::kLampTestCode, ControlKind::kTextBox, false, {4440, 1680, 1815, 375},
     u"", u""},
};
// clang-format on

// Key button n (1 to 32) inside the key frame: 375 twips square, 480 apart, in the
// device's rows of 4, 6, 6, 6, 6 and 4 keys; the short rows start one place in.
// Its caption is the key number.
constexpr Twips KeyButtonPlace(int key) {
  constexpr int kRowStarts[] = {1, 5, 11, 17, 23, 29, 33};
  int row = 0;
  while (row < 5 && key >= kRowStarts[row + 1]) ++row;
  const bool short_row = row == 0 || row == 5;
  const int column = key - kRowStarts[row] + (short_row ? 1 : 0);
  return {120 + 480 * column, 480 + 480 * row, 375, 375};
}
// The background of the key button whose dialog is open (red, green, blue).
inline constexpr unsigned char kKeyHighlight[3] = {255, 255, 0};

// The menu bar: "ファイル (&F)" with its five items, and "ヘルプ(&H)".
inline constexpr std::u16string_view kFileMenu = u"ファイル (&F)";
inline constexpr std::u16string_view kNewItem = u"新規作成 (&N)";
inline constexpr std::u16string_view kOpenItem = u"開く (&O)";
inline constexpr std::u16string_view kSaveItem = u"上書き保存 (&S)";
inline constexpr std::u16string_view kSaveAsItem = u"名前を付けて保存 (&A)";
inline constexpr std::u16string_view kPrintItem = u"印刷 (&P)";
inline constexpr std::u16string_view kHelpMenu = u"ヘルプ(&H)";

// The file dialogs' single filter, and the extension a typed name without one gets.
inline constexpr std::u16string_view kLayoutFilterName = u"ファンクション(*.fkl)";
inline constexpr std::u16string_view kLayoutFilterPattern = u"*.fkl";
inline constexpr std::u16string_view kLayoutExtension = u"fkl";

inline constexpr std::u16string_view kHelpFile = u"Vantrel.chm";

// The text input dialog: client area 5910 x 1095 twips; the text box in
// "ＭＳ ゴシック" 9.75 pt; tab order text box, "新規", "保存", "戻る".
inline constexpr std::u16string_view kTextInputTitle = u"テキスト入力";
inline constexpr Twips kTextInputClient = {0, 0, 5910, 1095};
inline constexpr std::u16string_view kTextInputFont = u"ＭＳ ゴシック";
inline constexpr double kTextInputFontPoints = 9.75;
inline constexpr Twips kTextInputBox = {120, 120, 5175, 892};  // multi-line
inline constexpr Twips kTextInputClear = {5400, 20, 550, 290};
inline constexpr Twips kTextInputSave = {5400, 410, 550, 290};
inline constexpr Twips kTextInputBack = {5400, 820, 550, 290};
inline constexpr std::u16string_view kTextInputClearCaption = u"新規";
inline constexpr std::u16string_view kTextInputSaveCaption = u"保存";
inline constexpr std::u16string_view kTextInputBackCaption = u"戻る";

// The key-assignment dialog: client area 5910 x 1110 twips, opening at the editor's
// top, this far right of its left edge. The step slots are in "ＭＳ ゴシック" 9 pt.
inline constexpr Twips kAssignKeyClient = {0, 0, 5910, 1110};
inline constexpr int kAssignKeyOffset = 3810;
inline constexpr std::u16string_view kSlotFont = u"ＭＳ ゴシック";
inline constexpr double kSlotFontPoints = 9;

enum class AssignControl {
  kLabel,
  kText,
  kMode,  // captioned by the mode it offers
  kNew,
  kSave,
  kBack,
  kScrollBar,
  // Right of the client area, never seen: the field that takes the key presses, and
  // the button after it in the tab order that catches Tab.
  kCaptureField,
  kTabCatcher,
};

struct AssignControlPlace {
  AssignControl id;
  Twips place;
  std::u16string_view caption;
  std::u16string_view tip;
};

// In tab order.
// clang-format off
inline constexpr AssignControlPlace kAssignControls[] = {
    {AssignControl::kLabel, {120, 20, 2775, 270}, u"", u""},
    {AssignControl::kText, {2950, 30, 600, 298}, u"ﾃｷｽﾄ",
     u"文章を入力する場合このﾎﾞﾀﾝを押してください"},
    {AssignControl::kMode, {3600, 30, 550, 298}, u"",
     u"ｷｰのDUNとUPを分けたい時このﾎﾞﾀﾝで切り替えてください"},
    {AssignControl::kNew, {4200, 30, 550, 298}, u"新規", u""},
    {AssignControl::kSave, {4800, 30, 550, 298}, u"保存", u""},
    {AssignControl::kBack, {5400, 30, 550, 298}, u"戻る", u""},
    {AssignControl::kScrollBar, {0, 840, 5895, 255}, u"", u""},
    {AssignControl::kCaptureField, {7000, 120, 615, 270}, u"", u""},
    {AssignControl::kTabCatcher, {7000, 480, 1035, 300}, u"ダミー", u""},
};
// clang-format on

}  // namespace vantrel::editor
