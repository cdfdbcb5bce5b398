// Layout files on the real file system: the atomic replace, reading a file another
// program holds, and the listing of layout files.
#include "win32/files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "win32/codec.h"
#include "win32/handles.h"

namespace vantrel::win32 {
namespace {

using namespace std::chrono_literals;

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

}  // namespace
}  // namespace vantrel::win32
