#include "win32/working_folder.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <string>

#include "win32/files.h"
#include "win32/handles.h"

namespace vantrel::win32 {
namespace {

// The full path of a folder without a trailing "\", so that two spellings of one
// folder compare equal.
std::wstring Canonical(const std::wstring& folder) {
  const DWORD size = GetFullPathNameW(folder.c_str(), 0, nullptr, nullptr);
  if (size == 0) return {};
  std::wstring full(size, L'\0');
  const DWORD n = GetFullPathNameW(folder.c_str(), size, full.data(), nullptr);
  if (n == 0 || n >= size) return {};
  full.resize(n);
  while (full.size() > 3 && full.back() == L'\\') full.pop_back();
  return full;
}

bool SameFolder(const std::wstring& a, const std::wstring& b) {
  return !a.empty() && CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                            static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

std::wstring CurrentFolder() {
  const DWORD size = GetCurrentDirectoryW(0, nullptr);
  if (size == 0) return {};
  std::wstring dir(size, L'\0');
  const DWORD n = GetCurrentDirectoryW(size, dir.data());
  if (n == 0 || n >= size) return {};
  dir.resize(n);
  return Canonical(dir);
}

std::wstring SystemFolder() {
  wchar_t dir[MAX_PATH];
  const UINT n = GetSystemDirectoryW(dir, MAX_PATH);
  return n == 0 || n >= MAX_PATH ? std::wstring{} : Canonical(std::wstring(dir, n));
}

std::wstring DocumentsFolder() {
  PWSTR path = nullptr;
  std::wstring folder;
  // Wherever the user's Documents are: redirected, synced or local.
  if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Documents, KF_FLAG_CREATE, nullptr, &path))) {
    folder = path;
  }
  CoTaskMemFree(path);
  return folder;
}

// The examples are offered once, into the folder just made: a layout the user has
// since deleted or changed is never brought back.
void CopyExamples(const std::wstring& from, const std::wstring& to) {
  WIN32_FIND_DATAW found;
  FindHandle search(FindFirstFileW((from + L"*.fkl").c_str(), &found));
  if (!search.Valid()) return;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    CopyFileW((from + found.cFileName).c_str(), (to + L'\\' + found.cFileName).c_str(), TRUE);
  } while (FindNextFileW(search.Get(), &found));
}

}  // namespace

void EnterUserWorkingFolder() {
  const std::wstring program = ProgramFolder();
  const std::wstring current = CurrentFolder();
  if (program.empty() || current.empty()) return;
  if (!SameFolder(current, Canonical(program)) && !SameFolder(current, SystemFolder())) return;
  const std::wstring documents = DocumentsFolder();
  if (documents.empty()) return;
  const std::wstring folder = documents + L"\\Vantrel";
  if (CreateDirectoryW(folder.c_str(), nullptr)) {
    CopyExamples(program + L"examples\\", folder);
  } else if (GetLastError() != ERROR_ALREADY_EXISTS) {
    return;
  }
  SetCurrentDirectoryW(folder.c_str());
}

}  // namespace vantrel::win32
