#include "exchange/xml/xml_reader.h"

#include <expat.h>

#include <algorithm>
#include <exception>
#include <memory>
#include <vector>

#include "exchange/codec.h"
#include "exchange/failure.h"
#include "exchange/platform/platform.h"

namespace enlazor {
namespace {

std::string Lower(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
  return out;
}

// The encoding a byte-order mark at the start of the bytes names: it decides,
// whatever the declaration says after it.
const char* MarkedEncoding(std::string_view bytes) {
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") return "UTF-8";
  if (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF") return "UTF-16";
  return nullptr;
}

// Bytes 0x80-0x9F of a file declared ISO-8859-1 reach the handlers as
// U+0080-U+009F; Séneca's files mean Windows-1252 by them (the euro sign,
// curly quotes), and so does this reader, whatever the declaration's form.
bool HasC1(std::string_view utf8) {
  for (size_t at = utf8.find('\xC2'); at != std::string_view::npos && at + 1 < utf8.size();
       at = utf8.find('\xC2', at + 1)) {
    if (static_cast<unsigned char>(utf8[at + 1]) < 0xA0) return true;
  }
  return false;
}

std::string AsWindows1252(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size() + 8);
  for (size_t i = 0; i < utf8.size(); ++i) {
    const auto next = i + 1 < utf8.size() ? static_cast<unsigned char>(utf8[i + 1]) : 0;
    if (utf8[i] == '\xC2' && next >= 0x80 && next < 0xA0) {
      AppendUtf8(out, AnsiToCodePoint(next));
      ++i;
    } else {
      out += utf8[i];
    }
  }
  return out;
}

// Expat asks for the encodings it does not know itself: Windows-1252 is the
// one the program adds.
int UnknownEncoding(void* data, const XML_Char* name, XML_Encoding* info) {
  *static_cast<std::string*>(data) = name;
  const XmlEncoding encoding = EncodingOfLabel(name);
  if (encoding != XmlEncoding::Windows1252 && encoding != XmlEncoding::Latin1) return XML_STATUS_ERROR;
  for (int byte = 0; byte < 256; ++byte)
    info->map[byte] = static_cast<int>(AnsiToCodePoint(static_cast<unsigned char>(byte)));
  info->data = nullptr;
  info->convert = nullptr;
  info->release = nullptr;
  return XML_STATUS_OK;
}

std::string_view Describe(XML_Error error) {
  switch (error) {
    case XML_ERROR_NO_MEMORY:
      return "memoria insuficiente";
    case XML_ERROR_SYNTAX:
      return "error de sintaxis";
    case XML_ERROR_NO_ELEMENTS:
      return "el documento está vacío o termina antes de cerrar sus elementos";
    case XML_ERROR_INVALID_TOKEN:
      return "carácter no válido o marca mal escrita";
    case XML_ERROR_UNCLOSED_TOKEN:
      return "marca sin cerrar";
    case XML_ERROR_PARTIAL_CHAR:
      return "carácter incompleto";
    case XML_ERROR_TAG_MISMATCH:
      return "la etiqueta de cierre no corresponde a la abierta";
    case XML_ERROR_DUPLICATE_ATTRIBUTE:
      return "atributo repetido";
    case XML_ERROR_JUNK_AFTER_DOC_ELEMENT:
      return "hay contenido después del elemento raíz";
    case XML_ERROR_UNDEFINED_ENTITY:
      return "entidad no definida";
    case XML_ERROR_RECURSIVE_ENTITY_REF:
      return "entidad recursiva";
    case XML_ERROR_BAD_CHAR_REF:
      return "referencia a un carácter que XML no admite";
    case XML_ERROR_MISPLACED_XML_PI:
      return "declaración XML fuera del comienzo del archivo";
    case XML_ERROR_UNKNOWN_ENCODING:
      return "codificación desconocida";
    case XML_ERROR_INCORRECT_ENCODING:
      return "la codificación declarada no corresponde al contenido";
    case XML_ERROR_UNCLOSED_CDATA_SECTION:
      return "sección CDATA sin cerrar";
    case XML_ERROR_XML_DECL:
      return "declaración XML incorrecta";
    case XML_ERROR_AMPLIFICATION_LIMIT_BREACH:
      return "las entidades crecen sin medida";
    default:
      return "documento XML incorrecto";
  }
}

// One parse: expat's parser, the events' handler, and the first failure a handler raised.
class Parse {
 public:
  Parse(const std::string& name, XmlEvents& events, std::string_view firstBytes)
      : name_(name), events_(events), marked_(MarkedEncoding(firstBytes)) {
    // A byte-order mark overrides the declaration: expat reads the rest as it says.
    parser_.reset(XML_ParserCreate(marked_));
    if (!parser_) throw std::bad_alloc();
    XML_SetUserData(parser_.get(), this);
    XML_SetUnknownEncodingHandler(parser_.get(), UnknownEncoding, &unknown_);
    XML_SetParamEntityParsing(parser_.get(), XML_PARAM_ENTITY_PARSING_NEVER);
    XML_SetElementHandler(parser_.get(), OnStart, OnEnd);
    XML_SetCharacterDataHandler(parser_.get(), OnCharacters);
    XML_SetXmlDeclHandler(parser_.get(), OnDeclaration);
    XML_SetCdataSectionHandler(parser_.get(), OnStartCdata, OnEndCdata);
    XML_SetCommentHandler(parser_.get(), OnComment);
    XML_SetProcessingInstructionHandler(parser_.get(), OnInstruction);
    XML_SetStartDoctypeDeclHandler(parser_.get(), OnDoctype);
  }

