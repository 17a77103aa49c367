// The dBase file's byte layout, for the tables this program writes (dBase
// III) and those other programs write (III, IV, V, FoxPro and level 7): the
// header, the field descriptors and one record's fields. The cursor over the
// rows is table.h's.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace enlazor {

enum class FieldType { Text, Integer, Float };

struct FieldDef {
  std::string name;
  FieldType type = FieldType::Text;
  int size = 0;  // text width in characters; ignored for numbers
};

namespace dbf {

// The header. Numbers are little-endian.
inline constexpr size_t kHeaderSize = 32;        // before the descriptors (III, IV, V, FoxPro)
inline constexpr size_t kLevel7HeaderSize = 68;  // level 7 adds a 32-byte language-driver name at 32..63
inline constexpr size_t kVersionAt = 0;          // 0x03 for dBase III without memo; level 7: low bits 0x04
inline constexpr size_t kDateAt = 1;             // last update: year since 1900, month, day
inline constexpr size_t kRecordCountAt = 4;      // 32 bits: records stored, deleted ones included
inline constexpr size_t kHeaderLengthAt = 8;     // 16 bits: where the first record starts
inline constexpr size_t kRecordLengthAt = 10;    // 16 bits: the delete flag and every field's width
inline constexpr size_t kLanguageDriverAt = 29;  // the code page of the texts
inline constexpr unsigned char kDbase3 = 0x03;
inline constexpr unsigned char kLevel7Mask = 0x07, kLevel7 = 0x04;
inline constexpr unsigned char kWindowsAnsi1252 = 0x03;  // read as cp1252 by every reader tried

// A field descriptor, one per field after the header.
inline constexpr size_t kDescriptorSize = 32, kLevel7DescriptorSize = 48;
inline constexpr size_t kNameLength = 11, kLevel7NameLength = 32;       // the name, NUL-padded
inline constexpr size_t kTypeAt = 11, kWidthAt = 16, kDecimalsAt = 17;  // III, IV, V, FoxPro
inline constexpr size_t kLevel7TypeAt = 32, kLevel7WidthAt = 33, kLevel7DecimalsAt = 34;
inline constexpr size_t kMaxNameLength = 10;            // what a dBase III descriptor holds with its NUL
inline constexpr unsigned char kDescriptorsEnd = 0x0D;  // after the last descriptor

// A record: the flag, then the fields in order, no separators; the file ends with kFileEnd.
inline constexpr unsigned char kLive = ' ', kDeleted = '*';
inline constexpr unsigned char kFileEnd = 0x1A;
// How the logical types are stored: text as C of its width, blank-padded; a
// 32-bit integer as N(11, 0) and a float as N(20, 4), right-aligned.
inline constexpr int kIntegerWidth = 11, kFloatWidth = 20, kFloatDecimals = 4;

// A table file that does not follow the layout: what is wrong with it.
struct Damaged : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct Field {
  std::string name;
  char type = 'C';
  size_t offset = 0;  // from the record's start: the flag is at 0
  size_t width = 0;
  int decimals = 0;
};

struct Layout {
  bool level7 = false;
  size_t headerLength = 0, recordLength = 0;
  size_t records = 0;  // whole records in the file (the header's count, cut to what is there)
  std::vector<Field> fields;
};

// The layout of a table file's bytes; raises Damaged saying what is wrong.
Layout ReadLayout(const unsigned char* bytes, size_t size);
// A field definition the layout can hold, or the failure naming it.
void CheckDefinition(const FieldDef& field);
// The bytes of an empty dBase III table with these fields.
std::vector<unsigned char> EmptyTable(const std::vector<FieldDef>& fields);
// The header's date and record count as they go at kDateAt: 3 + 4 bytes.
std::array<unsigned char, 7> HeaderUpdate(size_t records);
// A field's value in one record as text: trailing blanks of text removed, a
// number in its decimal form, an empty field as the empty text.
std::string FieldText(const Field& field, const unsigned char* record, bool level7);
// Text without the blanks and NULs that pad it on either side.
std::string_view TrimBlanks(std::string_view text);

}  // namespace dbf
}  // namespace enlazor
