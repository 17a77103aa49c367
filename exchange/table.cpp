#include "exchange/table.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "exchange/codec.h"
#include "exchange/failure.h"

namespace enlazor {
namespace {

namespace fs = std::filesystem;

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

std::string Shown(const fs::path& path) { return platform::PathToUtf8(path); }

std::string BaseName(std::string_view name) {
  std::string base(name);
  if (base.size() > 4 && SameTextAnsi(std::string_view(base).substr(base.size() - 4), ".DBF")) base.resize(base.size() - 4);
  return base;
}

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
  return text;
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\0')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.remove_suffix(1);
  return text;
}

// A number field's text as a number's decimal form; other texts as they stand.
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

char StoredType(FieldType type) { return type == FieldType::Text ? 'C' : 'N'; }
int StoredWidth(const FieldDef& f) { return f.type == FieldType::Text ? f.size : f.type == FieldType::Integer ? 11 : 20; }
int StoredDecimals(const FieldDef& f) { return f.type == FieldType::Float ? 4 : 0; }

std::vector<unsigned char> EmptyTableBytes(const std::vector<FieldDef>& fields) {
  const size_t headerLength = 32 + 32 * fields.size() + 1;
  std::vector<unsigned char> bytes(headerLength + 1, 0);
  bytes[0] = 0x03;
  PutToday(&bytes[1]);
  Put16(&bytes[8], static_cast<uint16_t>(headerLength));
  size_t recordLength = 1;
  for (size_t i = 0; i < fields.size(); ++i) {
    unsigned char* d = &bytes[32 + 32 * i];
    std::copy(fields[i].name.begin(), fields[i].name.end(), d);
    d[11] = static_cast<unsigned char>(StoredType(fields[i].type));
    d[16] = static_cast<unsigned char>(StoredWidth(fields[i]));
    d[17] = static_cast<unsigned char>(StoredDecimals(fields[i]));
    recordLength += d[16];
  }
  Put16(&bytes[10], static_cast<uint16_t>(recordLength));
  bytes[29] = 0x03;  // Windows ANSI 1252
  bytes[headerLength - 1] = 0x0D;
  bytes[headerLength] = 0x1A;
  return bytes;
}

void CheckDefinition(const FieldDef& field) {
  const bool nameOk = !field.name.empty() && field.name.size() <= 10 &&
                      std::all_of(field.name.begin(), field.name.end(), [](unsigned char c) { return c > 32 && c < 127; });
  const bool sizeOk = field.type != FieldType::Text || (field.size >= 1 && field.size <= 254);
  if (!nameOk || !sizeOk) throw Failure(Format("Definición de campo incorrecta: '%s'", {field.name}));
}

}  // namespace

Table::Table(fs::path directory, std::string_view name, Use use)
    : directory_(std::move(directory)), name_(BaseName(name)), use_(use) {}

Table::~Table() {
  try {
    Close();
  } catch (...) {
    // A table that cannot be written at release keeps its file as it was.
  }
}

fs::path Table::FilePath() const { return platform::FindNoCase(directory_, name_ + ".DBF"); }

void Table::RaiseDamaged(std::string_view what) const {
  throw Failure(Format("La tabla '%s' está dañada: %s", {Shown(path_), what}));
}

void Table::RaiseInUse() const { RaiseTableInUse(path_); }

void RaiseTableInUse(const fs::path& table) {
  throw Failure(Format("La tabla '%s' está en uso por otro programa: cierre Horavia y repita la orden", {Shown(table)}));
}

void RaiseNoWorkFolder(const fs::path& folder) {
  throw Failure(Format("No existe la carpeta de trabajo '%s'. Compruebe que Horavia está instalado: Enlazor trabaja "
                       "en su carpeta",
                       {Shown(folder)}));
}

void Table::CreateTable() {
  std::error_code ec;
  if (!fs::is_directory(directory_, ec)) {
    RaiseNoWorkFolder(directory_);
  }
  for (const auto& field : definitions_) CheckDefinition(field);
  Close();
  std::vector<platform::File> holds;
  for (const auto& old : platform::FindAllNoCase(directory_, name_ + ".DBF")) {
    int error = 0;
    path_ = old;
    auto file = platform::File::Open(old, error, true);
    if (platform::IsInUseError(error) || (file.IsOpen() && !file.TryLock(platform::File::Lock::Exclusive))) RaiseInUse();
    holds.push_back(std::move(file));
  }
  for (const auto& old : platform::FindAllNoCase(directory_, name_ + ".DBF")) platform::DeleteFileQuietly(old);
  holds.clear();  // on Windows a deleted file stays until its last handle is closed
  path_ = directory_ / (Upper(name_) + ".DBF");
  int error = 0;
  auto file = platform::File::CreateNew(path_, error);
  if (error != 0) {
    throw Failure(Format("No se puede crear la tabla '%s': %s", {Shown(path_), platform::ErrorText(error)}));
  }
  const auto bytes = EmptyTableBytes(definitions_);
  file.WriteAt(bytes.data(), bytes.size(), 0, path_);
}

