#include "exchange/xml_reader.h"

#include <expat.h>

#include <algorithm>
#include <exception>
#include <memory>

#include "exchange/codec.h"
#include "exchange/failure.h"
#include "exchange/platform.h"

namespace enlazor {
namespace {

std::string Lower(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
  return out;
}

// The encoding label of an XML declaration at the start of the bytes, if any.
std::string DeclaredLabel(std::string_view bytes) {
  if (bytes.substr(0, 5) != "<?xml") return {};
  const size_t end = bytes.find("?>");
  if (end == std::string_view::npos || end > 4096) return {};
  const std::string_view decl = bytes.substr(0, end);
  size_t at = decl.find("encoding");
  if (at == std::string_view::npos) return {};
  at += 8;
  while (at < decl.size() && (decl[at] == ' ' || decl[at] == '=' || decl[at] == '\t')) ++at;
  if (at >= decl.size() || (decl[at] != '"' && decl[at] != '\'')) return {};
  const size_t close = decl.find(decl[at], at + 1);
  return close == std::string_view::npos ? std::string() : std::string(decl.substr(at + 1, close - at - 1));
}

bool StartsWithMark(std::string_view bytes) {
  for (const std::string_view mark : {std::string_view("\xEF\xBB\xBF"), std::string_view("\xFF\xFE"),
                                      std::string_view("\xFE\xFF"), std::string_view("<\0?\0", 4),
                                      std::string_view("\0<\0?", 4)}) {
    if (bytes.substr(0, mark.size()) == mark) return true;
  }
  return false;
}

// Expat asks for the encodings it does not know itself: Windows-1252 is the
// one the program adds.
int UnknownEncoding(void*, const XML_Char* name, XML_Encoding* info) {
  if (EncodingOfLabel(name) != XmlEncoding::Windows1252) return XML_STATUS_ERROR;
  for (int byte = 0; byte < 256; ++byte) info->map[byte] = static_cast<int>(AnsiToCodePoint(static_cast<unsigned char>(byte)));
  info->data = nullptr;
  info->convert = nullptr;
  info->release = nullptr;
  return XML_STATUS_OK;
}

std::string_view Describe(XML_Error error) {
  switch (error) {
    case XML_ERROR_NO_MEMORY: return "memoria insuficiente";
    case XML_ERROR_SYNTAX: return "error de sintaxis";
    case XML_ERROR_NO_ELEMENTS: return "el documento está vacío o termina antes de cerrar sus elementos";
    case XML_ERROR_INVALID_TOKEN: return "carácter no válido o marca mal escrita";
    case XML_ERROR_UNCLOSED_TOKEN: return "marca sin cerrar";
    case XML_ERROR_PARTIAL_CHAR: return "carácter incompleto";
    case XML_ERROR_TAG_MISMATCH: return "la etiqueta de cierre no corresponde a la abierta";
    case XML_ERROR_DUPLICATE_ATTRIBUTE: return "atributo repetido";
    case XML_ERROR_JUNK_AFTER_DOC_ELEMENT: return "hay contenido después del elemento raíz";
    case XML_ERROR_UNDEFINED_ENTITY: return "entidad no definida";
    case XML_ERROR_RECURSIVE_ENTITY_REF: return "entidad recursiva";
    case XML_ERROR_BAD_CHAR_REF: return "referencia a un carácter que XML no admite";
    case XML_ERROR_MISPLACED_XML_PI: return "declaración XML fuera del comienzo del archivo";
    case XML_ERROR_UNKNOWN_ENCODING: return "codificación desconocida";
    case XML_ERROR_INCORRECT_ENCODING: return "la codificación declarada no corresponde al contenido";
    case XML_ERROR_UNCLOSED_CDATA_SECTION: return "sección CDATA sin cerrar";
    case XML_ERROR_XML_DECL: return "declaración XML incorrecta";
    case XML_ERROR_AMPLIFICATION_LIMIT_BREACH: return "las entidades crecen sin medida";
    default: return "documento XML incorrecto";
  }
}

// One parse: expat's parser, the events' handler, and the first failure a handler raised.
class Parse {
 public:
  Parse(const std::string& name, XmlEvents& events, std::string_view firstBytes) : name_(name), events_(events) {
    const char* encoding = nullptr;
    if (!StartsWithMark(firstBytes)) {
      const std::string label = DeclaredLabel(firstBytes);
      switch (EncodingOfLabel(label)) {
        case XmlEncoding::Latin1:
        case XmlEncoding::Windows1252: encoding = "windows-1252"; break;  // bytes 0x80-0x9F as Windows writes them
        case XmlEncoding::Unknown:
          throw Failure(Format("Error en el archivo XML '%s', línea 1, columna 1: la codificación '%s' no se puede leer",
                               {name, label}));
        default: break;
      }
    }
    parser_.reset(XML_ParserCreate(encoding));
    if (!parser_) throw std::bad_alloc();
    XML_SetUserData(parser_.get(), this);
    XML_SetUnknownEncodingHandler(parser_.get(), UnknownEncoding, nullptr);
    XML_SetParamEntityParsing(parser_.get(), XML_PARAM_ENTITY_PARSING_NEVER);
    XML_SetElementHandler(parser_.get(), OnStart, OnEnd);
    XML_SetCharacterDataHandler(parser_.get(), OnCharacters);
    XML_SetXmlDeclHandler(parser_.get(), OnDeclaration);
    XML_SetCdataSectionHandler(parser_.get(), OnStartCdata, OnEndCdata);
    XML_SetCommentHandler(parser_.get(), OnComment);
    XML_SetProcessingInstructionHandler(parser_.get(), OnInstruction);
    XML_SetStartDoctypeDeclHandler(parser_.get(), OnDoctype);
  }

