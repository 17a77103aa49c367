#include "exchange/dbf/table.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "exchange/codec.h"
#include "exchange/failure.h"

namespace enlazor {
namespace {

namespace fs = std::filesystem;

std::string Shown(const fs::path& path) { return platform::PathToUtf8(path); }

std::string BaseName(std::string_view name) {
  std::string base(name);
  if (base.size() > 4 && SameTextAnsi(std::string_view(base).substr(base.size() - 4), ".DBF"))
    base.resize(base.size() - 4);
  return base;
}

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
  return text;
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
  throw Failure(
      Format("La tabla '%s' está en uso por otro programa: cierre Horavia y repita la orden", {Shown(table)}));
}

RowReader::RowReader(const fs::path& path) : path_(path), buffer_(1 << 20) {
  int error = 0;
  file_ = platform::File::OpenForReading(path, error);
  if (!file_.IsOpen()) {
    throw Failure(Format("No se puede abrir la tabla '%s': %s", {Shown(path), platform::ErrorText(error)}));
  }
  // The header first, as long as it says it is.
  std::vector<unsigned char> head;
  size_t headerLength = dbf::kHeaderSize;
  for (size_t n = 1; n > 0 && head.size() < headerLength;) {
    n = file_.Read(reinterpret_cast<char*>(buffer_.data()), buffer_.size(), path_);
    head.insert(head.end(), buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(n));
    if (head.size() >= dbf::kHeaderSize) {
      headerLength = size_t{head[dbf::kHeaderLengthAt]} | size_t{head[dbf::kHeaderLengthAt + 1]} << 8;
    }
  }
  try {
    // The header alone: the rows are checked as they come.
    layout_ = dbf::ReadLayout(head.data(), std::min(head.size(), headerLength));
  } catch (const dbf::Damaged& damage) {
    throw Failure(Format("La tabla '%s' está dañada: %s", {Shown(path), damage.what()}));
  }
  const unsigned char* count = &head[dbf::kRecordCountAt];
  stored_ = size_t{count[0]} | size_t{count[1]} << 8 | size_t{count[2]} << 16 | size_t{count[3]} << 24;
  // What was read past the header is the first rows.
  filled_ = head.size() - layout_.headerLength;
  if (buffer_.size() < 2 * layout_.recordLength) buffer_.resize(2 * layout_.recordLength);
  std::copy(head.begin() + static_cast<std::ptrdiff_t>(layout_.headerLength), head.end(), buffer_.begin());
}

// Makes room for the next row and reads on; false when the file has no more.
bool RowReader::Fill() {
  std::copy(buffer_.begin() + static_cast<std::ptrdiff_t>(start_),
            buffer_.begin() + static_cast<std::ptrdiff_t>(filled_), buffer_.begin());
  filled_ -= start_;
  start_ = 0;
  while (filled_ < layout_.recordLength) {
    const size_t n = file_.Read(reinterpret_cast<char*>(buffer_.data() + filled_), buffer_.size() - filled_, path_);
    if (n == 0) {
      // The count may run past the file's end, as Horavia's tables sometimes do;
      // a row cut short is damage.
      const bool atRowEnd = filled_ == 0 || (filled_ == 1 && buffer_[0] == dbf::kFileEnd);
      if (!atRowEnd)
        throw Failure(Format("La tabla '%s' está dañada: el último registro está incompleto", {Shown(path_)}));
      return false;
    }
    filled_ += n;
  }
  return true;
}

bool RowReader::Next() {
  for (;;) {
    if (started_) start_ += layout_.recordLength;
    started_ = true;
    if (row_ >= stored_) return false;
    if (filled_ - start_ < layout_.recordLength && !Fill()) return false;
    ++row_;
    if (buffer_[start_] != dbf::kDeleted) return true;
  }
}

bool RowReader::HasField(std::string_view field) const {
  return std::any_of(layout_.fields.begin(), layout_.fields.end(),
                     [&](const dbf::Field& f) { return SameTextAnsi(f.name, field); });
}

std::string RowReader::FieldText(std::string_view field) const {
  for (const auto& f : layout_.fields) {
    if (SameTextAnsi(f.name, field)) return dbf::FieldText(f, &buffer_[start_], layout_.level7);
  }
  return {};
}

size_t CountRows(const fs::path& path) {
  RowReader rows(path);
  size_t live = 0;
  while (rows.Next()) ++live;
  return live;
}

void RaiseNoWorkFolder(const fs::path& folder) {
  throw Failure(
      Format("No existe la carpeta de trabajo '%s'. Compruebe que Horavia está instalado: Enlazor trabaja "
             "en su carpeta",
             {Shown(folder)}));
}

void Table::CreateTable() {
  std::error_code ec;
  if (!fs::is_directory(directory_, ec)) {
    RaiseNoWorkFolder(directory_);
  }
  for (const auto& field : definitions_) dbf::CheckDefinition(field);
  Close();
  std::vector<platform::File> holds;
  for (const auto& old : platform::FindAllNoCase(directory_, name_ + ".DBF")) {
    int error = 0;
    path_ = old;
    auto file = platform::File::Open(old, error, true);
    if (platform::IsInUseError(error) || (file.IsOpen() && !file.TryLock(platform::File::Lock::Exclusive)))
      RaiseInUse();
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
  const auto bytes = dbf::EmptyTable(definitions_);
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
      throw Failure(
          Format("La tabla '%s' no es un archivo normal: Enlazor lee y escribe las tablas como archivos del disco",
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
  try {
    dbf::Layout layout = dbf::ReadLayout(Bytes(), fileSize_);
    level7_ = layout.level7;
    storedRecords_ = layout.records;
    headerLength_ = layout.headerLength;
    recordLength_ = layout.recordLength;
    fields_ = std::move(layout.fields);
  } catch (const dbf::Damaged& damage) {
    RaiseDamaged(damage.what());
  }
}

void Table::BuildView() {
  view_.clear();
  const size_t total = storedRecords_ + flushed_ + appended_.Count();
  view_.reserve(total);
  const Field* filter = filtered_ ? &FindField(filterField_) : nullptr;
  for (size_t i = 0; i < total; ++i) {
    const unsigned char* record = Record(i);
    if (record[0] == dbf::kDeleted) continue;
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
  return dbf::FieldText(field, record, level7_);
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
  pending_.assign(recordLength_, ' ');  // a live row, every field blank
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
  if (!file.TryLock(use_ == Use::Exclusive ? platform::File::Lock::Exclusive : platform::File::Lock::Shared))
    RaiseInUse();
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
  file_.WriteAt(&dbf::kFileEnd, 1, end, path_);
  const auto header = dbf::HeaderUpdate(rows);
  file_.WriteAt(header.data(), header.size(), dbf::kDateAt, path_);
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
  std::string_view rest = dbf::TrimBlanks(expression);
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
