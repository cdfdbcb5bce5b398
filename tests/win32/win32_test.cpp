// The Win32 layer through the real calls: code page 932, files, the clipboard, the
// print-out on metafiles, and the serial port over a pty played by serial_driver.py
// (which echoes every byte and hangs up on "~~HANGUP~~"; without it the SerialPty cases
// are skipped).
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <optional>
#include <future>
#include <stdexcept>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "core/data/layout.h"
#include "core/editor/printout.h"
#include "win32/clipboard.h"
#include "win32/codec.h"
#include "win32/files.h"
#include "win32/handles.h"
#include "win32/input.h"
#include "win32/printer.h"
#include "win32/serial.h"
#include "win32/window.h"

namespace vantrel::win32 {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

TEST(Codec, ConvertsBothWaysAndGoesOnPastWhatItCannotConvert) {
  const Cp932Codec codec;
  // Half-width katakana are one byte and one character each.
  const std::u16string text = u"図面＋→ｱｲｳﾞﾟ abc";
  const std::string bytes = "\x90\x7D\x96\xCA\x81\x7B\x81\xA8\xB1\xB2\xB3\xDE\xDF abc";
  EXPECT_EQ(codec.Encode(text), bytes);
  EXPECT_EQ(codec.Decode(bytes), text);
  // A lead byte without its trail byte, bytes no character has, no code page 932 form.
  for (const std::string damaged : {"A\x81 Z", "A\xFD\xFE\xFFZ", "A\x81\x7F\x82\xFC\xEF\x40Z"}) {
    const std::u16string decoded = codec.Decode(damaged);
    EXPECT_TRUE(decoded.front() == u'A' && decoded.back() == u'Z') << damaged;
  }
  EXPECT_EQ(codec.Decode("A\x81").front(), u'A');
  EXPECT_EQ(codec.Encode(u"a\u00E9b"), "a?b");  // not a look-alike
  for (const std::u16string surrogates : {u"x\xD800y", u"x\xD83D\xDE00y"})
    EXPECT_EQ(codec.Encode(surrogates).back(), 'y');
  // A damaged lead byte may take the line break or comma after it here; the layout
  // reader splits before decoding, so no record moves and no step is lost.
  AssignmentTable t;
  const LayoutReadResult r = ReadLayout("x\x81\n2\nxx,#A\x81,#B\n", codec, t);
  EXPECT_TRUE(r.ok && r.records == 1 && t.Entry(1, 1).count == 2 && t.Entry(1, 1).body[2] == u"B");
}

// Every entry of a folder but "." and "..", in the file system's order.
std::vector<std::u16string> Entries(const std::wstring& dir) {
  std::vector<std::u16string> names;
  WIN32_FIND_DATAW found;
  FindHandle search(FindFirstFileW((dir + L"\\*").c_str(), &found));
  for (bool more = search.Valid(); more; more = FindNextFileW(search.Get(), &found))
    if (found.cFileName[0] != L'.') names.push_back(FromWide(found.cFileName));
  return names;
}

// A fresh folder for one test, removed with its files (and a folder.fkl) afterwards.
struct TempFolder {
  TempFolder() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    dir = temp + (L"vantrel-" + std::to_wstring(GetCurrentProcessId()));
    CreateDirectoryW(dir.c_str(), nullptr);
  }
  ~TempFolder() {
    for (const std::u16string& name : Entries(dir)) DeleteFileW(Path(name).c_str());
    RemoveDirectoryW((dir + L"\\folder.fkl").c_str());
    RemoveDirectoryW(dir.c_str());
  }
  std::wstring Path(std::u16string_view name) const { return dir + L"\\" + ToWide(name); }
  std::wstring dir;
};

// The placing calls made, "replace " or "move " each.
std::string g_placed;
const PlaceFileApi kLoggedPlaceFile{
    [](LPCWSTR target, LPCWSTR temp, LPCWSTR backup, DWORD flags, LPVOID x, LPVOID y) -> BOOL {
      return g_placed += "replace ", ReplaceFileW(target, temp, backup, flags, x, y);
    },
    [](LPCWSTR temp, LPCWSTR target, DWORD flags) -> BOOL {
      return g_placed += "move ", MoveFileExW(temp, target, flags);
    }};