  XML_Parser Parser() const { return parser_.get(); }

  // Parses the bytes just read into expat's own buffer.
  void FeedBuffer(size_t size, bool last) {
    if (XML_ParseBuffer(parser_.get(), static_cast<int>(size), last) != XML_STATUS_OK) Raise();
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
    if (error == XML_ERROR_UNKNOWN_ENCODING) {
      throw Failure(Format("Error en el archivo XML '%s', línea 1, columna 1: la codificación '%s' no se puede leer",
                           {name_, unknown_}));
    }
    const bool badBytes =
        error == XML_ERROR_INVALID_TOKEN || error == XML_ERROR_PARTIAL_CHAR || error == XML_ERROR_INCORRECT_ENCODING;
    if (badBytes && marked_ && !declared_.empty() && EncodingOfLabel(declared_) != EncodingOfLabel(marked_)) {
      RaiseHere(
          Format("la marca del principio del archivo dice %s y la declaración dice %s, y el archivo tiene bytes "
                 "que no son %s",
                 {marked_, declared_, marked_}));
    }
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
    Guard(data, [&](Parse& p) {
      bool windows = false;  // an attribute with a Windows character: rare, so copied only then
      for (size_t k = 1; p.windows1252_ && attributes[k - 1] && !windows; k += 2) windows = HasC1(attributes[k]);
      if (!windows) return p.events_.StartElement(name, attributes);
      std::vector<std::string> mapped;  // attribute values with the Windows characters
      std::vector<const char*> pointers;
      for (size_t k = 0; attributes[k]; ++k)
        mapped.push_back(HasC1(attributes[k]) ? AsWindows1252(attributes[k]) : attributes[k]);
      for (const auto& text : mapped) pointers.push_back(text.c_str());
      pointers.push_back(nullptr);
      p.events_.StartElement(name, pointers.data());
    });
  }
  static void OnEnd(void* data, const XML_Char*) {
    Guard(data, [&](Parse& p) { p.events_.EndElement(); });
  }
  static void OnCharacters(void* data, const XML_Char* text, int length) {
    Guard(data, [&](Parse& p) { p.events_.Characters(p.Text(std::string_view(text, static_cast<size_t>(length)))); });
  }
  static void OnDeclaration(void* data, const XML_Char* version, const XML_Char* encoding, int standalone) {
    Guard(data, [&](Parse& p) {
      const std::string_view v = version ? version : "";
      if (v.size() < 3 || v.substr(0, 2) != "1." || v.find_first_not_of("0123456789", 2) != std::string_view::npos) {
        throw XmlProblem(Format("la versión de XML '%s' no se puede leer: Enlazor lee XML 1.0", {v}));
      }
      p.declared_ = encoding ? encoding : "";
      const XmlEncoding declared = EncodingOfLabel(p.declared_);
      p.windows1252_ = !p.marked_ && (declared == XmlEncoding::Latin1 || declared == XmlEncoding::Windows1252);
      p.events_.Declaration(v, p.declared_, standalone);
    });
  }
  static void OnStartCdata(void* data) {
    Guard(data, [&](Parse& p) { p.events_.StartCdata(); });
  }
  static void OnEndCdata(void* data) {
    Guard(data, [&](Parse& p) { p.events_.EndCdata(); });
  }
  static void OnComment(void* data, const XML_Char* text) {
    Guard(data, [&](Parse& p) { p.events_.Comment(p.Text(text)); });
  }
  static void OnInstruction(void* data, const XML_Char* target, const XML_Char* text) {
    Guard(data, [&](Parse& p) { p.events_.Instruction(target, p.Text(text)); });
  }

