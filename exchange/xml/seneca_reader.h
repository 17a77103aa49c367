// Reading a Séneca export as it streams past: the envelope SERVICIO /
// BLOQUE_DATOS / grupo_datos (the top-level groups, named by seq) /
// grupo_datos (the records) / dato. Only what the builders read is kept, so
// memory does not grow with the document.
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <string_view>

namespace enlazor {

// The values of one record, or of one of the first two top-level groups: the
// dato texts of its direct dato children by position, without the characters
// up to the blank at both ends, in Windows-1252.
struct Datos {
  static constexpr size_t kKept = 6;  // no layout reads a later position
  std::array<std::string, kKept> text;
  size_t count = 0;  // how many dato children there are
  // The value at a position; "" past the end.
  const std::string& At(size_t position) const;
};

// The value of an element's attribute, from the name and value pairs a
// handler is given; "" when the element has none of that name.
std::string AttributeOf(const char* const* attributes, std::string_view name);

class SenecaHandler {
 public:
  virtual ~SenecaHandler() = default;
  // The root element's attributes, as name and value pairs (UTF-8).
  virtual void Root(const char* const* /*attributes*/) {}
  // The direct datos of the top-level group at index 0 or 1, at its end.
  virtual void TopGroup(size_t index, const std::string& seq, const Datos& datos) = 0;
  // One record of a top-level group, in document order.
  virtual void Record(const std::string& seq, const Datos& datos) = 0;
};

// Reads the file and hands its records over. Refuses (with the tables
// untouched) a document that is not a Séneca export: another root element, or
// none of the groups the export reads.
void ReadSenecaExport(const std::filesystem::path& file, SenecaHandler& handler);
void ReadSenecaExportBytes(std::string_view bytes, const std::string& name, SenecaHandler& handler);
// Reads a document of the same envelope without asking for the export's
// groups: what Enlazor kept of a Séneca file.
void ReadSenecaDocument(const std::filesystem::path& file, SenecaHandler& handler);

}  // namespace enlazor
