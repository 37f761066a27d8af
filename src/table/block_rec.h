// TBlockRec: the in-memory copy of one advertising-block row.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

namespace dataset {

class TDataSet;

// Length-prefixed 8-bit text with room for 64 characters.
struct TShortName {
  uint8_t Length = 0;
  char Chars[64] = {};

  std::string_view View() const { return std::string_view(Chars, Length); }
  // Keeps the first 64 bytes of `s`.
  void Assign(std::string_view s) {
    Length = static_cast<uint8_t>(s.size() < 64 ? s.size() : 64);
    std::memcpy(Chars, s.data(), Length);
  }
};

struct TBlockRec {
  TShortName Name;     // FName, Windows-1251, at most 64 characters
  double Date = 0;     // FDate as a day number from 30 December 1899
  double Time = 0;     // FTime as a fraction of a day
  int16_t Number = 0;  // low 16 bits of FNumber, read as signed
  int32_t Order = 0;   // FOrder
  int32_t YearOrder = 0;  // FYearOrder
};

// Reads the row at which `ds` stands into `rec`, field by field in the
// fixed order FName, FDate, FTime, FNumber, FOrder, FYearOrder, each looked
// up by name. Raises what the look-up or the reading raises.
void ReadBlockRec(TDataSet& ds, TBlockRec* rec);

}  // namespace dataset