TEST(Files, ReplaceIsWholeOrNothingAndTheListingTakesOrdinaryFklFilesInOrder) {
  const TempFolder folder;
  const auto path = [&](std::u16string_view name) { return FromWide(folder.Path(name)); };
  const Win32Files files(kLoggedPlaceFile);
  const std::u16string target = path(u"部品.fkl");
  // A crashed run that had our process id left the temporary file the first save names.
  UniqueHandle(CreateFileW(
      (ToWide(target) + L"." + std::to_wstring(GetCurrentProcessId()) + L".0.tmp").c_str(),
      GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
  const std::string content("new\r\n\x90\x7D", 7);
  ASSERT_TRUE(files.ReplaceAtomically(target, "old") && files.ReplaceAtomically(target, content));
  {
    // Held open without delete sharing: the move fails after the temporary file was written.
    UniqueHandle holder(CreateFileW(ToWide(target).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_FALSE(files.ReplaceAtomically(target, "lost"));
  }
  SetFileAttributesW(ToWide(target).c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_FALSE(files.ReplaceAtomically(target, "lost"));
  SetFileAttributesW(ToWide(target).c_str(), FILE_ATTRIBUTE_NORMAL);
  // Only ReplaceFileW keeps an existing target's ACL and attributes; read-only is not tried.
  EXPECT_EQ(g_placed, "move replace replace ");
  EXPECT_FALSE(files.ReplaceAtomically(path(u"no folder\\a.fkl"), "x"));
  EXPECT_EQ(files.ReadAll(target), content);
  // ReplaceFileW removed the target but could not move the new file in: moved in then.
  const Win32Files failing({[](LPCWSTR replaced, LPCWSTR, LPCWSTR, DWORD, LPVOID, LPVOID) -> BOOL {
                              DeleteFileW(replaced);
                              return SetLastError(ERROR_UNABLE_TO_MOVE_REPLACEMENT), FALSE;
                            },
                            MoveFileExW});
  EXPECT_TRUE(failing.ReplaceAtomically(target, content + "2"));
  EXPECT_EQ(files.ReadAll(target), content + "2");
  // None of our temporary files is left (Wine's ReplaceFileW may leave an rf*.tmp of its own).
  for (const std::u16string& name : Entries(folder.dir))
    EXPECT_FALSE(name.starts_with(u"部品.fkl."));

  // "plate.fklold" has the short name PLATE~1.FKL, which "*.fkl" matches as well.
  for (const char16_t* name : {u"b.fkl", u"a.fkl", u"plate.old.fkl", u"h.fkl", u"s.fkl",
                               u"notes.txt", u"x.fkl.bak", u"plate.fklold", u"C.FKL"})
    ASSERT_TRUE(files.ReplaceAtomically(path(name), "x"));
  CreateDirectoryW(folder.Path(u"folder.fkl").c_str(), nullptr);
  EXPECT_FALSE(files.ReplaceAtomically(path(u"folder.fkl"), "x"));
  SetFileAttributesW(folder.Path(u"h.fkl").c_str(), FILE_ATTRIBUTE_HIDDEN);
  SetFileAttributesW(folder.Path(u"s.fkl").c_str(), FILE_ATTRIBUTE_SYSTEM);
  std::vector<std::u16string> layouts;
  for (const std::u16string& name : Entries(folder.dir))
    if (name == u"a.fkl" || name == u"b.fkl" || name == u"plate.old.fkl" || name == u"部品.fkl" ||
        name == u"C.FKL")
      layouts.push_back(name);
  EXPECT_EQ(ListLayoutFiles(FromWide(folder.dir)), layouts);
}

TEST(Files, ReadTakesOrdinaryFilesWholeWaitingBrieflyForOneHeldAndTellsMissingFromUnreadable) {
  const TempFolder folder;
  const Win32Files files;
  const auto status = [&](const std::wstring& path) { return files.Read(FromWide(path)).status; };
  const std::wstring file = folder.Path(u"a.fkl"), big = folder.Path(u"big.fkl");
  ASSERT_TRUE(files.ReplaceAtomically(FromWide(file), "abc") &&
              files.ReplaceAtomically(FromWide(big), std::string(kMaxFileBytes + 1, 'x')));
  EXPECT_EQ(status(folder.Path(u"none.fkl")), ReadStatus::kMissing);
  EXPECT_EQ(status(folder.Path(u"none\\a.fkl")), ReadStatus::kMissing);
  EXPECT_EQ(status(folder.dir), ReadStatus::kUnreadable);
  EXPECT_EQ(status(big), ReadStatus::kUnreadable);
  const auto open = [&](DWORD access, DWORD share) {
    return UniqueHandle(
        CreateFileW(file.c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr));
  };
  {
    UniqueHandle writer =
        open(GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    EXPECT_EQ(files.ReadAll(FromWide(file)), "abc");  // another program writes it meanwhile
  }
  {
    UniqueHandle holder = open(GENERIC_READ, 0);
    std::thread release([&] {
      Sleep(150);
      holder.Reset();
    });
    EXPECT_EQ(files.ReadAll(FromWide(file)), "abc");  // held for a moment
    release.join();
    holder = open(GENERIC_READ, 0);
    EXPECT_EQ(status(file), ReadStatus::kUnreadable);  // held for good
  }
  // A pipe named as the file is refused at once: reading it would wait for its writer.
  const std::wstring pipe = L"\\\\.\\pipe\\vantrel-" + std::to_wstring(GetCurrentProcessId());
  UniqueHandle server(CreateNamedPipeW(pipe.c_str(), PIPE_ACCESS_OUTBOUND, 0, 1, 0, 0, 0, nullptr));
  std::future<ReadStatus> read = std::async(std::launch::async, [&] { return status(pipe); });
  const bool at_once = read.wait_for(2s) == std::future_status::ready;
  server.Reset();  // ends a read that waits
  EXPECT_TRUE(at_once);
  EXPECT_EQ(read.get(), ReadStatus::kUnreadable);
}

// Windows (not Wine) refuses SetClipboardData after EmptyClipboard on a clipboard opened
// without an owner: the calls' sequence is checked at the seam, on the way to the system.
std::string g_calls;
bool g_refuse = false;
Win32Clipboard* g_clipboard = nullptr;
int g_rendered = 0;

std::string FormatName(UINT format) {
  wchar_t name[64] = L"?";
  GetClipboardFormatNameW(format, name, 64);
  return FromWide(name) == u"CanIncludeInClipboardHistory" ? "history" : "private";
}

// The owner window renders as the main window does.
LRESULT CALLBACK ClipboardOwner(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_RENDERFORMAT) return g_rendered += g_clipboard->Render(wparam), 0;
  if (message == WM_RENDERALLFORMATS) return g_clipboard->RenderAll(), 0;
  if (message == WM_DESTROYCLIPBOARD) return g_clipboard->Emptied(), 0;
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

std::u16string Pasted(UINT format = CF_UNICODETEXT) {
  EXPECT_TRUE(OpenClipboard(nullptr));
  const HANDLE h = GetClipboardData(format);
  const void* p = h ? GlobalLock(h) : nullptr;
  std::u16string text;
  if (p && format == CF_UNICODETEXT) text = static_cast<const char16_t*>(p);
  if (p && format == CF_TEXT) text = Cp932Codec().Decode(static_cast<const char*>(p));
  if (p && format != CF_UNICODETEXT && format != CF_TEXT)
    text = std::u16string(1, *static_cast<const char16_t*>(p));
  if (p) GlobalUnlock(h);
  CloseClipboard();
  return text;
}

// The text is promised, handed over once when a program asks, and marked for clipboard
// history to leave alone; the last one outlives its owner.
TEST(Clipboard, PromisesTheTextAndHandsItOverOnceAProgramAsks) {
  if (const char* acp = std::getenv("VANTREL_EXPECT_ACP")) {
    ASSERT_EQ(GetACP(), static_cast<UINT>(std::atoi(acp)));
  }
  WNDCLASSW cls{};
  cls.lpfnWndProc = ClipboardOwner;
  cls.lpszClassName = L"VantrelTestClipboardOwner";
  RegisterClassW(&cls);
  HWND owner =
      CreateWindowExW(0, cls.lpszClassName, L"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  const ClipboardApi api{[](HWND owner) {
                           g_calls += owner ? "open(owner) " : "open(none) ";
                           return OpenClipboard(owner);
                         },
                         [] { return g_calls += "empty ", EmptyClipboard(); },
                         [](UINT format, HANDLE block) -> HANDLE {
                           g_calls += format != CF_UNICODETEXT ? "set(" + FormatName(format) + ") "
                                      : block                  ? "set(text) "
                                                               : "promise(text) ";
                           if (g_refuse) return SetLastError(ERROR_ACCESS_DENIED), nullptr;
                           return SetClipboardData(format, block);
                         },
                         [] { return g_calls += "close", CloseClipboard(); }};
  Win32Clipboard clipboard(owner, api);
  g_clipboard = &clipboard;
  const std::u16string text = u"図面 ｱｲｳ abc";
  for (bool refuse : {true, false}) {
    g_calls.clear();
    g_refuse = refuse;
    EXPECT_EQ(clipboard.OfferText(text),
              refuse ? device::Clipboard::Result::kSetFailed : device::Clipboard::Result::kOk);
    EXPECT_EQ(g_calls, refuse ? "open(owner) empty promise(text) close"
                              : "open(owner) empty promise(text) set(private) set(history) "
                                "set(private) set(private) close");
  }
  g_calls.clear();
  EXPECT_EQ(Pasted(), text);
  EXPECT_EQ(Pasted(), text);
  EXPECT_EQ(g_rendered, 1);
  EXPECT_EQ(g_calls, "set(text) ");
  EXPECT_EQ(Pasted(RegisterClipboardFormatW(L"CanIncludeInClipboardHistory")),
            std::u16string(1, 0));
  if (GetACP() == 932) {  // the system's own conversion, in its code page
    EXPECT_EQ(Pasted(CF_TEXT), text);
  }
  // Promised, never asked for: rendered as the owner goes, so it stays on the clipboard.
  ASSERT_EQ(clipboard.OfferText(u"部品"), device::Clipboard::Result::kOk);
  DestroyWindow(owner);
  EXPECT_EQ(Pasted(), u"部品");
  EXPECT_EQ(g_rendered, 1);
}

// The crash path: whatever playback's own record says, the sink lets go of exactly what
// it pressed and the system took, and a handler that throws calls for it.
std::vector<std::string> g_sent;
bool g_accept = true;

UINT WINAPI FakeSendInput(UINT, LPINPUT in, int) {
  g_sent.push_back(in->type == INPUT_MOUSE ? "mouse " + std::to_string(in->mi.dwFlags)
                                           : "key " + std::to_string(in->ki.wVk) +
                                                 (in->ki.dwFlags & KEYEVENTF_KEYUP ? " up" : ""));
  return g_accept ? 1 : 0;
}

struct Thrower final : Window {
  Thrower() { CreateWindowOf(nullptr, {L"VantrelTestThrower"}, 0, L"", 0, {}, HWND_MESSAGE); }
  LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam) override {
    if (message == WM_APP) throw std::runtime_error("handler failed");
    return Default(message, wparam, lparam);
  }
};
SendInputSink* g_sink = nullptr;

TEST(Input, WhatThePlaybackPressedIsLetGoOfWhenAHandlerFails) {
  SendInputSink sink(FakeSendInput);
  g_sink = &sink;
  for (int vk : {16, 65}) sink.Key(static_cast<std::uint8_t>(vk), false);
  sink.Key(65, true);
  for (std::uint32_t flags : {2u, 8u, 16u}) sink.Mouse(flags);
  g_accept = false;  // refused: a press that never went down, a release that left it down
  sink.Key(17, false);
  sink.Key(16, true);
  g_accept = true;
  g_sent.clear();
  SetFailureHandler([]() noexcept { g_sink->ReleaseEverythingDown(); });
  Thrower window;
  SendMessageW(window.hwnd(), WM_APP, 0, 0);
  SetFailureHandler(nullptr);
  EXPECT_EQ(g_sent, (std::vector<std::string>{"mouse 4", "key 16 up"}));
  sink.ReleaseEverythingDown();
  EXPECT_EQ(g_sent.size(), 2u);
}

// A printer stand-in: each page an enhanced metafile, whose text records are kept as
// (x, y, text); the calls in order; page `refuse` (from 1) is refused.
using Texts = std::vector<std::tuple<LONG, LONG, std::u16string>>;
struct MetafilePages final : PageDevice {
  explicit MetafilePages(int refuse = 0) : refuse(refuse) {}
  bool StartDocument() override { return calls.push_back("doc"), true; }
  HDC StartPage() override {
    calls.push_back("page");
    if (++started == refuse) return nullptr;
    dc = CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr);
    // A printer's DC comes with its font; Wine's metafile DC measures none until given one.
    SelectObject(dc, GetStockObject(SYSTEM_FONT));
    TEXTMETRICW font;
    if (GetTextMetricsW(dc, &font)) height = font.tmHeight;
    return dc;
  }
  bool EndPage() override {
    calls.push_back("end-page");
    HENHMETAFILE page = CloseEnhMetaFile(dc);
    EnumEnhMetaFile(nullptr, page, &Record, &pages.emplace_back(), nullptr);
    DeleteEnhMetaFile(page);
    return page != nullptr;
  }
  bool EndDocument() override { return calls.push_back("end"), true; }
  static int CALLBACK Record(HDC, HANDLETABLE*, const ENHMETARECORD* r, int, LPARAM texts) {
    const auto* t = reinterpret_cast<const EMREXTTEXTOUTW*>(r);
    const auto* text = reinterpret_cast<const BYTE*>(r) + t->emrtext.offString;
    if (r->iType == EMR_EXTTEXTOUTW)
      reinterpret_cast<Texts*>(texts)->emplace_back(
          t->emrtext.ptlReference.x, t->emrtext.ptlReference.y,
          std::u16string(reinterpret_cast<const char16_t*>(text), t->emrtext.nChars));
    return 1;
  }
  std::vector<Texts> pages;
  std::vector<std::string> calls;
  int refuse, started = 0;
  HDC dc = nullptr;
  LONG height = 0;  // of the font's characters
};

TEST(Printer, FourPagesOfLinesFromTheTopLeftInOrderAndAFailureEndsThere) {
  AssignmentTable table;
  table.Entry(1, 3) = {u"図面", 2, u"結合", {}, {u"", u"Ctrl+S", u"部品"}};
  table.Entry(4, 7).body[1] = u"Enter";
  auto pages = std::make_unique<MetafilePages>(), refusing = std::make_unique<MetafilePages>(2);
  const MetafilePages &out = *pages, &refused = *refusing;
  GdiPrinter printer(std::move(pages)), failing(std::move(refusing));
  ASSERT_TRUE(editor::PrintLayout(table, printer));
  EXPECT_EQ(out.calls, (std::vector<std::string>{"doc", "page", "end-page", "page", "end-page",
                                                 "page", "end-page", "page", "end-page", "end"}));
  ASSERT_EQ(out.pages.size(), 4u);
  for (int m = 1; m <= 4; ++m) {
    // Every line that has text, at the left edge, a line's height below the last.
    const std::vector<std::u16string> lines = editor::PageLines(table, m);
    const Texts& page = out.pages[m - 1];
    ASSERT_GE(page.size(), 2u);
    const LONG step = (std::get<1>(page[1]) - std::get<1>(page[0])) / 2;  // lines 9 and 11
    EXPECT_GE(step, out.height) << "lines overlap";
    EXPECT_GT(out.height, 0);
    Texts expected;
    for (std::size_t i = 0; i < lines.size(); ++i)
      if (!lines[i].empty()) expected.emplace_back(0, static_cast<LONG>(i) * step, lines[i]);
    EXPECT_EQ(page, expected) << "page " << m;
  }
  EXPECT_FALSE(editor::PrintLayout(table, failing));
  EXPECT_EQ(refused.calls, (std::vector<std::string>{"doc", "page", "end-page", "page"}));
}

constexpr SerialPort::Messages kMessages{WM_APP + 1, WM_APP + 2, WM_APP + 3};

class SerialPty : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* number = std::getenv("VANTREL_TEST_PTY_PORT");
    if (!number) GTEST_SKIP() << "needs tests/win32/serial_driver.py";
    number_ = std::atoi(number);
    port_.SetNotify(window_, kMessages);
  }
  void TearDown() override { DestroyWindow(window_); }

  // Opens the pty's port and waits for the result, which comes as a message: the
  // opening does not hold up the caller.
  bool Open(bool odd_parity = false, bool keep_zero_bytes = true) {
    port_.Open({number_, {odd_parity, keep_zero_bytes}, 1024});
    EXPECT_FALSE(port_.IsOpen());
    opened_.reset();
    Pump([&] { return opened_.has_value(); }, 10s);
    return opened_.value_or(false) && port_.IsOpen();
  }
  // Runs the thread's messages as the program's window does, until `done` or for
  // `time`: a data notice takes the bytes waiting, a lost notice is counted.
  void Pump(const std::function<bool()>& done, std::chrono::milliseconds time) {
    const auto end = std::chrono::steady_clock::now() + time;
    while (!done() && std::chrono::steady_clock::now() < end) {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
      for (MSG msg; PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);) {
        if (msg.message == kMessages.opened) opened_ = port_.OpenResult(msg.wParam, msg.lParam);
        if (!port_.Current(msg.wParam)) continue;
        const Bytes in = msg.message == kMessages.data ? port_.TakeReceived() : Bytes{};
        received_.insert(received_.end(), in.begin(), in.end());
        lost_ += msg.message == kMessages.lost ? 1 : 0;
      }
    }
  }
  // Writes the bytes; what comes back once `count` bytes are in, and 50 ms more.
  Bytes Echo(const Bytes& out, std::size_t count) {
    port_.Write(out);
    Pump([&] { return received_.size() >= count; }, 10s);
    Pump([] { return false; }, 50ms);
    return std::exchange(received_, {});
  }

  HWND window_ =
      CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  SerialPort port_;
  std::optional<bool> opened_;
  Bytes received_;
  int lost_ = 0, number_ = 0;
};

