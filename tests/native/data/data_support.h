// An in-memory file system for the data tests: files are a map from path to bytes.
#pragma once

#include <map>
#include <optional>
#include <string>

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

}  // namespace vantrel::testing
