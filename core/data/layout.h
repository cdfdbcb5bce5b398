// Layout files (*.fkl): 128 key records of three lines (label, count, macro line),
// mouse state 1 keys 1-32 first, then mouse states 2, 3 and 4. No header: a
// record's place in the file says which key it belongs to.
#pragma once

#include <string>
#include <string_view>

#include "core/data/files.h"
#include "core/data/table.h"
#include "core/data/text.h"

namespace vantrel {

inline constexpr int kLayoutRecords = kMouseStates * kKeys;  // 128
inline constexpr int kLayoutLines = 3 * kLayoutRecords;      // 384

enum class LayoutError {
  kNone,
  kCannotOpen,       // the file could not be opened or read
  kTruncatedRecord,  // the file ends inside a record: a line was read past its end
  kCountOutOfRange,  // the count line's number does not fit a 16-bit signed integer
  kTooManySteps,     // the macro line holds more than kMaxSteps steps
};

struct [[nodiscard]] LayoutReadResult {
  bool ok = true;
  LayoutError reason = LayoutError::kNone;
  int line = 0;     // 1-based line at which reading was abandoned; 0 when ok
  int records = 0;  // records stored completely

  bool failed() const { return !ok; }
};

// The file's bytes: always all 128 records, 384 lines ending in CR LF. A key whose
// step 1 body is empty is written as three empty lines, dropping its label and count.
std::string WriteLayout(const AssignmentTable& table, const TextCodec& codec);

// Reads records into the table without clearing it first (the shell clears the
// table itself before loading a layout). Reading stops without failure
// when the file ends before a record, so a short file fills only its keys. A
// failure abandons the read at the failing line; whatever was stored before that
// line stays in the table (on a bad count, the label is stored but not the count;
// on too many steps, the first kMaxSteps steps are stored).
LayoutReadResult ReadLayoutRecords(std::string_view bytes, const TextCodec& codec,
                                   AssignmentTable& table);

// Clears the table (AssignmentTable::Clear) and reads the records into it.
LayoutReadResult ReadLayout(std::string_view bytes, const TextCodec& codec, AssignmentTable& table);

// The same from a file. A file that cannot be opened fails with kCannotOpen and
// leaves the table untouched (the file is opened before anything is cleared).
// LoadLayoutRecords does not clear; LoadLayoutFile clears first.
LayoutReadResult LoadLayoutRecords(const FileSystem& fs, std::u16string_view path,
                                   const TextCodec& codec, AssignmentTable& table);
LayoutReadResult LoadLayoutFile(const FileSystem& fs, std::u16string_view path,
                                const TextCodec& codec, AssignmentTable& table);

// Replaces the file as a whole with WriteLayout's bytes; false when it cannot be
// written, in which case the old file is left as it was.
[[nodiscard]] bool SaveLayoutFile(const FileSystem& fs, std::u16string_view path,
                                  const TextCodec& codec, const AssignmentTable& table);

// The display name of a layout path: scanning from the start, a "\" empties the
// name and a "." ends it (C:\fk\部品.fkl gives 部品; a dot in a folder ends it early).
std::u16string LayoutDisplayName(std::u16string_view path);

}  // namespace vantrel
