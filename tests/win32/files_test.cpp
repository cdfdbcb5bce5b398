// Layout files on the real file system: the atomic replace, reading a file another
// program holds, and the listing of layout files.
#include "win32/files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <thread>

#include "win32/codec.h"
#include "win32/handles.h"

namespace vantrel::win32 {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// A fresh folder for one test, removed with all in it afterwards.
struct TempFolder {
  TempFolder() { fs::create_directory(dir); }
  ~TempFolder() {
    std::error_code ignored;
    fs::remove_all(dir, ignored);
  }
  std::u16string operator/(std::u16string_view name) const { return (dir / name).u16string(); }
  // Every entry's name, in the file system's order.
  std::vector<std::u16string> Entries() const {
    std::vector<std::u16string> names;
    for (const fs::directory_entry& e : fs::directory_iterator(dir))
      names.push_back(e.path().filename().u16string());
    return names;
  }
  const fs::path dir =
      fs::temp_directory_path() / ("vantrel-" + std::to_string(GetCurrentProcessId()));
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
  const Win32Files files(kLoggedPlaceFile);
  const std::u16string target = folder / u"部品.fkl";
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
  for (const std::u16string& name : folder.Entries()) EXPECT_FALSE(name.starts_with(u"部品.fkl."));

  // "plate.fklold" has the short name PLATE~1.FKL, which "*.fkl" matches as well.
  for (const char16_t* name : {u"b.fkl", u"a.fkl", u"plate.old.fkl", u"h.fkl", u"s.fkl",
                               u"notes.txt", u"x.fkl.bak", u"plate.fklold", u"C.FKL"})
    ASSERT_TRUE(files.ReplaceAtomically(folder / name, "x"));
  fs::create_directory(folder.dir / u"folder.fkl");
  EXPECT_FALSE(files.ReplaceAtomically(folder / u"folder.fkl", "x"));
  SetFileAttributesW(ToWide(folder / u"h.fkl").c_str(), FILE_ATTRIBUTE_HIDDEN);
  SetFileAttributesW(ToWide(folder / u"s.fkl").c_str(), FILE_ATTRIBUTE_SYSTEM);
  std::vector<std::u16string> layouts;
  for (const std::u16string& name : folder.Entries())
    if (name == u"a.fkl" || name == u"b.fkl" || name == u"plate.old.fkl" || name == u"部品.fkl" ||
        name == u"C.FKL")
      layouts.push_back(name);
  EXPECT_EQ(ListLayoutFiles(folder.dir.u16string()), layouts);
}

TEST(Files, ReadTakesOrdinaryFilesWholeWaitingBrieflyForOneHeldAndTellsMissingFromUnreadable) {
  const TempFolder folder;
  const Win32Files files;
  const auto status = [&](std::u16string_view path) { return files.Read(path).status; };
  const std::u16string file = folder / u"a.fkl", big = folder / u"big.fkl";
  ASSERT_TRUE(files.ReplaceAtomically(file, "abc") &&
              files.ReplaceAtomically(big, std::string(kMaxFileBytes + 1, 'x')));
  EXPECT_EQ(status(folder / u"none.fkl"), ReadStatus::kMissing);
  EXPECT_EQ(status(folder / u"none\\a.fkl"), ReadStatus::kMissing);
  EXPECT_EQ(status(folder.dir.u16string()), ReadStatus::kUnreadable);
  EXPECT_EQ(status(big), ReadStatus::kUnreadable);
  UniqueHandle holder;
  const auto hold = [&](DWORD access, DWORD share) {
    holder.Reset();  // first: it would stand in the way of the next
    holder.Reset(
        CreateFileW(ToWide(file).c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr));
  };
  hold(GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  EXPECT_EQ(files.ReadAll(file), "abc");  // another program writes it meanwhile
  hold(GENERIC_READ, 0);
  std::thread release([&] {
    Sleep(150);
    holder.Reset();
  });
  EXPECT_EQ(files.ReadAll(file), "abc");  // held for a moment
  release.join();
  hold(GENERIC_READ, 0);
  EXPECT_EQ(status(file), ReadStatus::kUnreadable);  // held for good
  // A pipe named as the file is refused at once: reading it would wait for its writer.
  const std::wstring pipe = L"\\\\.\\pipe\\vantrel-" + std::to_wstring(GetCurrentProcessId());
  UniqueHandle server(CreateNamedPipeW(pipe.c_str(), PIPE_ACCESS_OUTBOUND, 0, 1, 0, 0, 0, nullptr));
  std::future<ReadStatus> read =
      std::async(std::launch::async, [&] { return status(FromWide(pipe)); });
  const bool at_once = read.wait_for(2s) == std::future_status::ready;
  server.Reset();  // ends a read that waits
  EXPECT_TRUE(at_once);
  EXPECT_EQ(read.get(), ReadStatus::kUnreadable);
}

}  // namespace
}  // namespace vantrel::win32