  // Hands bytes to the parser; last marks the end of the document.
  void Feed(const char* data, size_t size, bool last) {
    while (size > 0 || last) {
      const int piece = static_cast<int>(std::min<size_t>(size, 1 << 30));
      const bool final = last && static_cast<size_t>(piece) == size;
      if (XML_Parse(parser_.get(), data, piece, final) != XML_STATUS_OK) Raise();
      data += piece;
      size -= static_cast<size_t>(piece);
      if (final) return;
    }
  }

 private:
  struct Free {
    void operator()(XML_Parser parser) const { XML_ParserFree(parser); }
  };

  [[noreturn]] void Raise() {
    if (failure_) std::rethrow_exception(failure_);
    const XML_Error error = XML_GetErrorCode(parser_.get());
    if (error == XML_ERROR_NO_MEMORY) throw std::bad_alloc();
    RaiseHere(Describe(error));
  }

  [[noreturn]] void RaiseHere(std::string_view what) {
    throw Failure(Format("Error en el archivo XML '%s', línea %s, columna %s: %s",
                         {name_, std::to_string(XML_GetCurrentLineNumber(parser_.get())),
                          std::to_string(XML_GetCurrentColumnNumber(parser_.get()) + 1), what}));
  }

  // Runs a handler; a failure it raises stops the parse and is kept for the caller.
  template <typename Call>
  static void Guard(void* data, Call call) {
    auto* self = static_cast<Parse*>(data);
    if (self->failure_) return;
    try {
      try {
        call(*self);
      } catch (const XmlProblem& problem) {
        self->RaiseHere(problem.what());
      }
    } catch (...) {
      self->failure_ = std::current_exception();
      XML_StopParser(self->parser_.get(), XML_FALSE);
    }
  }
  static void OnStart(void* data, const XML_Char* name, const XML_Char** attributes) {
    Guard(data, [&](Parse& p) { p.events_.StartElement(name, attributes); });
  }
  static void OnEnd(void* data, const XML_Char*) {
    Guard(data, [&](Parse& p) { p.events_.EndElement(); });
  }
  static void OnCharacters(void* data, const XML_Char* text, int length) {
    Guard(data, [&](Parse& p) { p.events_.Characters(std::string_view(text, static_cast<size_t>(length))); });
  }
  static void OnDeclaration(void* data, const XML_Char* version, const XML_Char* encoding, int standalone) {
    Guard(data, [&](Parse& p) { p.events_.Declaration(version ? version : "", encoding ? encoding : "", standalone); });
  }
  static void OnStartCdata(void* data) {
    Guard(data, [&](Parse& p) { p.events_.StartCdata(); });
  }
  static void OnEndCdata(void* data) {
    Guard(data, [&](Parse& p) { p.events_.EndCdata(); });
  }
  static void OnComment(void* data, const XML_Char* text) {
    Guard(data, [&](Parse& p) { p.events_.Comment(text); });
  }
  static void OnInstruction(void* data, const XML_Char* target, const XML_Char* text) {
    Guard(data, [&](Parse& p) { p.events_.Instruction(target, text); });
  }
  static void OnDoctype(void* data, const XML_Char*, const XML_Char*, const XML_Char*, int) {
    Guard(data, [&](Parse& p) {
      throw Failure(Format("Error en el archivo XML '%s': las declaraciones DOCTYPE no se admiten", {p.name_}));
    });
  }

  std::string name_;
  XmlEvents& events_;
  std::unique_ptr<XML_ParserStruct, Free> parser_;
  std::exception_ptr failure_;
};

}  // namespace

XmlEncoding EncodingOfLabel(std::string_view label) {
  const std::string name = Lower(label);
  if (name.empty() || name == "utf-8" || name == "utf8") return XmlEncoding::Utf8;
  if (name == "iso-8859-1" || name == "iso8859-1" || name == "iso_8859-1" || name == "latin1" ||
      name == "latin-1" || name == "l1" || name == "iso-ir-100" || name == "cp819") {
    return XmlEncoding::Latin1;
  }
  if (name == "windows-1252" || name == "cp1252" || name == "x-cp1252" || name == "ms-ansi") {
    return XmlEncoding::Windows1252;
  }
  if (name == "us-ascii" || name == "ascii") return XmlEncoding::Ascii;
  if (name == "utf-16" || name == "utf-16le") return XmlEncoding::Utf16Le;
  if (name == "utf-16be") return XmlEncoding::Utf16Be;
  return XmlEncoding::Unknown;
}

void ReadXmlBytes(std::string_view bytes, const std::string& name, XmlEvents& events) {
  Parse parse(name, events, bytes.substr(0, 4096));
  parse.Feed(bytes.data(), bytes.size(), true);
}

void ReadXmlFile(const std::filesystem::path& path, XmlEvents& events) {
  const std::string name = platform::PathToUtf8(path);
  int error = 0;
  platform::File file = platform::File::OpenForReading(path, error);
  if (error != 0) throw Failure(Format("No se puede leer el archivo XML '%s': %s", {name, platform::ErrorText(error)}));
  constexpr size_t kChunk = 256 << 10;
  std::unique_ptr<char[]> buffer(new char[kChunk]);
  // The first bytes decide the encoding: read until the declaration is surely in them.
  size_t filled = 0;
  for (size_t n = 1; n > 0 && filled < 4096;) filled += n = file.Read(buffer.get() + filled, kChunk - filled, path);
  Parse parse(name, events, std::string_view(buffer.get(), filled));
  while (filled > 0) {
    parse.Feed(buffer.get(), filled, false);
    filled = file.Read(buffer.get(), kChunk, path);
  }
  parse.Feed(buffer.get(), 0, true);
}

}  // namespace enlazor
