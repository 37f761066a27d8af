// pxtool exec: one statement through the data sets the utility uses.
#include <cstdio>
#include <string>

#include "paradox/codepage.h"
#include "paradox/file.h"
#include "paradox/sql.h"
#include "paradox/table.h"
#include "table/errors.h"
#include "table/tquery.h"
#include "tools/pxtool.h"
#include "tools/stop_signals.h"

namespace tools {

namespace {

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

}  // namespace

int RunExec(const std::string& table, const std::string& text) {
  paradox::Statement st;
  paradox::Status ps = paradox::ParseStatement(text, &st);
  if (!ps.ok()) return ReportError(ps);
  // The statement may name the table by the path given or by its file name.
  std::string dir, name, sdir, sname;
  paradox::SplitPath(table, &dir, &name);
  paradox::SplitPath(st.table, &sdir, &sname);
  if (st.table != table && !(sdir == "." && SameName(sname, name))) {
    std::fprintf(stderr, "pxtool: the statement names %s, not %s\n", st.table.c_str(), table.c_str());
    return 2;
  }
  st.table = table;

  dataset::TQuery q;
  q.SQL.Add(paradox::FormatStatement(st));
  try {
    if (st.kind == paradox::Statement::Kind::kDelete) {
      // A stop ends the deletion at a safe point rather than part way.
      StopOnSignals stops;
      try {
        q.ExecSQL();
      } catch (const dataset::EStopped&) {
        const std::string cause = StopOnSignals::Cause();
        std::fprintf(stderr, "pxtool: stopped by %s after deleting %d rows; the table is consistent\n",
                     cause.empty() ? "request" : cause.c_str(), q.RowsAffected());
        return 3;
      }
      std::printf("%d\n", q.RowsAffected());
      return 0;
    }
    q.Open();
    std::string out;
    std::vector<int> cols = q.Columns();
    AppendFieldsJson(*q.SourceTable(), cols, &out);
    bool first = true;
    for (; !q.Eof(); q.Next()) {
      out += first ? "\n[" : ",\n[";
      first = false;
      for (size_t i = 0; i < cols.size(); ++i) {
        if (i) out += ',';
        paradox::Status vs = AppendValue(*q.SourceTable(), cols[i], q.CurrentRecord(), &out);
        if (!vs.ok()) return ReportError(vs);
      }
      out += ']';
    }
    out += "]}\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
  } catch (const dataset::EDBEngineError& e) {
    std::fprintf(stderr, "pxtool: error $%04X: %s\n", e.ErrorCode(), e.what());
  } catch (const dataset::EDatabaseError& e) {
    std::fprintf(stderr, "pxtool: %s\n", e.what());
  }
  return 1;
}

}  // namespace tools
