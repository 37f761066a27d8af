// Data sets over the engine: the common part of TQuery and TTable, and the
// fields through which a row is read.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace paradox {
class Table;
struct Field;
}

namespace dataset {

class TDataSet;

// One field of a data set's current row. Reading a field when the set is at
// its end gives the empty value.
class TField {
 public:
  TField(const TDataSet* owner, const paradox::Table* table, int index);
  ~TField();

  const std::string& FieldName() const { return name_; }
  bool IsNull() const;
  // Text in Windows-1251 (Alpha and Memo; other types as plain text).
  std::string AsString() const;
  // The same text into `out`, reusing its storage (for per-row reads).
  void GetText(std::string* out) const;
  // Day count from 30 December 1899: dates whole, times a fraction of a day.
  double AsDateTime() const;
  // Integers sign-extended to 32 bits; Number and Money rounded.
  int32_t AsInteger() const;
  double AsFloat() const;

  // The same readings of `record`, the bytes of the row the set stands on
  // as CurrentRecord gives them (null: at the end), for readers of many
  // rows that ask the set for the row once.
  double AsDateTimeAt(const uint8_t* record) const;
  int32_t AsIntegerAt(const uint8_t* record) const;
  // The field's type and place in a record, and the table whose bytes it
  // reads; they stay while the set is open.
  const paradox::Field& meta() const { return *meta_; }
  const paradox::Table& table() const { return *table_; }

 private:
  const uint8_t* Record() const;
  std::string FormatOther(const paradox::Field& f, const uint8_t* record) const;
  [[noreturn]] void CannotRead(const char* as) const;

  const TDataSet* owner_;
  const paradox::Table* table_;
  int index_;
  std::string name_;
  std::unique_ptr<paradox::Field> meta_;
};

class TDataSet {
 public:
  explicit TDataSet(std::string name) : name_(std::move(name)) {}
  TDataSet(const TDataSet&) = delete;
  TDataSet& operator=(const TDataSet&) = delete;
  virtual ~TDataSet() = default;

  const std::string& Name() const { return name_; }
  bool Active() const { return active_; }

  // Opens the set on its first row, or at its end when it has none. Opening
  // an open set does nothing: it stays on its current row. Engine failures
  // raise EDBEngineError.
  void Open();
  // Releases the set; closing a closed set does nothing.
  void Close();
  // True once a move past the last row has been made, or when empty.
  bool Eof() const;
  void Next();
  // Rows in the open set as the engine counts them; -1 when it cannot.
  int RecordCount() const;
  // The field named `name`, letter case ignored; raises EDatabaseError
  // "<Name>: Field '<name>' not found" when there is none.
  TField* FieldByName(std::string_view name);
  int FieldCount() const { return static_cast<int>(fields_.size()); }
  // Names the fields as the set holds them now: another number whenever
  // the set binds its fields anew (opens), 0 when closed. Callers that
  // look the same fields up row after row may keep what they found while
  // this stays the same.
  uint64_t Binding() const { return binding_; }

  // The current row's bytes; null at the end or when closed.
  virtual const uint8_t* CurrentRecord() const = 0;
  // Called before the set or one of its fields raises an error: a set that
  // holds changes not yet written writes them (and raises that failure
  // instead, should the writing fail).
  virtual void BeforeRaise() const {}

 protected:
  // Subclasses open their source and bind the fields; they may raise.
  virtual void InternalOpen() = 0;
  virtual void InternalClose() = 0;
  virtual void InternalNext() = 0;
  virtual bool InternalEof() const = 0;
  virtual int InternalRecordCount() const = 0;

  void BindFields(const paradox::Table* table, const std::vector<int>& columns);
  [[noreturn]] void RaiseError(const std::string& text) const;
  void CheckActive() const;

 private:
  std::string name_;
  bool active_ = false;
  std::vector<std::unique_ptr<TField>> fields_;
  uint64_t binding_ = 0;
  // Names already looked up, as given, so the passes' per-row look-ups of
  // the same few names cost next to nothing: a caller that names the same
  // fields in the same order each row finds each one at the first try,
  // just after the one before.
  std::vector<std::pair<std::string, TField*>> lookups_;
  size_t next_lookup_ = 0;
};

}  // namespace dataset
