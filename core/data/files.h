// Whole-file access for the data formats. Layouts and settings are small, so they
// are read and written in one piece; writes replace the target atomically.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace vantrel {

// No layout or settings file comes near this; anything larger is not one of ours,
// and reading it whole at every start must not stall or exhaust the program.
inline constexpr std::size_t kMaxFileBytes = 1u << 20;

// Why a read gave no bytes matters: a missing file may be created, but one that
// exists and cannot be read now (held by another program, a placeholder not yet
// downloaded, denied) must never be replaced by what the program would write.
enum class ReadStatus {
  kOk,
  kMissing,     // no such file (or folder on the way to it)
  kUnreadable,  // it exists but could not be read whole: held, denied, too large, not a disk file
};

struct FileRead {
  FileRead() = default;
  FileRead(ReadStatus s, std::string b = {}) : status(s), bytes(std::move(b)) {}

  ReadStatus status = ReadStatus::kMissing;
  std::string bytes;  // the whole file when kOk

  bool ok() const { return status == ReadStatus::kOk; }
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // The file's bytes: an ordinary disk file of at most kMaxFileBytes.
  virtual FileRead Read(std::u16string_view path) const = 0;
  // The bytes, or nothing whatever the reason.
  std::optional<std::string> ReadAll(std::u16string_view path) const {
    FileRead r = Read(path);
    if (!r.ok()) return std::nullopt;
    return std::move(r.bytes);
  }
  // Writes a temporary file in the target's folder, flushes it and renames it over
  // the target, so a crash leaves the old file or the new one, never a torn one.
  [[nodiscard]] virtual bool ReplaceAtomically(std::u16string_view path,
                                               std::string_view bytes) const = 0;
  // True for an existing ordinary file (not a folder).
  virtual bool FileExists(std::u16string_view path) const = 0;
  // Changes whenever the file is written (its time of last writing and its size);
  // nothing when the file is missing or the stamp cannot be had.
  virtual std::optional<std::uint64_t> ChangeStamp(std::u16string_view path) const = 0;
};

}  // namespace vantrel
