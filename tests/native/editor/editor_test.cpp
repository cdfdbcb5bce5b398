// The editor window as transcripts, the print-out's pages and the text input dialog.
#include <gtest/gtest.h>

#include "core/editor/text_input.h"
#include "editor/rig.h"

namespace vantrel::editor::testing {
namespace {

using device::Model;

// Each model's frames are the device tests' golden ones; here, which go out when.
TEST(Editor, LoadsWakesTheDeviceAndLightsOnlyTheEditedKeyPerModel) {
  const struct Row {
    const char16_t* model;
    int last_page;      // the mouse state the last FK key press played with
    const char* shown;  // the model option selected, then the page
    int key, page;      // the key pressed, and its page (0: none selected yet)
  } rows[] = {{u"X8000", 3, "0\nmouse 0", 9, 1},
              {u"", 3, "0\nmouse 0", 9, 1},  // made an X8000
              {u"6094", 0, "2\nmouse 0", 9, 1},
              // The 48G9995 stays on the last press's page; with none, "無" comes at a key.
              {u"48G9995", 0, "1\nmouse -1", 9, 0},
              {u"48G9995", 4, "1\nmouse 3", 1, 4}};
  for (const Row& r : rows) {
    SCOPED_TRACE(ToUtf8(r.model));
    Rig rig(r.model, r.last_page);
    const Model m = device::ModelOf(r.model);
    std::string wake = Sent(device::WakeUp(m, 0));
    for (int tick = 1; m == Model::k6094 && tick < device::kWakeUp6094Ticks; ++tick)
      wake += "arm wakeup 50\n" + Sent(device::WakeUp(m, tick));
    EXPECT_EQ(rig.Start(), "ports 9 2\nmodel " + std::string(r.shown) + "\n" +
                               OpenAsked(3, 1024, m == Model::k6094) +
                               "place -120 4000\nname 部品\nchecks 1 0\n" + Opened(3) +
                               "arm wakeup 50\n" + wake);
    EXPECT_EQ(rig.settings.fk_model, *r.model ? r.model : u"X8000");
    rig.e.PressKey(r.key);
    const std::string k = std::to_string(r.key) + " ";
    EXPECT_EQ(rig.t.Take(), (r.page ? "" : "mouse 0\n") + Sent(device::KeyLampOnly(m, r.key)) +
                                "highlight " + k + "1\nassign " + k +
                                std::to_string(r.page ? r.page : 1) + "\nhighlight " + k + "0\n" +
                                Sent(device::EditorLampsOff(m)));
  }
  EXPECT_EQ(AssignKeyCaption(9, 1), u"Button 9 (マウスのクリック無)");
}

TEST(Editor, SettingsTheLampTestAndClosing) {
  Rig rig;
  rig.settings.com_port = 12;
  rig.platform.present = {15, 3, 11};  // COM12 configured but unplugged stays listed
  EXPECT_TRUE(rig.Start().starts_with("ports 12 10\n"));
  rig.e.ChooseModel(ModelOption::k6094);  // frames follow at once; the line stays
  rig.e.ChooseMouseState(3);
  rig.e.ChoosePort(u"COM15");  // the user's first choice counts
  rig.e.SetOpenAtStartup(false);
  rig.e.SetAutoHandOver(true);
  rig.e.StartLampTest();
  rig.Advance(2000);
  EXPECT_EQ(rig.e.LampTestCode(), 36);
  rig.Advance(500 * (255 - 35));
  EXPECT_EQ(rig.e.LampTestCode(), 33);  // past 255
  rig.t.Take();
  rig.e.TestLampsOff();
  rig.e.TestAllLamps();
  rig.e.PressKey(1);
  rig.Advance(500);
  EXPECT_EQ(rig.e.Close({40000, -40000}), (WindowPosition{32767, -32768}));
  EXPECT_EQ(rig.t.Take(), Sent(device::TestLampsOff()) + Sent(device::TestAllLamps()) +
                              Sent(device::KeyLampOnly(Model::k6094, 1)) +
                              "highlight 1 1\nassign 1 4\nhighlight 1 0\n" +
                              Sent(device::EditorLampsOff(Model::k6094)) + "code 34\n" +
                              Sent(device::LampTest(34)) +
                              "arm lamptest 500\ndisarm wakeup\ndisarm lamptest\nclose\n");
  EXPECT_EQ(rig.settings, (Settings{u"C:\\fk\\部品.fkl", 32767, -32768, 0, 1, 15, u"6094"}));
}

TEST(Editor, AWindowOffEveryMonitorMovesIntoTheNearestAsLittleAsItCan) {
  const Twips area{1920, 0, 1280, 1000}, size{0, 0, 300, 400};
  EXPECT_EQ(MoveInto({-50, 4000}, size, area), (WindowPosition{0, 2900}));
  EXPECT_EQ(MoveInto({500, 1000}, size, area), (WindowPosition{500, 1920}));
  EXPECT_EQ(MoveInto({900, 1000}, {0, 0, 2000, 1200}, area), (WindowPosition{0, 1920}));
}

TEST(EditorFiles, SaveAsksForAFileNeverShownAndNewThenSaveBlanksTheShownOne) {
  Rig rig;
  rig.loaded = false;  // layout_path names a file the window never showed
  rig.Start();
  rig.table.Entry(2, 5).body[1] = u"A";
  rig.platform.chosen = u"C:\\fk\\新";
  rig.files.read_only = true;
  rig.e.SaveLayout();
  EXPECT_EQ(rig.settings.layout_path, u"C:\\fk\\部品.fkl");  // nothing claims a failed write
  rig.files.read_only = false;
  rig.e.SaveLayout();
  rig.e.NewLayout();
  rig.e.SaveLayout();
  EXPECT_EQ(rig.files.files[u"C:\\fk\\新.fkl"], Repeat("\r\n"s, 384));
  rig.table.Entry(1, 1).label = u"名前";  // a label alone is no data to print
  rig.e.Print();
  rig.platform.confirm = false;
  rig.e.SaveLayoutAs();  // a name completed here is asked about here
  EXPECT_EQ(rig.t.Take(), R"(save? C:\work\
save failed C:\fk\新.fkl
message 保存 ファイル C:\fk\新.fkl に保存できませんでした。||　　　　OKボタンを押してください。
save? C:\work\
save C:\fk\新.fkl
name 新
confirm 消去確認 [ ＯＫ ] ボタンを押すと、データが消去されます。||　　　　消去してよろしですか？
name 
save C:\fk\新.fkl
message 印刷 設定されたデータがありません。||　　　　OKボタンを押してください。
save? C:\work\
confirm 保存 C:\fk\新.fkl は既に存在します。|上書きしますか？
)");
}

TEST(EditorFiles, OpenSaveAndPrintWorkWithoutAPortAndADamagedFileIsNotOverwrittenUnasked) {
  Rig rig(u"6094");
  rig.port.present = false;  // no frames then, and one line says so
  EXPECT_NE(
      rig.Start().find("open failed COM3\nstatus COM3 を開けません。ランプは点灯しません。\n"),
      std::string::npos);
  rig.e.PressKey(1);
  rig.table.Entry(4, 32).body[1] = u"old";
  rig.files.files[u"ten"] = rig.codec.Encode(FromUtf8(Repeat("k\r\n1\r\n結合,#A\r\n"s, 10)));
  rig.files.files[u"C:\\fk\\bad.fkl"] = rig.codec.Encode(u"a\r\n1\r\n結合,#B\r\nb\r\n");
  rig.platform.chosen = u"ten";
  rig.e.OpenLayout();
  EXPECT_EQ(rig.table.Entry(1, 10).body[1] + rig.table.Entry(4, 32).body[1], u"A");
  rig.platform.chosen = u"C:\\fk\\bad.fkl";
  rig.e.OpenLayout();
  EXPECT_EQ(rig.table.Entry(1, 1).body[1], u"B");  // what was read before the damage
  rig.platform.chosen.reset();
  rig.e.SaveLayout();
  for (int fails_at : {-1, 0, 4}) {  // cancelled, printed, failing at the second page
    rig.platform.fails_at = fails_at;
    rig.e.Print();
  }
  EXPECT_EQ(rig.t.Take(), R"(highlight 1 1
assign 1 1
highlight 1 0
open? C:\work\
name ten
open? C:\work\
message 開く ファイル C:\fk\bad.fkl の 5 行目を読めません。ファイルが途中で終わっています。|それより前の設定だけが読み込まれています。||　　　　OKボタンを押してください。
save? C:\work\
print?
print?
doc
)" + Repeat("lines 74\npage\n"s, 4) +
                              "end\nprint?\ndoc\nlines 74\npage\nlines 74\n");
}

TEST(PrintOut, PagesListEveryKeyWithStepOneAndEveryLaterBodySet) {
  AssignmentTable t;
  t.Entry(1, 3) = {u"図面", 3, u"結合", {}, {u"", u"Ctrl+S", u"Enter", u"部品"}};
  t.Entry(1, 12) = {u"", 3, u"結合", {}, {u"", u"A", u"", u"C"}};
  t.Entry(1, 20) = {u"", 1, u"結合", {}, {u"", u"X", u"Y"}};  // Y lies beyond the count
  TextPrinter out;  // four pages of 74 lines, each followed by a form feed line
  EXPECT_TRUE(PrintLayout(t, out) && std::ranges::count(out.Text(), u'\n') == 300);
  std::u16string text = PageLines(t, 4)[8];
  for (size_t i : {8, 9, 10, 11, 14, 15, 33, 49}) text += u"|" + PageLines(t, 1)[i];
  const std::u16string in = u"|               ";
  EXPECT_EQ(text, in.substr(1) + u"ページ  4 " + in + u"ページ  1 |" + in + u"ボタン01名称 = " +
                      in + u"設定     項目 = " + in + u"ボタン03名称 = 図面" + in +
                      u"設定     項目 = Ctrl+S , Enter , 部品" + in + u"設定     項目 = A , C" +
                      in + u"設定     項目 = X , Y");
}

TEST(TextInput, HandsBackTheTextAsTypedOrNothing) {
  TextInput kept(u"図面番号を入れる", {100, 200}), cleared(u"old", {}), typed(u"", {});
  EXPECT_EQ(kept.Place(), (WindowPosition{1690, 4010}));
  cleared.Clear();
  typed.Edit(u" a,b\r\nc");
  for (TextInput* d : {&kept, &cleared, &typed}) d->Save();  // an empty box hands nothing back
  EXPECT_EQ(kept.Result().value_or(u"-") + cleared.Result().value_or(u"-") + *typed.Result(),
            u"図面番号を入れる- a,b\r\nc");
}

}  // namespace
}  // namespace vantrel::editor::testing
