#include "exchange/dbf/dbf_layout.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "exchange/codec.h"
#include "exchange/failure.h"
#include "exchange/platform/platform.h"

namespace enlazor::dbf {
namespace {

uint32_t Read32(const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
uint16_t Read16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

void Put32(unsigned char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}
void Put16(unsigned char* p, uint16_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
}

// The last update as dBase writes it: year since 1900, month, day.
void PutToday(unsigned char* p) {
  const platform::LocalTime now = platform::Now();
  p[0] = static_cast<unsigned char>(now.year - 1900);
  p[1] = static_cast<unsigned char>(now.month);
  p[2] = static_cast<unsigned char>(now.day);
}

// A number field's text as a number's decimal form; other texts as they stand.
// All blanks is empty; all '*' is an overflow, read as empty too.
std::string NumberText(std::string_view stored) {
  const std::string_view text = TrimBlanks(stored);
  if (text.empty() || text.find_first_not_of('*') == std::string_view::npos) return {};
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return std::string(text);
  char out[32];
  const auto result = std::abs(value) < 1e15 && value == std::trunc(value)
                          ? std::to_chars(out, out + sizeof out, static_cast<long long>(value))
                          : std::to_chars(out, out + sizeof out, value);
  return std::string(out, result.ptr);
}

// A 4-byte integer: level 7 writes it big-endian with the sign bit inverted
// (all zero bytes being empty), FoxPro little-endian.
std::string BinaryInteger(const unsigned char* at, bool level7) {
  if (!level7) return std::to_string(static_cast<int32_t>(Read32(at)));
  const uint32_t raw = static_cast<uint32_t>(at[0]) << 24 | at[1] << 16 | at[2] << 8 | at[3];
  return raw == 0 ? std::string() : std::to_string(static_cast<int32_t>(raw ^ 0x80000000u));
}

char StoredType(FieldType type) { return type == FieldType::Text ? 'C' : 'N'; }
int StoredWidth(const FieldDef& f) {
  return f.type == FieldType::Text ? f.size : f.type == FieldType::Integer ? kIntegerWidth : kFloatWidth;
}
int StoredDecimals(const FieldDef& f) { return f.type == FieldType::Float ? kFloatDecimals : 0; }

// The field descriptors, up to the end mark.
std::vector<Field> ReadFields(const unsigned char* bytes, size_t headerLength, bool level7) {
  const size_t descriptorSize = level7 ? kLevel7DescriptorSize : kDescriptorSize;
  const size_t nameLength = level7 ? kLevel7NameLength : kNameLength;
  std::vector<Field> fields;
  size_t offset = 1;  // after the delete flag
  for (size_t pos = level7 ? kLevel7HeaderSize : kHeaderSize; pos < headerLength; pos += descriptorSize) {
    if (bytes[pos] == kDescriptorsEnd) return fields;
    if (pos + descriptorSize > headerLength) break;
    const unsigned char* d = &bytes[pos];
    Field field;
    field.name.assign(reinterpret_cast<const char*>(d), std::find(d, d + nameLength, 0) - d);
    field.type = static_cast<char>(d[level7 ? kLevel7TypeAt : kTypeAt]);
    field.width = d[level7 ? kLevel7WidthAt : kWidthAt];
    field.decimals = d[level7 ? kLevel7DecimalsAt : kDecimalsAt];
    field.offset = offset;
    if (field.width == 0) throw Damaged(Format("el campo '%s' tiene anchura 0", {AnsiToUtf8(field.name)}));
    offset += field.width;
    fields.push_back(std::move(field));
  }
  throw Damaged("falta la marca de fin de la lista de campos");
}

}  // namespace

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\0')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.remove_suffix(1);
  return text;
}

Layout ReadLayout(const unsigned char* bytes, size_t size) {
  if (size < kHeaderSize) throw Damaged("el archivo es más corto que su cabecera");
  Layout layout;
  layout.level7 = (bytes[kVersionAt] & kLevel7Mask) == kLevel7;
  layout.records = Read32(&bytes[kRecordCountAt]);
  layout.headerLength = Read16(&bytes[kHeaderLengthAt]);
  layout.recordLength = Read16(&bytes[kRecordLengthAt]);
  if (layout.headerLength > size) throw Damaged("la cabecera es más larga que el archivo");
  if (layout.headerLength <= (layout.level7 ? kLevel7HeaderSize : kHeaderSize)) {
    throw Damaged("la longitud de la cabecera es incorrecta");
  }
  layout.fields = ReadFields(bytes, layout.headerLength, layout.level7);
  if (layout.fields.empty()) throw Damaged("la tabla no tiene campos");
  const size_t fieldsLength = layout.fields.back().offset + layout.fields.back().width;
  if (fieldsLength != layout.recordLength) {
    throw Damaged(Format("la longitud de registro (%s) no coincide con la de los campos (%s)",
                         {std::to_string(layout.recordLength), std::to_string(fieldsLength)}));
  }
  // The header's count, but never past the end of the file; the end mark may be missing.
  const size_t available = (size - layout.headerLength) / layout.recordLength;
  const size_t rest = (size - layout.headerLength) % layout.recordLength;
  if (layout.records > available) {
    const bool onlyEndMark = rest == 0 || (rest == 1 && bytes[size - 1] == kFileEnd);
    if (!onlyEndMark) throw Damaged("el último registro está incompleto");
    layout.records = available;
  }
  return layout;
}

void CheckDefinition(const FieldDef& field) {
  const bool nameOk =
      !field.name.empty() && field.name.size() <= kMaxNameLength &&
      std::all_of(field.name.begin(), field.name.end(), [](unsigned char c) { return c > 32 && c < 127; });
  const bool sizeOk = field.type != FieldType::Text || (field.size >= 1 && field.size <= 254);
  if (!nameOk || !sizeOk) throw Failure(Format("Definición de campo incorrecta: '%s'", {field.name}));
}

std::vector<unsigned char> EmptyTable(const std::vector<FieldDef>& fields) {
  const size_t headerLength = kHeaderSize + kDescriptorSize * fields.size() + 1;
  std::vector<unsigned char> bytes(headerLength + 1, 0);
  bytes[kVersionAt] = kDbase3;
  PutToday(&bytes[kDateAt]);
  Put16(&bytes[kHeaderLengthAt], static_cast<uint16_t>(headerLength));
  size_t recordLength = 1;
  for (size_t i = 0; i < fields.size(); ++i) {
    unsigned char* d = &bytes[kHeaderSize + kDescriptorSize * i];
    std::copy(fields[i].name.begin(), fields[i].name.end(), d);
    d[kTypeAt] = static_cast<unsigned char>(StoredType(fields[i].type));
    d[kWidthAt] = static_cast<unsigned char>(StoredWidth(fields[i]));
    d[kDecimalsAt] = static_cast<unsigned char>(StoredDecimals(fields[i]));
    recordLength += d[kWidthAt];
  }
  Put16(&bytes[kRecordLengthAt], static_cast<uint16_t>(recordLength));
  bytes[kLanguageDriverAt] = kWindowsAnsi1252;
  bytes[headerLength - 1] = kDescriptorsEnd;
  bytes[headerLength] = kFileEnd;
  return bytes;
}

std::array<unsigned char, 7> HeaderUpdate(size_t records) {
  std::array<unsigned char, 7> update{};
  PutToday(update.data());
  Put32(update.data() + (kRecordCountAt - kDateAt), static_cast<uint32_t>(records));
  return update;
}

std::string FieldText(const Field& field, const unsigned char* record, bool level7) {
  const unsigned char* at = record + field.offset;
  const std::string_view stored(reinterpret_cast<const char*>(at), field.width);
  switch (field.type) {
    case 'N':
    case 'F':
      return NumberText(stored);
    case 'I':
    case '+':
      return field.width == 4 ? BinaryInteger(at, level7) : std::string(TrimBlanks(stored));
    case 'C': {  // leading blanks are data; trailing blanks and NULs are padding
      std::string_view text = stored;
      while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.remove_suffix(1);
      return std::string(text);
    }
    default:
      return std::string(TrimBlanks(stored));
  }
}

}  // namespace enlazor::dbf
