#include "paradox/format/field.h"

namespace paradox {

bool IsKnownFieldType(uint8_t code) {
  switch (code) {
    case 0x01: case 0x02: case 0x03: case 0x04: case 0x05: case 0x06:
    case 0x09: case 0x0C: case 0x0D: case 0x0E: case 0x0F: case 0x10:
    case 0x14: case 0x15: case 0x16: case 0x17: case 0x18:
      return true;
    default:
      return false;
  }
}

bool IsBlobType(FieldType type) {
  switch (type) {
    case FieldType::kMemo: case FieldType::kBlob: case FieldType::kFmtMemo:
    case FieldType::kOle: case FieldType::kGraphic:
      return true;
    default:
      return false;
  }
}

uint16_t StoredFieldSize(FieldType type, uint8_t declared) {
  switch (type) {
    case FieldType::kAlpha:
    case FieldType::kBytes:
      return declared;  // 0 is impossible and stays 0
    case FieldType::kDate: case FieldType::kLong: case FieldType::kTime:
    case FieldType::kAutoInc:
      return declared == 4 ? 4 : 0;
    case FieldType::kShort:
      return declared == 2 ? 2 : 0;
    case FieldType::kMoney: case FieldType::kNumber: case FieldType::kTimestamp:
      return declared == 8 ? 8 : 0;
    case FieldType::kLogical:
      return declared == 1 ? 1 : 0;
    case FieldType::kBcd:
      return declared <= 32 ? 17 : 0;
    case FieldType::kMemo: case FieldType::kBlob: case FieldType::kFmtMemo:
    case FieldType::kOle: case FieldType::kGraphic:
      return declared >= 10 ? declared : 0;  // leader + 10-byte pointer
  }
  return 0;
}

char FieldLetter(FieldType type) {
  switch (type) {
    case FieldType::kAlpha: return 'A';
    case FieldType::kDate: return 'D';
    case FieldType::kShort: return 'S';
    case FieldType::kLong: return 'I';
    case FieldType::kMoney: return '$';
    case FieldType::kNumber: return 'N';
    case FieldType::kLogical: return 'L';
    case FieldType::kMemo: return 'M';
    case FieldType::kBlob: return 'B';
    case FieldType::kFmtMemo: return 'F';
    case FieldType::kOle: return 'O';
    case FieldType::kGraphic: return 'G';
    case FieldType::kTime: return 'T';
    case FieldType::kTimestamp: return '@';
    case FieldType::kAutoInc: return '+';
    case FieldType::kBcd: return '#';
    case FieldType::kBytes: return 'Y';
  }
  return '?';
}

const char* FieldTypeName(FieldType type) {
  switch (type) {
    case FieldType::kAlpha: return "Alpha";
    case FieldType::kDate: return "Date";
    case FieldType::kShort: return "Short";
    case FieldType::kLong: return "Long";
    case FieldType::kMoney: return "Money";
    case FieldType::kNumber: return "Number";
    case FieldType::kLogical: return "Logical";
    case FieldType::kMemo: return "Memo";
    case FieldType::kBlob: return "Blob";
    case FieldType::kFmtMemo: return "FmtMemo";
    case FieldType::kOle: return "OLE";
    case FieldType::kGraphic: return "Graphic";
    case FieldType::kTime: return "Time";
    case FieldType::kTimestamp: return "Timestamp";
    case FieldType::kAutoInc: return "AutoInc";
    case FieldType::kBcd: return "BCD";
    case FieldType::kBytes: return "Bytes";
  }
  return "?";
}

}  // namespace paradox
