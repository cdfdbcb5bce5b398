// Whole-file access for the data formats. Layouts and settings are small, so they
// are read and written in one piece; writes replace the target atomically.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vantrel {

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // The file's bytes, or nothing when it cannot be opened or read.
  virtual std::optional<std::string> ReadAll(std::u16string_view path) const = 0;
  // Writes a temporary file in the target's folder, flushes it and renames it over
  // the target, so a crash leaves the old file or the new one, never a torn one.
  [[nodiscard]] virtual bool ReplaceAtomically(std::u16string_view path,
                                               std::string_view bytes) const = 0;
  // True for an existing ordinary file (not a folder).
  virtual bool FileExists(std::u16string_view path) const = 0;
};

}  // namespace vantrel