// What the line is set up with, as the device needs it.
struct LineState {
  DWORD baud;
  BYTE parity, byte_size, stop_bits;
  bool parity_checked, zero_bytes_dropped;
  bool any_handshake;  // CTS, DSR, XON/XOFF, or DTR/RTS raised
  bool damaged_byte_is_question_mark;
  DWORD timeouts;  // all read timeouts added: 0, the 1-byte read waits for a byte
  friend bool operator==(const LineState&, const LineState&) = default;
};

LineState Read(const DCB& d, const COMMTIMEOUTS& t) {
  return {d.BaudRate,
          d.Parity,
          d.ByteSize,
          d.StopBits,
          d.fParity != 0,
          d.fNull != 0,
          d.fOutxCtsFlow || d.fOutxDsrFlow || d.fOutX || d.fInX ||
              d.fDtrControl != DTR_CONTROL_DISABLE || d.fRtsControl != RTS_CONTROL_DISABLE,
          d.fErrorChar && d.ErrorChar == '?',
          t.ReadIntervalTimeout + t.ReadTotalTimeoutConstant + t.ReadTotalTimeoutMultiplier};
}

TEST_F(SerialPty, LineStateAndBytesPerSettings) {
  const std::vector<int> present = PresentComPorts();
  EXPECT_NE(std::find(present.begin(), present.end(), number_), present.end());
  for (int n : present) EXPECT_TRUE(n >= 1 && n <= kMaxComPort) << n;
  Bytes every;  // every byte value, then more than one read holds
  for (int i = 0; i < 256 + 3000; ++i) every.push_back(static_cast<std::uint8_t>(i));
  const struct {
    bool odd, keep_zero, reopen;  // reopen: the echo arrives, then the port is reopened
    Bytes out, in;
  } kCases[] = {
      {false, true, false, every, every},
      // A key pressed as the program reopens the port after a frame still plays.
      {false, true, true, {0x1B, 0x21}, {0x1B, 0x21}},
      {true, false, false, {0, 'A', 0, 0, 'B', 0x1B, 0, 'C'}, {'A', 'B', 0x1B, 'C'}}};
  for (const auto& c : kCases) {
    ASSERT_TRUE(Open(c.odd, c.keep_zero)) << c.odd << " error " << port_.LastOpenError();
    DCB d{};
    COMMTIMEOUTS t{};
    ASSERT_TRUE(port_.GetLineState(&d, &t));
    EXPECT_EQ(Read(d, t), (LineState{9600, static_cast<BYTE>(c.odd ? ODDPARITY : NOPARITY), 8,
                                     ONESTOPBIT, c.odd, !c.keep_zero, false, true, 0}))
        << c.odd;
    if (c.reopen) {
      port_.Write(c.out);
      Sleep(300);
      port_.Reopen();
      Sleep(300);
    }
    EXPECT_EQ(Echo(c.reopen ? Bytes{} : c.out, c.in.size()), c.in) << c.odd;
    port_.Close();
  }
  // A port that is not there: the failure, too, comes as the opening's result.
  port_.Open({kMaxComPort, {}, 1024});
  opened_.reset();
  Pump([&] { return opened_.has_value(); }, 10s);
  EXPECT_EQ(opened_, false);
  EXPECT_NE(port_.LastOpenError(), 0u);
}

