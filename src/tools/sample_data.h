// Sample AdvBlock tables: rows like those of a broadcast scheduling product's
// advertising-block table, with a controlled share of old rows, exact repeats
// and near repeats. The same options and seed give the same bytes on every
// platform: the generator uses its own PRNG and integer arithmetic only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "paradox/file.h"
#include "paradox/status.h"
#include "paradox/table_writer.h"

namespace tools {

struct SampleOptions {
  uint64_t rows = 10000;
  uint64_t seed = 1;
  bool keyed = false;        // keyed tables start with an AutoInc key ID
  bool long_number = false;  // FNumber as Long (with a few values above 32767)
  int code_page = 1251;      // 866 or 1251
  double old_percent = 20;     // rows dated before 1 January 2011
  double repeat_percent = 5;   // exact repeats of an earlier row
  double near_percent = 3;     // same date, time and name; other number or order
  int version = 7;             // 3, 4, 5 or 7
  uint32_t block_size = 0;     // bytes; 0 chooses (see ChooseSampleBlockSize)
};

struct SampleStats {
  uint64_t rows = 0;
  uint64_t repeats = 0;
  uint64_t near_repeats = 0;
  uint64_t old_rows = 0;     // dated before 2011-01-01
  uint64_t big_numbers = 0;  // FNumber above 32767
  uint32_t block_size = 0;
};

// One generated row, its text already in the table's code page.
struct SampleRow {
  int32_t id = 0;  // keyed tables only
  std::string name;
  int32_t date = 0;     // day number, day 1 = 0001-01-01
  int32_t time_ms = 0;  // since midnight
  int32_t number = 0;
  int32_t order = 0;
  int32_t year_order = 0;
  int32_t duration = 0;  // seconds
  int32_t channel = 0;
  std::string comment;
  int64_t repeat_of = -1;  // 0-based row this one repeats exactly, or -1
  int64_t near_of = -1;    // 0-based row this one nearly repeats, or -1
};

// FNumber's type: a Short in most tables, a Long in some; tests also make
// it text, or leave it out.
enum class NumberField { kShort, kLong, kAlpha, kNone };

// The fields every AdvBlock table has, in their order: [ID +] FName A80,
// FDate D, FTime T, FNumber (as `number` says), FOrder I, FYearOrder S.
std::vector<paradox::FieldDef> AdvBlockFields(bool keyed, NumberField number);

// Header version byte for a product version 3, 4, 5 or 7; 0 for others.
uint8_t SampleVersionByte(int version);

// The sample's fields: the AdvBlock fields (FNumber S or I), then
// FDuration I, FChannel S, FComment A40.
std::vector<paradox::FieldDef> SampleFields(const SampleOptions& options);

// Smallest of 2, 4, 16 and 32 KB that keeps `rows` records of
// `record_size` bytes within 32767 blocks (block numbers above that are
// rare in real tables); 0 when none does.
uint32_t ChooseSampleBlockSize(uint64_t rows, uint32_t record_size);

// Checks the options; kNotSupported with a readable reason when they are
// unusable (percent out of range, unknown version or code page, rows that
// do not fit the block size).
paradox::Status CheckSampleOptions(const SampleOptions& options);

// Produces the rows one by one.
class SampleGenerator {
 public:
  explicit SampleGenerator(const SampleOptions& options);
  ~SampleGenerator();
  SampleGenerator(const SampleGenerator&) = delete;
  SampleGenerator& operator=(const SampleGenerator&) = delete;

  // The next row; valid until the next call.
  const SampleRow& Next();
  const SampleStats& stats() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Writes the sample table to `db_path` (and its .PX when keyed); refuses to
// overwrite. `stats` may be null.
paradox::Status WriteSampleTable(paradox::FileSystem* fs, const std::string& db_path,
                                 const SampleOptions& options, SampleStats* stats);

}  // namespace tools
