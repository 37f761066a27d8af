#include "paradox/delete_statement.h"

#include <cstring>

#include "paradox/codepage.h"
#include "paradox/sql/literal.h"
#include "paradox/stop.h"
#include "paradox/table.h"
#include "paradox/store/table_editor.h"
#include "paradox/value.h"

namespace paradox {

namespace {

// Blocks looked at together: bounds the memory a change needs.
constexpr size_t kChangeBytes = 8u << 20;

bool SameIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
    if (x != y) return false;
  }
  return true;
}

bool Holds(CompareOp op, int c) {
  switch (op) {
    case CompareOp::kLess: return c < 0;
    case CompareOp::kLessEqual: return c <= 0;
    case CompareOp::kEqual: return c == 0;
    case CompareOp::kNotEqual: return c != 0;
    case CompareOp::kGreaterEqual: return c >= 0;
    case CompareOp::kGreater: return c > 0;
  }
  return false;
}

// The rows a statement's condition takes, judged by a table's header.
class RowCondition {
 public:
  Status Setup(const TableHeader& h, const Statement& st, const DateFormat& format) {
    h_ = &h;
    op_ = st.where.op;
    if (!st.has_where) return Status::OK();
    for (size_t i = 0; i < h.fields.size(); ++i)
      if (SameIgnoringCase(h.fields[i].name, st.where.field)) field_ = static_cast<int>(i);
    if (field_ < 0) return Status::Error(ErrorCode::kFieldNotFound, st.where.field).With(st.table);
    PX_RETURN_IF_ERROR(ParseLiteral(h.fields[size_t(field_)], st.where.literal, format, &lit_));
    int cp = h.version < 5 ? kLegacyCodePage : h.code_page;
    if (lit_.kind == Literal::Kind::kText && !IsKnownCodePage(cp))
      return Status::Error(ErrorCode::kUnknownCodePage, std::to_string(cp)).With(st.table);
    to1251_ = DosTo1251Map(cp);
    return Status::OK();
  }

  bool Matches(const uint8_t* rec) const {
    if (field_ < 0) return true;
    const Field& f = h_->fields[size_t(field_)];
    if (IsNull(f, rec)) return false;  // an empty value is unknown, not 0
    int c = 0;
    switch (lit_.kind) {
      case Literal::Kind::kText: {
        std::string_view v = GetAlpha(f, rec);
        size_t n = std::min(v.size(), lit_.text.size());
        for (size_t i = 0; i < n && c == 0; ++i) {
          uint8_t a = static_cast<uint8_t>(v[i]);
          if (to1251_ != nullptr) a = to1251_[a];
          c = int(a) - int(static_cast<uint8_t>(lit_.text[i]));
        }
        if (c == 0) c = v.size() < lit_.text.size() ? -1 : v.size() > lit_.text.size() ? 1 : 0;
        break;
      }
      case Literal::Kind::kLogical:
        c = int(GetInt(f, rec) != 0) - int(lit_.logical);
        break;
      case Literal::Kind::kNumber: {
        double v = (f.type == FieldType::kNumber || f.type == FieldType::kMoney || f.type == FieldType::kTimestamp)
                       ? GetDouble(f, rec)
                       : GetInt(f, rec);
        c = v < lit_.number ? -1 : v > lit_.number ? 1 : 0;
        break;
      }
    }
    return Holds(op_, c);
  }

 private:
  const TableHeader* h_ = nullptr;
  CompareOp op_ = CompareOp::kEqual;
  int field_ = -1;
  Literal lit_;
  const uint8_t* to1251_ = nullptr;
};

// Whether any row of the table matches: read only, up to the first match.
Status AnyMatch(FileSystem* fs, const Statement& st, const DateFormat& format, bool* any) {
  *any = false;
  std::unique_ptr<Table> t;
  PX_RETURN_IF_ERROR(Table::Open(fs, st.table, OpenOptions(), &t));
  RowCondition cond;
  PX_RETURN_IF_ERROR(cond.Setup(t->header(), st, format));
  auto c = t->NewCursor();
  while (c->Valid() && !*any) {
    *any = cond.Matches(c->record());
    c->Next();
  }
  return *any ? Status::OK() : c->status();
}

}  // namespace

Status ExecuteDelete(FileSystem* fs, const Statement& st, const DateFormat& format, uint32_t* deleted,
                     size_t group_bytes) {
  *deleted = 0;
  if (st.kind != Statement::Kind::kDelete) return Status::Error(ErrorCode::kNotSupported, "not a DELETE statement");
  if (StopRequested()) return Status::Error(ErrorCode::kStopped).With(st.table);
  // The table is taken for changing only once a row is to go: one with
  // nothing to delete is only read, so a read-only table, or one another
  // program holds, gives no error then, and no byte is written.
  bool any = false;
  PX_RETURN_IF_ERROR(AnyMatch(fs, st, format, &any));
  if (StopRequested()) return Status::Error(ErrorCode::kStopped).With(st.table);
  if (!any) return Status::OK();
  std::unique_ptr<TableEditor> ed;
  PX_RETURN_IF_ERROR(TableEditor::Open(fs, st.table, &ed));
  const TableHeader& h = ed->header();
  RowCondition cond;
  PX_RETURN_IF_ERROR(cond.Setup(h, st, format));
  auto matches = [&](const uint8_t* rec) { return cond.Matches(rec); };

  // Walk the chain, gathering the matching rows of a run of blocks, and
  // delete them; go on after the run in the changed chain. The deletions
  // are written as one change whenever the blocks they changed reach the
  // bound, and at the end, so each block is read once and written once.
  const size_t blocks_per_change = std::max<size_t>(1, std::min(kChangeBytes, group_bytes) / h.block_size);
  // Writes what was gathered, counting it.
  auto flush = [&]() -> Status {
    const uint32_t rows = ed->group_rows();
    PX_RETURN_IF_ERROR(ed->Flush());
    *deleted += rows;
    return Status::OK();
  };
  // An error comes after what was gathered before it is written.
  auto fail = [&](Status st) {
    (void)flush();
    return st;
  };
  uint16_t b = h.first_block;
  while (b != 0) {
    // A stop asked for ends the statement here, after what was gathered is
    // written: between changes the files agree.
    if (StopRequested()) {
      PX_RETURN_IF_ERROR(flush());
      return Status::Error(ErrorCode::kStopped).With(st.table);
    }
    std::vector<RowPos> victims;
    uint16_t resume = b;
    for (size_t n = 0; resume != 0 && n < blocks_per_change; ++n, resume = ed->next_block(resume)) {
      uint16_t count = ed->block_records(resume);
      if (count == 0) continue;
      const uint8_t* block = nullptr;
      Status st = ed->Block(resume, &block);
      if (!st.ok()) return fail(st);
      for (uint32_t s = 0; s < count; ++s)
        if (matches(block + kBlockHeaderSize + size_t(s) * h.record_size)) victims.push_back(RowPos{resume, s});
    }
    if (!victims.empty()) {
      AfterDelete after;
      Status st = ed->Delete(victims, &after);
      if (!st.ok()) return fail(st);
      if (ed->group_bytes() >= group_bytes) PX_RETURN_IF_ERROR(flush());
      // Rows moved into the emptied head block were not looked at yet, or
      // were looked at and kept: looking again finds nothing new either way.
      if (after.moved_into_head != 0 && resume == after.moved_into_head) resume = ed->header().first_block;
    }
    b = resume;
  }
  return flush();
}

}  // namespace paradox