// Writes queued behind one the line has not taken yet leave in the order written.
TEST_F(SerialPty, QueuedWritesLeaveInOrderBehindAStalledLine) {
  ASSERT_TRUE(Open()) << port_.LastOpenError();
  const std::string stall = "~~STALL~~";
  Bytes sent(stall.begin(), stall.end());
  port_.Write(sent);
  Sleep(200);  // the far end has stopped reading
  for (Bytes frame : {Bytes(48 * 1024, 'x'), Bytes(3, 'a'), Bytes(3, 'b'), Bytes(3, 'c')}) {
    port_.Write(frame);
    sent.insert(sent.end(), frame.begin(), frame.end());
  }
  const Bytes back = Echo({}, sent.size());
  EXPECT_EQ(std::string(back.end() - std::min<std::size_t>(back.size(), 12), back.end()),
            "xxxaaabbbccc");
  EXPECT_TRUE(back == sent) << back.size() << " bytes back";
  port_.Close();
}

// Runs last: the driver closes its end of the pty, which then is gone.
TEST_F(SerialPty, ZLostPortIsReportedOnceWithoutSpinning) {
  ASSERT_TRUE(Open()) << port_.LastOpenError();
  port_.Write(Bytes{'~', '~', 'H', 'A', 'N', 'G', 'U', 'P', '~', '~'});
  Pump([&] { return lost_ > 0; }, 5s);
  ASSERT_TRUE(port_.Lost());
  const auto cpu_ms = [] {
    FILETIME t[4];
    GetProcessTimes(GetCurrentProcess(), &t[0], &t[1], &t[2], &t[3]);
    return (ULARGE_INTEGER{{t[2].dwLowDateTime, t[2].dwHighDateTime}}.QuadPart +
            ULARGE_INTEGER{{t[3].dwLowDateTime, t[3].dwHighDateTime}}.QuadPart) /
           10000;
  };
  const auto before = cpu_ms();
  Pump([] { return false; }, 500ms);
  EXPECT_LT(cpu_ms() - before, 150u) << "the reader spins";
  EXPECT_EQ(lost_, 1);
  // Writing to the lost line neither blocks nor crashes; closing is clean.
  const auto start = std::chrono::steady_clock::now();
  port_.Write(Bytes{0x1B, 0x13});
  port_.Close();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
}

}  // namespace
}  // namespace vantrel::win32
