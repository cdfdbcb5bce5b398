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

// A name for the temporary file that no running writer (thread or process) picks.
std::wstring TempNameFor(const std::wstring& target) {
  static std::atomic<unsigned> counter{0};
  return target + L"." + std::to_wstring(GetCurrentProcessId()) + L"." +
         std::to_wstring(counter.fetch_add(1)) + L".tmp";
}

// A backup or sync tool holds a file for a moment. Reads run on the window's thread
// (at start-up and when a layout is chosen), so all the tries take under half a second.
constexpr int kReadTries = 10;
constexpr DWORD kReadRetryMs = 50;

// One try at reading the file whole; `error` is the system's reason when it failed.
FileRead ReadOnce(const std::wstring& path, DWORD& error) {
  // Anonymous to a pipe named as the file, whose server could otherwise act as us.
  UniqueHandle file(CreateFileW(
      path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | SECURITY_SQOS_PRESENT | SECURITY_ANONYMOUS, nullptr));
  if (!file) {
    error = GetLastError();
    // Only these say there is no such file. A drive or server out of reach now, a
    // denied file or a placeholder that cannot be downloaded may well hold one.
    const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
                         error == ERROR_INVALID_NAME;
    return {missing ? ReadStatus::kMissing : ReadStatus::kUnreadable};
  }
  // Only an ordinary disk file (a cloud placeholder is one: reading downloads it).
  // Reading a pipe waits for its writer, a device may never end.
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileType(file.Get()) != FILE_TYPE_DISK || !GetFileInformationByHandle(file.Get(), &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || info.nFileSizeHigh != 0 ||
      info.nFileSizeLow > kMaxFileBytes) {
    return {ReadStatus::kUnreadable};
  }
  FileRead out{ReadStatus::kOk, {}};
  char buf[16384];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file.Get(), buf, sizeof buf, &got, nullptr)) {
      error = GetLastError();  // ERROR_LOCK_VIOLATION: a range of it is locked
      return {ReadStatus::kUnreadable};
    }
    if (got == 0) return out;
    out.bytes.append(buf, got);
    if (out.bytes.size() > kMaxFileBytes) return {ReadStatus::kUnreadable};  // grew meanwhile
  }
}

// Puts the flushed temporary file in the target's place. ReplaceFileW merges the
// target's ACL and attributes into it as far as the system can (the content counts
// more than they do). With no target, or none any more, the file is moved in. When
// ReplaceFileW has removed the target but could not move the new file in, the move
// is tried again; `only_copy` says it failed too and the temporary file must stay.
bool PutInPlace(const PlaceFileApi& api, const std::wstring& temp, const std::wstring& target,
                bool exists, bool& only_copy) {
  DWORD error = ERROR_FILE_NOT_FOUND;
  if (exists) {
    if (api.replace(target.c_str(), temp.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                    nullptr))
      return true;
    error = GetLastError();
  }
  only_copy = error == ERROR_UNABLE_TO_MOVE_REPLACEMENT;
  return (only_copy || error == ERROR_FILE_NOT_FOUND) &&
         api.move(temp.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
}

// The pattern "*.fkl" matches short (8.3) names too: "plate.fklold" is found as
// PLATE~1.FKL. The long name must end in ".fkl" itself, in any case.
bool IsLayoutName(std::wstring_view name) {
  constexpr std::wstring_view kExtension = L".fkl";
  const int n = static_cast<int>(kExtension.size());
  return name.size() >= kExtension.size() &&
         CompareStringOrdinal(name.data() + name.size() - n, n, kExtension.data(), n, TRUE) ==
             CSTR_EQUAL;
}

}  // namespace

FileRead Win32Files::Read(std::u16string_view path) const {
  const std::wstring wide = ToWide(path);
  for (int tries = 1;; ++tries) {
    DWORD error = ERROR_SUCCESS;
    FileRead read = ReadOnce(wide, error);
    const bool held = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
    if (!held || tries == kReadTries) return read;
    Sleep(kReadRetryMs);
  }
}

bool Win32Files::ReplaceAtomically(std::u16string_view path, std::string_view bytes) const {
  const std::wstring target = ToWide(path);
  const DWORD attributes = GetFileAttributesW(target.c_str());
  const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
  // A read-only file is not to be changed (ReplaceFileW might); a folder is no layout.
  if (exists && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) return false;
  const std::wstring temp = TempNameFor(target);
  bool ok = false;
  {
    // No running writer has this name, so a file of that name is the leftover of a
    // crashed run that had our process id: it is overwritten, not in the way.
    UniqueHandle file(CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    ok = WriteAll(file.Get(), bytes) && FlushFileBuffers(file.Get());
  }  // closed before it is put in place
  bool only_copy = false;
  ok = ok && PutInPlace(api_, temp, target, exists, only_copy);
  if (!ok && !only_copy) DeleteFileW(temp.c_str());
  return ok;
}

bool Win32Files::FileExists(std::u16string_view path) const {
  const DWORD attributes = GetFileAttributesW(ToWide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::optional<std::uint64_t> Win32Files::ChangeStamp(std::u16string_view path) const {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(ToWide(path).c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return std::nullopt;
  }
  const std::uint64_t written =
      (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
      data.ftLastWriteTime.dwLowDateTime;
  // A write within the clock's resolution that changes the size is still seen.
  return written ^ (static_cast<std::uint64_t>(data.nFileSizeLow) << 40);
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
    if (!(found.dwFileAttributes & kSkip) && IsLayoutName(found.cFileName))
      names.push_back(FromWide(found.cFileName));
  } while (FindNextFileW(search.Get(), &found));
  return names;
}

std::wstring ProgramFolder() {
  // The program may live in a folder whose path is longer than MAX_PATH.
  std::wstring exe(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, exe.data(), static_cast<DWORD>(exe.size()));
    if (n == 0) return {};
    if (n < exe.size()) {
      exe.resize(n);
      break;
    }
    if (exe.size() >= 32768) return {};
    exe.resize(exe.size() * 2);
  }
  const std::size_t slash = exe.find_last_of(L'\\');
  return slash == std::wstring::npos ? std::wstring{} : exe.substr(0, slash + 1);
}

std::wstring PathBesideProgram(std::wstring_view name) {
  std::wstring folder = ProgramFolder();
  return folder.empty() ? folder : folder.append(name);
}

}  // namespace vantrel::win32
