// Reading XML with expat, the conforming streaming parser: every file the
// program reads goes through here, so an ill-formed one always fails, with
// the file, the line and the column, before anything is built from it.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace enlazor {

// A fault a handler finds in the document: the reader adds the file, the line
// and the column to its message.
struct XmlProblem : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// What the parser finds, in document order, as UTF-8. A handler may raise: the
// parse stops there and the failure reaches the caller.
class XmlEvents {
 public:
  virtual ~XmlEvents() = default;
  // attributes: name, value, name, value, ..., then null.
  virtual void StartElement(std::string_view name, const char* const* attributes) = 0;
  virtual void EndElement() = 0;
  // Character data, also inside CDATA sections; one run may come in several pieces.
  virtual void Characters(std::string_view text) = 0;
  virtual void Declaration(std::string_view /*version*/, std::string_view /*encoding*/, int /*standalone*/) {}
  virtual void StartCdata() {}
  virtual void EndCdata() {}
  virtual void Comment(std::string_view /*text*/) {}
  virtual void Instruction(std::string_view /*target*/, std::string_view /*data*/) {}
};

// Parses a whole file, read as a stream (a pipe works too), or bytes held in
// memory with name standing for the file in messages. Encodings: UTF-8,
// UTF-16 and US-ASCII; ISO-8859-1 labels are read as Windows-1252, as Séneca's
// files are written. A DOCTYPE is refused, so no entity is ever expanded and
// nothing outside the file is read.
void ReadXmlFile(const std::filesystem::path& path, XmlEvents& events);
void ReadXmlBytes(std::string_view bytes, const std::string& name, XmlEvents& events);
// The same, the bytes handed to the parser piece by piece, as a file is read:
// the events are the same whatever the size of the pieces.
void ReadXmlBytes(std::string_view bytes, const std::string& name, XmlEvents& events, size_t piece);

// The encodings the program reads and writes, by an XML declaration's label.
enum class XmlEncoding { Utf8, Utf16Le, Utf16Be, Latin1, Windows1252, Ascii, Unknown };
XmlEncoding EncodingOfLabel(std::string_view label);

}  // namespace enlazor
