// The seven builders of the export run. Each rebuilds one work table in the
// given folder from the records of its Séneca group, as they stream past.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "exchange/dbf/table.h"
#include "exchange/report.h"
#include "exchange/xml/seneca_reader.h"

namespace enlazor {

namespace fs = std::filesystem;

class TableBuilder {
 public:
  virtual ~TableBuilder() = default;
  TableBuilder(const TableBuilder&) = delete;
  TableBuilder& operator=(const TableBuilder&) = delete;

  const std::string& Table() const { return name_; }
  // The Séneca group whose records it reads; empty when it reads none.
  const std::string& Group() const { return group_; }
  // One record of its group, in document order: taken when it has enough datos.
  void Offer(const Datos& datos);
  virtual void TopGroup(size_t /*index*/, const std::string& /*seq*/, const Datos& /*datos*/) {}
  // Closes the table; returns its rows. Refuses identifiers that became one.
  virtual size_t Finish();

 protected:
  struct Layout {
    const char* table;
    const char* group;
    size_t minimum;  // fewer datos: the record is passed over
    size_t read;     // the positions the layout reads
  };
  using Row = std::initializer_list<std::pair<const char*, std::string_view>>;

  TableBuilder(const fs::path& folder, Layout layout, std::initializer_list<FieldDef> fields, RunReport& report);
  virtual void Take(const Datos& datos) = 0;
  // Appends and posts a row; a value longer than its field is cut, and reported.
  void Add(Row values);
  void Report(Finding finding);
  // The code just given differs from its base: another row had it.
  void ReportRenumbered(std::string_view base, std::string_view code);
  size_t Rows() const { return rows_; }
  const fs::path& Folder() const { return folder_; }
  long RecordNumber() const { return record_; }

 private:
  struct Cut {
    std::string field, stored, original;
    size_t row;
  };
  void CheckCutIdentifiers();
  size_t FieldIndex(const char* name);
  std::vector<std::string> Column(const std::string& field);

  fs::path folder_;
  std::string name_, group_;
  Layout layout_;
  std::vector<FieldDef> fields_;
  std::vector<std::pair<const char*, size_t>> numbers_;  // field names as the rows give them, and their numbers
  ::enlazor::Table table_;
  RunReport& report_;
  size_t rows_ = 0;
  long record_ = 0;
  std::vector<Cut> cuts_;
};

// The builders of the export run, in the order they are named in messages.
std::vector<std::unique_ptr<TableBuilder>> MakeBuilders(const fs::path& folder, RunReport& report);

}  // namespace enlazor
