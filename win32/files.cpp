#include "win32/files.h"

#include <windows.h>

#include <algorithm>
#include <atomic>

#include "win32/codec.h"
#include "win32/handles.h"

namespace vantrel::win32 {
namespace {

// Writes all bytes; WriteFile takes a DWORD count, so large input goes in pieces.
bool WriteAll(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
    bytes.remove_prefix(written);
  }
  return true;
}

// A name for the temporary file that no other writer (thread or process) picks.
std::wstring TempNameFor(const std::wstring& target) {
  static std::atomic<unsigned> counter{0};
  return target + L"." + std::to_wstring(GetCurrentProcessId()) + L"." +
         std::to_wstring(counter.fetch_add(1)) + L".tmp";
}

}  // namespace

FileRead Win32Files::Read(std::u16string_view path) const {
  UniqueHandle file(CreateFileW(ToWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    const DWORD error = GetLastError();
    return {error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ReadStatus::kMissing
                                                                           : ReadStatus::kUnreadable};
  }
  FileRead out{ReadStatus::kOk, {}};
  char buf[16384];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file.Get(), buf, sizeof buf, &got, nullptr)) return {ReadStatus::kUnreadable};
    if (got == 0) break;
    out.bytes.append(buf, got);
  }
  return out;
}

bool Win32Files::ReplaceAtomically(std::u16string_view path, std::string_view bytes) const {
  const std::wstring target = ToWide(path);
  const std::wstring temp = TempNameFor(target);
  bool ok;
  {
    UniqueHandle file(CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    ok = WriteAll(file.Get(), bytes) && FlushFileBuffers(file.Get());
  }  // closed before the move
  ok = ok && MoveFileExW(temp.c_str(), target.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  if (!ok) DeleteFileW(temp.c_str());
  return ok;
}

bool Win32Files::FileExists(std::u16string_view path) const {
  const DWORD attributes = GetFileAttributesW(ToWide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<std::u16string> ListLayoutFiles(std::u16string_view dir) {
  std::wstring pattern = ToWide(dir);
  if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/') pattern += L'\\';
  pattern += L"*.fkl";

  std::vector<std::u16string> names;
  WIN32_FIND_DATAW found;
  FindHandle search(FindFirstFileW(pattern.c_str(), &found));
  if (!search.Valid()) return names;
  constexpr DWORD kSkip = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  do {
    if (!(found.dwFileAttributes & kSkip)) names.push_back(FromWide(found.cFileName));
  } while (FindNextFileW(search.Get(), &found));
  return names;
}

std::wstring PathBesideProgram(std::wstring_view name) {
  wchar_t exe[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, exe, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return std::wstring(name);
  std::wstring path(exe, n);
  path.erase(path.find_last_of(L'\\') + 1);
  return path.append(name);
}

}  // namespace vantrel::win32