void Table::Open() {
  Close();
  path_ = FilePath();
  std::error_code ec;
  if (!fs::is_directory(directory_, ec)) {
    RaiseNoWorkFolder(directory_);
  }
  if (!platform::FileExists(path_)) throw Failure(Format("No existe la tabla '%s'", {Shown(path_)}));
  int error = 0;
  // Shared use reads and lets others read; a table is opened for writing at its first new row.
  file_ = platform::File::Open(path_, error, use_ == Use::Exclusive);
  if (platform::IsInUseError(error)) RaiseInUse();
  if (error != 0) {
    throw Failure(Format("No se puede abrir la tabla '%s': %s", {Shown(path_), platform::ErrorText(error)}));
  }
  try {
    if (!file_.IsRegular()) {
      throw Failure(Format("La tabla '%s' no es un archivo normal: Enlazor lee y escribe las tablas como archivos del disco",
                           {Shown(path_)}));
    }
    if (!file_.TryLock(use_ == Use::Exclusive ? platform::File::Lock::Exclusive : platform::File::Lock::Shared)) {
      RaiseInUse();
    }
    file_bytes_.emplace(file_.ReadAllLarge(fileSize_, path_));
    ParseHeader();
  } catch (...) {
    file_ = {};
    file_bytes_.reset();
    throw;
  }
  appended_.Reset(recordLength_);
  flushed_ = 0;
  BuildView();
  cursor_ = 0;
}

void Table::PendingRows::Reset(size_t recordLength) {
  // A written batch's memory serves the next one: fresh pages cost more than the copy.
  const size_t length = std::max<size_t>(recordLength, 1);
  if (length != recordLength_) blocks_.clear();
  count_ = 0;
  recordLength_ = length;
  perBlock_ = std::max<size_t>(kFlushBytes / recordLength_, 1);
}

unsigned char* Table::PendingRows::Add() {
  const size_t block = count_ / perBlock_;
  if (block == blocks_.size()) blocks_.emplace_back(perBlock_ * recordLength_);
  return reinterpret_cast<unsigned char*>(blocks_[block].Data()) + (count_++ % perBlock_) * recordLength_;
}

const unsigned char* Table::PendingRows::Row(size_t i) const {
  return reinterpret_cast<const unsigned char*>(blocks_[i / perBlock_].Data()) + (i % perBlock_) * recordLength_;
}

void Table::ParseHeader() {
  const size_t size = fileSize_;
  const unsigned char* bytes = Bytes();
  if (size < 32) RaiseDamaged("el archivo es más corto que su cabecera");
  level7_ = (bytes[0] & 0x07) == 0x04;
  const size_t descriptorsStart = level7_ ? 68 : 32;
  const size_t descriptorSize = level7_ ? 48 : 32;
  const size_t nameLength = level7_ ? 32 : 11;
  storedRecords_ = Read32(&bytes[4]);
  headerLength_ = Read16(&bytes[8]);
  recordLength_ = Read16(&bytes[10]);
  if (headerLength_ > size) RaiseDamaged("la cabecera es más larga que el archivo");
  if (headerLength_ <= descriptorsStart) RaiseDamaged("la longitud de la cabecera es incorrecta");
  fields_.clear();
  size_t pos = descriptorsStart;
  size_t offset = 1;
  bool terminated = false;
  while (pos < headerLength_) {
    if (bytes[pos] == 0x0D) {
      terminated = true;
      break;
    }
    if (pos + descriptorSize > headerLength_) break;
    Field field;
    const auto* d = &bytes[pos];
    field.name.assign(reinterpret_cast<const char*>(d), std::find(d, d + nameLength, 0) - d);
    field.type = static_cast<char>(d[level7_ ? 32 : 11]);
    field.width = d[level7_ ? 33 : 16];
    field.decimals = d[level7_ ? 34 : 17];
    field.offset = offset;
    if (field.width == 0) RaiseDamaged(Format("el campo '%s' tiene anchura 0", {AnsiToUtf8(field.name)}));
    offset += field.width;
    fields_.push_back(std::move(field));
    pos += descriptorSize;
  }
  if (!terminated) RaiseDamaged("falta la marca de fin de la lista de campos");
  if (fields_.empty()) RaiseDamaged("la tabla no tiene campos");
  if (offset != recordLength_) {
    RaiseDamaged(Format("la longitud de registro (%s) no coincide con la de los campos (%s)",
                        {std::to_string(recordLength_), std::to_string(offset)}));
  }
  const size_t available = (size - headerLength_) / recordLength_;
  const size_t rest = (size - headerLength_) % recordLength_;
  if (storedRecords_ > available) {
    const bool onlyEndMark = rest == 0 || (rest == 1 && bytes[size - 1] == 0x1A);
    if (!onlyEndMark) RaiseDamaged("el último registro está incompleto");
    storedRecords_ = available;
  }
}

