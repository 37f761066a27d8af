// The analysis pass.
#include "cleaning/cleaner.h"
#include "cleaning/date_text.h"
#include "cleaning/pass_guard.h"
#include "cleaning/texts.h"
#include "table/block_rec.h"
#include "table/errors.h"

namespace cleaning {

TCleaner::TCleaner(TPassState& state, dataset::TQuery& query, dataset::TTable& table, ProgressReport& progress,
                   const paradox::DateFormat& short_date)
    : state_(state), query_(query), table_(table), progress_(progress), purge_date_(PurgeDateLiteral(short_date)) {
  int32_t day = 0;
  purge_date_read_ = paradox::ReadDate(purge_date_, short_date, &day);
}

namespace {

// A text between double quotes in a statement; a quote inside is doubled.
// (Windows paths hold none; other systems allow them in names.)
std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    out.push_back(c);
    if (c == '"') out.push_back('"');
  }
  return out + "\"";
}

}  // namespace

void TCleaner::StartAnalysis() {
  state_.FDupList.Clear();
  state_.FCurRec = nullptr;
  state_.FLastRec = TBlockRec();
  progress_.ShowProgress(texts::ReadingTable(), 0);
  progress_.ProgressDue();  // the throttle's clock starts now
  query_.Close();
}

bool TCleaner::CreateList() {
  PassGuard guard(running_);
  StartAnalysis();
  try {
    query_.SQL.Clear();
    query_.SQL.Add("DELETE FROM " + Quoted(state_.FTablePath));
    query_.SQL.Add("WHERE FDate<" + Quoted(purge_date_));
    query_.ExecSQL();
    return ReadList(false, nullptr);
  } catch (const dataset::EStopped&) {
    EndStopped();
    throw;
  }
}

bool TCleaner::PreviewList(int* would_purge) {
  PassGuard guard(running_);
  StartAnalysis();
  *would_purge = 0;
  dataset::Check(purge_date_read_);
  try {
    return ReadList(true, would_purge);
  } catch (const dataset::EStopped&) {
    EndStopped();
    throw;
  }
}

void TCleaner::EndStopped() {
  // The purge wrote what it deleted; the read changes nothing. The list
  // is only part of the analysis, so it goes.
  query_.Close();
  query_.SQL.Clear();
  state_.FDupList.Clear();
  state_.FCurRec = nullptr;
  progress_.CloseProgress();
}

bool TCleaner::ReadList(bool skip_purged, int* skipped) {
  query_.SQL.Clear();
  query_.SQL.Add("SELECT * FROM " + Quoted(state_.FTablePath));
  query_.SQL.Add("ORDER BY FDate,FTime,FName");
  query_.Open();
  has_last_ = false;
  int counter = 0;
  while (!query_.Eof()) {
    bool purged = false;
    if (skip_purged) {
      // As the purge sees it: an empty date is unknown, not a day before 2011.
      const dataset::TField* date = query_.FieldByName("FDate");
      purged = !date->IsNull() && date->AsDateTime() < kPurgeBefore;
    }
    if (purged) {
      ++*skipped;
    } else if (HaveDouble()) {
      state_.FCurRec = state_.FDupList.Add(state_.FLastRec);
    }
    query_.Next();
    ++counter;
    if (progress_.ProgressDue()) progress_.ShowProgress(std::string(), static_cast<double>(counter) / query_.RecordCount() * 100);
  }
  query_.Close();
  query_.SQL.Clear();
  const bool found = !state_.FDupList.Empty();
  progress_.CloseProgress();
  return found;
}

bool TCleaner::HaveDouble() {
  TBlockRec rec;
  dataset::ReadBlockRec(query_, &rec);
  // The first row of the read has no row before it: the zeroed FLastRec is
  // no row, and an empty first row repeats nothing.
  const bool same = has_last_ && SameBlock(rec, state_.FLastRec);
  state_.FLastRec = rec;
  has_last_ = true;
  return same;
}

void TCleaner::SortList() { cleaning::SortList(state_.FDupList, progress_); }

int TCleaner::FindIndex(const TBlockRec& rec) const { return cleaning::FindIndex(state_.FDupList, rec); }

}  // namespace cleaning
