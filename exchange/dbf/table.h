// The work-table store: dBase tables in the work directory, read and written
// row by row through a cursor (dbf_layout.h has the bytes). Text is
// Windows-1252 throughout.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "exchange/dbf/dbf_layout.h"
#include "exchange/platform/platform.h"

namespace enlazor {

// The failures a user meets most, each with what to do about it.
[[noreturn]] void RaiseTableInUse(const std::filesystem::path& table);
[[noreturn]] void RaiseNoWorkFolder(const std::filesystem::path& folder);

// A table file's rows that are not deleted, one after another, read a piece
// at a time so that memory does not grow with the table: for reading a whole
// table once (a kept copy, the set a command replaced), not for a cursor.
// A file that is no table raises saying what is wrong with it.
class RowReader {
 public:
  explicit RowReader(const std::filesystem::path& file);
  // To the next row; false past the last.
  bool Next();
  bool HasField(std::string_view field) const;
  // The field's text at the row, as Table::FieldText gives it; empty when the table lacks the field.
  std::string FieldText(std::string_view field) const;

 private:
  bool Fill();

  std::filesystem::path path_;
  platform::File file_;
  dbf::Layout layout_;
  std::vector<unsigned char> buffer_;
  size_t start_ = 0, filled_ = 0;  // the current row's place in the buffer, and the bytes there
  size_t stored_ = 0, row_ = 0;    // rows the header counts, and rows read
  bool started_ = false;
};

// The rows of a table file that are not deleted, read as RowReader reads them.
size_t CountRows(const std::filesystem::path& file);

class Table {
 public:
  enum class Use { Shared, Exclusive };

  // A closed table object; nothing is touched until it is created or opened.
  // The name may carry ".DBF" or not.
  Table(std::filesystem::path directory, std::string_view name, Use use = Use::Shared);
  ~Table();
  Table(const Table&) = delete;
  Table& operator=(const Table&) = delete;

  // A window component prefixes its field failures with its own name.
  void SetComponentName(std::string name) { component_ = std::move(name); }
  const std::string& TableName() const { return name_; }
  std::filesystem::path FilePath() const;

  void ClearFields() { definitions_.clear(); }
  void AddField(FieldDef field) { definitions_.push_back(std::move(field)); }
  // An empty table with exactly the defined fields; replaces a table of that name.
  void CreateTable();

  void Open();
  void Close();
  bool Active() const { return file_.IsOpen(); }

  void Append();
  void SetFieldText(std::string_view field, std::string_view text);
  void SetFieldText(size_t number, std::string_view text);
  void Post();

  void First() { cursor_ = 0; }
  void Next() {
    if (cursor_ < view_.size()) ++cursor_;
  }
  bool Eof() const { return cursor_ >= view_.size(); }
  // Rows visible (not deleted, passing the filter) and a move to one of them.
  size_t RowCount() const { return view_.size(); }
  void MoveTo(size_t row) { cursor_ = row; }

  std::string FieldText(std::string_view field) const;
  int32_t FieldInteger(std::string_view field) const;
  bool HasField(std::string_view field) const;
  // How many characters the field holds.
  size_t FieldWidth(std::string_view field) const { return FindField(field).width; }
  size_t FieldCount() const { return fields_.size(); }
  // The same by a field's number, for loops over many rows.
  size_t FieldNumber(std::string_view field) const;
  std::string FieldText(size_t number) const;
  int32_t FieldInteger(size_t number) const;

  // The expression FIELD= 'value' with inner quotes doubled.
  void SetFilter(std::string_view expression);
  void SetFiltered(bool on);

 private:
  using Field = dbf::Field;

  void ParseHeader();
  void BuildView();
  const Field& FindField(std::string_view name) const;
  const unsigned char* Record(size_t physical) const;
  std::string RawText(const Field& field, const unsigned char* record) const;
  [[noreturn]] void RaiseDamaged(std::string_view what) const;
  [[noreturn]] void RaiseInUse() const;
  void WritePending();
  void OpenForWriting();

  std::filesystem::path directory_;
  std::string name_;  // without extension
  Use use_;
  std::string component_;
  std::vector<FieldDef> definitions_;

  platform::File file_;
  std::filesystem::path path_;
  std::optional<platform::LargeBlock> file_bytes_;  // the whole file as opened
  size_t fileSize_ = 0;
  const unsigned char* Bytes() const { return reinterpret_cast<const unsigned char*>(file_bytes_->Data()); }
  bool level7_ = false;
  size_t headerLength_ = 0;
  size_t recordLength_ = 0;
  size_t storedRecords_ = 0;
  std::vector<Field> fields_;
  // Posted rows not yet written, in large blocks that never move.
  class PendingRows {
   public:
    void Reset(size_t recordLength);
    void Free() {
      blocks_.clear();
      count_ = 0;
    }
    unsigned char* Add();
    const unsigned char* Row(size_t i) const;
    size_t Count() const { return count_; }
    // Hands each block's rows, in order, to write(data, bytes).
    template <typename Write>
    void ForEachBlock(Write write) const {
      for (size_t b = 0; b * perBlock_ < count_; ++b) {
        write(blocks_[b].Data(), std::min(perBlock_, count_ - b * perBlock_) * recordLength_);
      }
    }

   private:
    size_t recordLength_ = 1, perBlock_ = 1, count_ = 0;
    std::vector<platform::LargeBlock> blocks_;
  };
  static constexpr size_t kFlushBytes = 1 << 20;
  PendingRows appended_;
  size_t flushed_ = 0;  // rows posted and written since the table was opened
  mutable std::vector<unsigned char> readBack_;
  std::vector<unsigned char> pending_;  // the row being edited
  bool editing_ = false;

  std::vector<size_t> view_;  // physical numbers of the visible rows
  size_t cursor_ = 0;
  std::string filterField_;
  std::string filterValue_;
  bool filtered_ = false;
};

}  // namespace enlazor