void Table::BuildView() {
  view_.clear();
  const size_t total = storedRecords_ + flushed_ + appended_.Count();
  view_.reserve(total);
  const Field* filter = filtered_ ? &FindField(filterField_) : nullptr;
  for (size_t i = 0; i < total; ++i) {
    const unsigned char* record = Record(i);
    if (record[0] == '*') continue;
    if (filter && RawText(*filter, record) != filterValue_) continue;
    view_.push_back(i);
  }
}

const unsigned char* Table::Record(size_t physical) const {
  if (physical < storedRecords_) return Bytes() + headerLength_ + physical * recordLength_;
  if (physical < storedRecords_ + flushed_) {
    // Written out already: read back from the file.
    readBack_.resize(recordLength_);
    file_.ReadAt(readBack_.data(), recordLength_, headerLength_ + physical * uint64_t{recordLength_}, path_);
    return readBack_.data();
  }
  return appended_.Row(physical - storedRecords_ - flushed_);
}

bool Table::HasField(std::string_view name) const {
  return std::any_of(fields_.begin(), fields_.end(), [&](const Field& f) { return SameTextAnsi(f.name, name); });
}

const Table::Field& Table::FindField(std::string_view name) const {
  for (const auto& field : fields_) {
    if (field.name == name) return field;
  }
  for (const auto& field : fields_) {
    if (SameTextAnsi(field.name, name)) return field;
  }
  std::string message = Format("No se encuentra el campo '%s'", {AnsiToUtf8(name)});
  if (!component_.empty()) message = component_ + ": " + message;
  throw Failure(message);
}

std::string Table::RawText(const Field& field, const unsigned char* record) const {
  const auto* at = record + field.offset;
  const std::string_view stored(reinterpret_cast<const char*>(at), field.width);
  switch (field.type) {
    case 'N':
    case 'F': return NumberText(stored);
    case 'I':
    case '+': {
      if (field.width != 4) return std::string(TrimBlanks(stored));
      if (level7_) {
        const uint32_t raw = static_cast<uint32_t>(at[0]) << 24 | at[1] << 16 | at[2] << 8 | at[3];
        return raw == 0 ? std::string() : std::to_string(static_cast<int32_t>(raw ^ 0x80000000u));
      }
      return std::to_string(static_cast<int32_t>(Read32(at)));
    }
    case 'C': {
      std::string_view text = stored;
      while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.remove_suffix(1);
      return std::string(text);
    }
    default: return std::string(TrimBlanks(stored));
  }
}

size_t Table::FieldNumber(std::string_view name) const { return &FindField(name) - fields_.data(); }

std::string Table::FieldText(std::string_view name) const { return FieldText(FieldNumber(name)); }

int32_t Table::FieldInteger(std::string_view name) const { return FieldInteger(FieldNumber(name)); }

std::string Table::FieldText(size_t number) const {
  if (Eof()) return {};
  return RawText(fields_.at(number), Record(view_[cursor_]));
}

int32_t Table::FieldInteger(size_t number) const {
  const Field& field = fields_.at(number);
  if (Eof()) return 0;
  const std::string text = RawText(field, Record(view_[cursor_]));
  const bool numeric = field.type == 'N' || field.type == 'F' || field.type == 'I' || field.type == '+';
  if (!numeric) return ToInt32OrFail(text);
  if (text.empty()) return 0;
  if (auto whole = ParseInt32(text)) return *whole;
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error == std::errc() && end == text.data() + text.size() && std::abs(value) < 2147483647.5) {
    return static_cast<int32_t>(std::lround(value));
  }
  return ToInt32OrFail(text);
}

void Table::Append() {
  if (!Active()) throw Failure(Format("La tabla '%s' no está abierta", {name_}));
  if (!file_.IsWritable()) OpenForWriting();
  pending_.assign(recordLength_, ' ');
  editing_ = true;
}

