#include "core/shell/layout_rules.h"

#include <algorithm>
#include <utility>

#include "core/data/layout.h"

namespace vantrel::shell {

const AssignmentTable* LayoutCache::Get(std::u16string_view path, ReadStatus& status) {
  const std::optional<std::uint64_t> stamp = files_.ChangeStamp(path);
  auto found = std::find_if(entries_.begin(), entries_.end(),
                            [&](const Entry& e) { return e.path == path; });
  // Unchanged since the last read, whatever it gave: a file that was missing or held is
  // not tried again at every window until it changes (a held file is waited on for a
  // moment at each try). A file whose stamp cannot be had is read every time.
  if (found != entries_.end() && found->stamp == stamp && (stamp || !found->table)) {
    found->used = ++clock_;
    status = found->status;
    return found->table.get();
  }
  const FileRead file = files_.Read(path);
  status = file.status;
  if (found == entries_.end()) {
    if (entries_.size() == kMaxLayouts) {
      entries_.erase(std::min_element(entries_.begin(), entries_.end(),
                                      [](const Entry& a, const Entry& b) { return a.used < b.used; }));
    }
    entries_.push_back({std::u16string(path), {}, ReadStatus::kMissing, nullptr, 0});
    found = entries_.end() - 1;
  }
  found->stamp = stamp;
  found->status = file.status;
  found->used = ++clock_;
  if (!file.ok()) {
    found->table.reset();
    return nullptr;
  }
  if (found->table) {
    found->table->Clear();
  } else {
    found->table = std::make_unique<AssignmentTable>();
  }
  static_cast<void>(ReadLayoutRecords(file.bytes, codec_, *found->table));
  return found->table.get();
}

bool LayoutCache::Unchanged(std::u16string_view path) const {
  const auto found = std::find_if(entries_.begin(), entries_.end(),
                                  [&](const Entry& e) { return e.path == path; });
  return found != entries_.end() && found->table && found->stamp &&
         found->stamp == files_.ChangeStamp(path);
}

void LayoutCache::ForgetFailures() {
  std::erase_if(entries_, [](const Entry& e) { return !e.table; });
}

std::u16string RuleRow(const LayoutRule& rule) {
  const std::u16string layout = LayoutDisplayName(rule.layout_path);
  if (rule.match == LayoutRule::Match::kProgram) return rule.pattern + u" → " + layout;
  return u"タイトル「" + rule.pattern + u"」→ " + layout;
}

std::vector<std::u16string> RulesEditor::Rows() const {
  std::vector<std::u16string> rows;
  for (const RulesFile::Line& line : file_.lines) {
    if (line.rule) rows.push_back(RuleRow(*line.rule));
  }
  return rows;
}

bool RulesEditor::Delete(std::size_t row) {
  const std::optional<std::size_t> at = file_.LineOfRule(row);
  if (!at) return false;
  file_.lines.erase(file_.lines.begin() + static_cast<std::ptrdiff_t>(*at));
  return true;
}

bool RulesEditor::MoveUp(std::size_t row) {
  return row > 0 && MoveDown(row - 1);
}

bool RulesEditor::MoveDown(std::size_t row) {
  const std::optional<std::size_t> from = file_.LineOfRule(row);
  const std::optional<std::size_t> to = file_.LineOfRule(row + 1);
  if (!from || !to) return false;
  // The rules trade places; the lines between them stay.
  std::swap(file_.lines[*from], file_.lines[*to]);
  return true;
}

}  // namespace vantrel::shell
