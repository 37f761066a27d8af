// Field types of a table and their sizes in a record.
#pragma once

#include <cstdint>
#include <string>

namespace paradox {

enum class FieldType : uint8_t {
  kAlpha = 0x01,
  kDate = 0x02,
  kShort = 0x03,
  kLong = 0x04,
  kMoney = 0x05,
  kNumber = 0x06,
  kLogical = 0x09,
  kMemo = 0x0C,
  kBlob = 0x0D,
  kFmtMemo = 0x0E,
  kOle = 0x0F,
  kGraphic = 0x10,
  kTime = 0x14,
  kTimestamp = 0x15,
  kAutoInc = 0x16,
  kBcd = 0x17,
  kBytes = 0x18,
};

struct Field {
  std::string name;      // as stored in the header, in the table's code page
  FieldType type;
  uint8_t declared = 0;  // size byte of the descriptor (BCD: digits after the point)
  uint16_t size = 0;     // bytes in the record
  uint16_t offset = 0;   // position in the record
};

// True for the type codes the engine knows.
bool IsKnownFieldType(uint8_t code);
// Bytes a field of this type takes in a record, given its descriptor's size
// byte; 0 when the size byte is impossible for the type.
uint16_t StoredFieldSize(FieldType type, uint8_t declared);
// One-letter name of the type (A D S I $ N L M B F O G T @ + # Y).
char FieldLetter(FieldType type);
// Long name of the type ("Alpha", "Date", ...).
const char* FieldTypeName(FieldType type);
bool IsBlobType(FieldType type);

}  // namespace paradox