void Table::OpenForWriting() {
  file_ = {};  // the reading handle denies writers, this program's too
  int error = 0;
  platform::File file = platform::File::Open(path_, error, true);
  if (platform::IsInUseError(error)) RaiseInUse();
  if (!file.IsWritable()) {
    throw Failure(Format("No se puede escribir la tabla '%s': %s",
                         {Shown(path_), error ? platform::ErrorText(error) : "es de solo lectura"}));
  }
  if (!file.TryLock(use_ == Use::Exclusive ? platform::File::Lock::Exclusive : platform::File::Lock::Shared)) RaiseInUse();
  file_ = std::move(file);
}

void Table::SetFieldText(std::string_view name, std::string_view text) { SetFieldText(FieldNumber(name), text); }

void Table::SetFieldText(size_t number, std::string_view text) {
  const Field& field = fields_.at(number);
  if (!editing_) throw Failure(Format("La tabla '%s' no está en edición", {name_}));
  auto* at = pending_.data() + field.offset;
  std::fill(at, at + field.width, ' ');
  const size_t length = std::min(text.size(), field.width);
  if (field.type == 'C') {
    std::copy_n(text.begin(), length, at);
  } else {
    std::copy_n(text.end() - length, length, at + field.width - length);
  }
}

void Table::Post() {
  if (!editing_) return;
  std::copy(pending_.begin(), pending_.end(), appended_.Add());
  editing_ = false;
  const size_t physical = storedRecords_ + flushed_ + appended_.Count() - 1;
  if (!filtered_ || RawText(FindField(filterField_), Record(physical)) == filterValue_) {
    view_.push_back(physical);
    cursor_ = view_.size() - 1;
  }
  // A table being filled holds at most one batch of rows in memory.
  if (appended_.Count() * recordLength_ >= kFlushBytes) WritePending();
}

void Table::WritePending() {
  if (appended_.Count() == 0) return;
  const size_t rows = storedRecords_ + flushed_ + appended_.Count();
  uint64_t end = headerLength_ + (storedRecords_ + flushed_) * uint64_t{recordLength_};
  appended_.ForEachBlock([&](const char* data, size_t bytes) {
    file_.WriteAt(data, bytes, end, path_);
    end += bytes;
  });
  const unsigned char endMark = 0x1A;
  file_.WriteAt(&endMark, 1, end, path_);
  unsigned char header[7];
  PutToday(header);
  Put32(header + 3, static_cast<uint32_t>(rows));
  file_.WriteAt(header, sizeof header, 1, path_);
  flushed_ += appended_.Count();
  appended_.Reset(recordLength_);
}

void Table::Close() {
  editing_ = false;
  if (file_.IsOpen()) {
    try {
      WritePending();
    } catch (...) {
      file_ = {};
      appended_.Free();
      throw;
    }
  }
  file_ = {};
  file_bytes_.reset();
  fileSize_ = 0;
  appended_.Free();
  view_.clear();
  cursor_ = 0;
  storedRecords_ = 0;
  flushed_ = 0;
}

void Table::SetFilter(std::string_view expression) {
  std::string_view rest = TrimBlanks(expression);
  size_t i = 0;
  while (i < rest.size() && (std::isalnum(static_cast<unsigned char>(rest[i])) || rest[i] == '_')) ++i;
  std::string field(rest.substr(0, i));
  while (i < rest.size() && rest[i] == ' ') ++i;
  bool ok = !field.empty() && i < rest.size() && rest[i] == '=';
  ++i;
  while (ok && i < rest.size() && rest[i] == ' ') ++i;
  const size_t last = rest.size() - 1;
  ok = ok && i < last && rest[i] == '\'' && rest[last] == '\'';
  std::string value;
  const std::string_view inner = ok ? rest.substr(i + 1, last - i - 1) : std::string_view();
  for (size_t k = 0; k < inner.size(); ++k) {
    value += inner[k];
    if (inner[k] != '\'') continue;
    ok = ok && k + 1 < inner.size() && inner[k + 1] == '\'';  // an inner quote is written twice
    ++k;
  }
  if (!ok) throw Failure(Format("Expresión de filtro no válida: %s", {AnsiToUtf8(expression)}));
  filterField_ = std::move(field);
  filterValue_ = std::move(value);
}

void Table::SetFiltered(bool on) {
  filtered_ = on && !filterField_.empty();
  BuildView();
  cursor_ = 0;
}

}  // namespace enlazor
