// The file-system interface on POSIX systems; paths are UTF-8 on disk.
#pragma once

#include "core/data/files.h"

namespace vantrel {

class PosixFiles final : public FileSystem {
 public:
  FileRead Read(std::u16string_view path) const override;
  bool ReplaceAtomically(std::u16string_view path, std::string_view bytes) const override;
  bool FileExists(std::u16string_view path) const override;
  std::optional<std::uint64_t> ChangeStamp(std::u16string_view path) const override;
};

}  // namespace vantrel