  // A text as the document means it: the Windows characters of an ISO-8859-1 file mapped.
  std::string_view Text(std::string_view text) {
    if (!windows1252_ || !HasC1(text)) return text;
    return mapped_ = AsWindows1252(text);
  }
  static void OnDoctype(void* data, const XML_Char*, const XML_Char*, const XML_Char*, int) {
    Guard(data, [&](Parse& p) {
      throw Failure(Format("Error en el archivo XML '%s': las declaraciones DOCTYPE no se admiten", {p.name_}));
    });
  }

  std::string name_;
  XmlEvents& events_;
  const char* marked_;    // the encoding a byte-order mark named, or null
  std::string declared_;  // the encoding the declaration named
  std::string unknown_;   // an encoding expat asked for and this reader does not know
  bool windows1252_ = false;
  std::string mapped_;
  std::unique_ptr<XML_ParserStruct, Free> parser_;
  std::exception_ptr failure_;
};

}  // namespace

XmlEncoding EncodingOfLabel(std::string_view label) {
  const std::string name = Lower(label);
  if (name.empty() || name == "utf-8" || name == "utf8") return XmlEncoding::Utf8;
  if (name == "iso-8859-1" || name == "iso8859-1" || name == "iso_8859-1" || name == "latin1" || name == "latin-1" ||
      name == "l1" || name == "iso-ir-100" || name == "cp819") {
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
  Parse parse(name, events, bytes.substr(0, 4));
  parse.Feed(bytes.data(), bytes.size(), true);
}

void ReadXmlBytes(std::string_view bytes, const std::string& name, XmlEvents& events, size_t piece) {
  Parse parse(name, events, bytes.substr(0, 4));
  for (size_t at = 0; at < bytes.size(); at += piece)
    parse.Feed(bytes.data() + at, std::min(piece, bytes.size() - at), false);
  parse.Feed(bytes.data(), 0, true);
}

void ReadXmlFile(const std::filesystem::path& path, XmlEvents& events) {
  const std::string name = platform::PathToUtf8(path);
  int error = 0;
  platform::File file = platform::File::OpenForReading(path, error);
  if (error != 0) throw Failure(Format("No se puede leer el archivo XML '%s': %s", {name, platform::ErrorText(error)}));
  // The first bytes say whether a byte-order mark decides the encoding.
  char first[4];
  size_t filled = 0;
  for (size_t n = 1; n > 0 && filled < sizeof first;)
    filled += n = file.Read(first + filled, sizeof first - filled, path);
  Parse parse(name, events, std::string_view(first, filled));
  parse.Feed(first, filled, false);
  // Straight into expat's own buffer, in large pieces: no copy of ours.
  constexpr int kChunk = 1 << 20;
  for (;;) {
    void* buffer = XML_GetBuffer(parse.Parser(), kChunk);
    if (!buffer) throw std::bad_alloc();
    const size_t n = file.Read(static_cast<char*>(buffer), kChunk, path);
    parse.FeedBuffer(n, n == 0);
    if (n == 0) return;
  }
}

}  // namespace enlazor
