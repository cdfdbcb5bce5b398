// The file-system interface on Windows: wide paths, atomic replacement, and the
// listing of layout files for the recent-layout menu.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "core/data/files.h"

namespace vantrel::win32 {

// The calls that put a written file in place, in one place so a test can see which
// one is made: only Windows' ReplaceFileW keeps the replaced file's ACL and
// attributes (Wine's keeps neither).
struct PlaceFileApi {
  BOOL(WINAPI* replace)(LPCWSTR, LPCWSTR, LPCWSTR, DWORD, LPVOID, LPVOID);
  BOOL(WINAPI* move)(LPCWSTR, LPCWSTR, DWORD);
};
// Not constexpr: an imported function's address is known only once the program is
// loaded, so clang refuses it as a constant (g++ accepts it).
inline const PlaceFileApi kSystemPlaceFile{ReplaceFileW, MoveFileExW};

class Win32Files final : public FileSystem {
 public:
  explicit Win32Files(const PlaceFileApi& api = kSystemPlaceFile) : api_(api) {}

  // Shares reading, writing and deletion with whoever has the file open, and tries
  // again for about half a second while another program holds it (a backup or sync
  // tool does, for a moment). Only an ordinary disk file is read: a pipe, a device
  // or a folder is kUnreadable, and so is a file larger than kMaxFileBytes.
  FileRead Read(std::u16string_view path) const override;
  // A temporary file beside the target, flushed, then put in its place: over an
  // existing target by ReplaceFileW, which keeps the target's ACL and attributes,
  // otherwise by MoveFileExW with MOVEFILE_WRITE_THROUGH. A read-only target is
  // never replaced. On failure the target is untouched and the temporary file
  // removed.
  bool ReplaceAtomically(std::u16string_view path, std::string_view bytes) const override;
  bool FileExists(std::u16string_view path) const override;
  // The time of last writing and the size, from the directory entry: no open, so a
  // file another program holds still answers.
  std::optional<std::uint64_t> ChangeStamp(std::u16string_view path) const override;

 private:
  PlaceFileApi api_;
};

// Names (no folder) of the "*.fkl" files in `dir`, in the order the file system
// returns them: ordinary files only, no folders, no hidden or system files.
// `dir` may end in "\" or not; an empty `dir` means the current folder.
std::vector<std::u16string> ListLayoutFiles(std::u16string_view dir);

// The folder of Vantrel.exe, ending in "\"; empty when it cannot be had.
std::wstring ProgramFolder();
// A file beside the program (the help file), whatever the working directory is;
// empty when the program's own path cannot be had, never a bare name that the
// working folder would resolve.
std::wstring PathBesideProgram(std::wstring_view name);

}  // namespace vantrel::win32
