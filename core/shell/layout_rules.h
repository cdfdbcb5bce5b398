// The layouts that follow the window in front: the layouts rules bring, read once
// and kept while in use, and the rules list as the rules dialog edits it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/data/files.h"
#include "core/data/rules.h"
#include "core/data/table.h"
#include "core/data/text.h"

namespace vantrel::shell {

// A few layouts are in use at a time (the programs a user works in by turns). Each
// is read once and read again only when its file has changed on disk.
class LayoutCache {
 public:
  static constexpr std::size_t kMaxLayouts = 4;  // a table is about 650 KB

  LayoutCache(const FileSystem& files, const TextCodec& codec) : files_(files), codec_(codec) {}

  // The layout's table, or nothing when the file cannot be read (`status` says why;
  // a failure is remembered until the file changes).
  const AssignmentTable* Get(std::u16string_view path, ReadStatus& status);
  // True when the file is the one last read for `path` (its stamp has not moved).
  bool Unchanged(std::u16string_view path) const;
  // The next Get tries again the files that could not be read, changed or not.
  void ForgetFailures();

 private:
  struct Entry {
    std::u16string path;
    std::optional<std::uint64_t> stamp;
    ReadStatus status = ReadStatus::kMissing;  // of the last read
    std::unique_ptr<AssignmentTable> table;    // when it gave a layout
    std::uint64_t used = 0;
  };

  const FileSystem& files_;
  const TextCodec& codec_;
  std::vector<Entry> entries_;
  std::uint64_t clock_ = 0;
};

// The rules dialog's list: one row per rule, in order; deleting and moving rules and
// setting them all aside. Lines of the file that are no rule stay where they are.
class RulesEditor {
 public:
  explicit RulesEditor(RulesFile file) : file_(std::move(file)) {}

  // "ACAD.EXE → acad", "タイトル「Drawing」→ view".
  std::vector<std::u16string> Rows() const;
  // Each false when the row has no such neighbour or does not exist.
  bool Delete(std::size_t row);
  bool MoveUp(std::size_t row);
  bool MoveDown(std::size_t row);
  void SetEnabled(bool on) { file_.enabled = on; }
  bool Enabled() const { return file_.enabled; }

  const RulesFile& File() const { return file_; }

 private:
  RulesFile file_;
};

// The row text of one rule.
std::u16string RuleRow(const LayoutRule& rule);

}  // namespace vantrel::shell
