// Helpers of the data tests: an in-memory file system and a CR LF line splitter.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/data/files.h"

namespace vantrel::testing {

class MemoryFiles final : public FileSystem {
 public:
  std::optional<std::string> ReadAll(std::u16string_view path) const override {
    auto it = files.find(std::u16string(path));
    if (it == files.end()) return std::nullopt;
    return it->second;
  }
  bool ReplaceAtomically(std::u16string_view path, std::string_view bytes) const override {
    if (read_only) return false;
    files[std::u16string(path)] = std::string(bytes);
    return true;
  }
  bool FileExists(std::u16string_view path) const override {
    return files.count(std::u16string(path)) != 0;
  }

  mutable std::map<std::u16string, std::string> files;
  bool read_only = false;
};

// The lines of a file written with CR LF, without their line ends.
inline std::vector<std::string> CrLfLines(const std::string& bytes) {
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos < bytes.size()) {
    size_t end = bytes.find("\r\n", pos);
    if (end == std::string::npos) end = bytes.size();
    lines.push_back(bytes.substr(pos, end - pos));
    pos = end + 2;
  }
  return lines;
}

}  // namespace vantrel::testing
