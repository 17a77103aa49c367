#include "exchange/xml.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <sstream>

#include "exchange/codec.h"
#include "exchange/failure.h"
#include "exchange/platform.h"

namespace enlazor {
namespace {

enum class Encoding { Utf8, Utf16Le, Utf16Be, Latin1, Windows1252, Ascii, Unknown };

// pugixml's memory, carved from large blocks: a big Séneca file makes
// millions of nodes, and small pages cost more to touch than to fill.
class NodeArena {
 public:
  static void* Allocate(size_t size) { return Instance().Take(size); }
  static void Deallocate(void* memory) { Instance().Give(memory); }

 private:
  struct Block {
    explicit Block(size_t size) : memory(size) {}
    platform::LargeBlock memory;
    size_t used = 0;
    size_t live = 0;
  };
  struct alignas(16) Header {
    Block* block;
  };
  static NodeArena& Instance() {
    static NodeArena arena;
    return arena;
  }
  void* Take(size_t size) {
    constexpr size_t kBlockSize = 64 << 20;
    const size_t needed = sizeof(Header) + ((size + 15) & ~size_t{15});
    if (!current_ || current_->used + needed > current_->memory.Size()) {
      if (current_ && current_->live == 0) Release(current_);
      current_ = new Block(std::max(kBlockSize, needed));
    }
    auto* header = reinterpret_cast<Header*>(current_->memory.Data() + current_->used);
    header->block = current_;
    current_->used += needed;
    ++current_->live;
    return header + 1;
  }
  void Give(void* memory) {
    if (!memory) return;
    Block* block = (static_cast<Header*>(memory) - 1)->block;
    if (--block->live == 0) {
      if (block == current_) block->used = 0;  // keep the current block for the next document
      else Release(block);
    }
  }
  static void Release(Block* block) { delete block; }

  Block* current_ = nullptr;
};

// Installed once, before the first document is made.
const bool kArenaInstalled = [] {
  pugi::set_memory_management_functions(NodeArena::Allocate, NodeArena::Deallocate);
  return true;
}();

constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_declaration | pugi::parse_doctype |
                                   pugi::parse_embed_pcdata;

std::string Lower(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
  return out;
}

Encoding EncodingOfLabel(std::string_view label) {
  const std::string name = Lower(label);
  if (name.empty() || name == "utf-8" || name == "utf8") return Encoding::Utf8;
  if (name == "iso-8859-1" || name == "iso8859-1" || name == "iso_8859-1" || name == "latin1" ||
      name == "latin-1" || name == "l1" || name == "iso-ir-100" || name == "cp819") {
    return Encoding::Latin1;
  }
  if (name == "windows-1252" || name == "cp1252" || name == "x-cp1252" || name == "ms-ansi") {
    return Encoding::Windows1252;
  }
  if (name == "us-ascii" || name == "ascii") return Encoding::Ascii;
  if (name == "utf-16" || name == "utf-16le") return Encoding::Utf16Le;
  if (name == "utf-16be") return Encoding::Utf16Be;
  return Encoding::Unknown;
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

// Line and column (both from 1, the column in characters) of a byte offset of UTF-8 text.
std::pair<size_t, size_t> Position(std::string_view utf8, size_t offset) {
  offset = std::min(offset, utf8.size());
  size_t line = 1;
  size_t column = 1;
  for (size_t i = 0; i < offset; ++i) {
    if (utf8[i] == '\n') {
      ++line;
      column = 1;
    } else if ((static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80) {
      ++column;
    }
  }
  return {line, column};
}

[[noreturn]] void RaiseAt(const std::string& name, std::string_view text, size_t offset, std::string_view what) {
  const auto [line, column] = Position(text, offset);
  throw Failure(Format("Error en el archivo XML '%s', línea %s, columna %s: %s",
                       {name, std::to_string(line), std::to_string(column), what}));
}

// Length of the valid UTF-8 sequence at text[i], or 0.
size_t Utf8SequenceLength(std::string_view text, size_t i) {
  const auto lead = static_cast<unsigned char>(text[i]);
  if (lead < 0x80) return 1;
  size_t length = 0;
  char32_t cp = 0;
  if (lead >= 0xC2 && lead <= 0xDF) length = 2, cp = lead & 0x1F;
  else if (lead >= 0xE0 && lead <= 0xEF) length = 3, cp = lead & 0x0F;
  else if (lead >= 0xF0 && lead <= 0xF4) length = 4, cp = lead & 0x07;
  else return 0;
  if (i + length > text.size()) return 0;
  for (size_t k = 1; k < length; ++k) {
    const auto c = static_cast<unsigned char>(text[i + k]);
    if ((c & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (c & 0x3F);
  }
  const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < least[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return length;
}

// Bytes from at on that are plain ASCII, eight at a time where it can.
size_t AsciiRun(std::string_view text, size_t at) {
  size_t i = at;
  for (uint64_t word; i + 8 <= text.size(); i += 8) {
    std::memcpy(&word, text.data() + i, 8);
    if (word & 0x8080808080808080ull) break;
  }
  while (i < text.size() && static_cast<unsigned char>(text[i]) < 0x80) ++i;
  return i - at;
}

void CheckUtf8(const std::string& text, const std::string& name, bool asciiOnly) {
  for (size_t i = 0; i < text.size();) {
    i += AsciiRun(text, i);
    if (i == text.size()) break;
    const size_t length = Utf8SequenceLength(text, i);
    if (length == 0 || (asciiOnly && length > 1)) {
      RaiseAt(name, text, i, asciiOnly ? "carácter no válido en US-ASCII" : "secuencia no válida en UTF-8");
    }
    i += length;
  }
}

std::string FromUtf16(std::string_view bytes, bool bigEndian, const std::string& name) {
  std::string out;
  out.reserve(bytes.size() / 2);
  auto unit = [&](size_t i) {
    const auto a = static_cast<unsigned char>(bytes[i]);
    const auto b = static_cast<unsigned char>(bytes[i + 1]);
    return static_cast<char32_t>(bigEndian ? (a << 8 | b) : (b << 8 | a));
  };
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    char32_t cp = unit(i);
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 3 < bytes.size() && unit(i + 2) >= 0xDC00 && unit(i + 2) <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
      i += 2;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      RaiseAt(name, out, out.size(), "secuencia no válida en UTF-16");
    }
    AppendUtf8(out, cp);
  }
  if (bytes.size() % 2 != 0) RaiseAt(name, out, out.size(), "secuencia no válida en UTF-16");
  return out;
}

// An empty string with room for size bytes, backed by huge pages where it is large.
std::string LargeString(size_t size) {
  std::string out;
  out.reserve(size);
  platform::PreferHugePages(out.data(), size);
  return out;
}

std::string FromWindows1252(std::string_view bytes) {
  std::string out = LargeString(bytes.size() + bytes.size() / 16);
  for (size_t i = 0; i < bytes.size();) {
    const size_t run = AsciiRun(bytes, i);
    out.append(bytes.substr(i, run));
    i += run;
    if (i < bytes.size()) AppendUtf8(out, AnsiToCodePoint(static_cast<unsigned char>(bytes[i++])));
  }
  return out;
}

// The file's bytes as UTF-8, by its byte-order mark or its declaration.
std::string DecodeToUtf8(std::string bytes, const std::string& name) {
  const auto starts = [&](std::string_view prefix) { return std::string_view(bytes).substr(0, prefix.size()) == prefix; };
  if (starts("\xEF\xBB\xBF")) {
    bytes.erase(0, 3);
    CheckUtf8(bytes, name, false);
    return bytes;
  }
  if (starts("\xFF\xFE")) return FromUtf16(std::string_view(bytes).substr(2), false, name);
  if (starts("\xFE\xFF")) return FromUtf16(std::string_view(bytes).substr(2), true, name);
  if (starts(std::string_view("<\0?\0", 4))) return FromUtf16(bytes, false, name);
  if (starts(std::string_view("\0<\0?", 4))) return FromUtf16(bytes, true, name);
  const std::string label = DeclaredLabel(bytes);
  switch (EncodingOfLabel(label)) {
    case Encoding::Utf8: CheckUtf8(bytes, name, false); return bytes;
    case Encoding::Ascii: CheckUtf8(bytes, name, true); return bytes;
    case Encoding::Latin1:
    case Encoding::Windows1252: return FromWindows1252(bytes);
    default:
      throw Failure(Format("Error en el archivo XML '%s', línea 1, columna 1: la codificación '%s' no se puede leer",
                           {name, label}));
  }
}

std::string_view Describe(pugi::xml_parse_status status) {
  switch (status) {
    case pugi::status_out_of_memory: return "memoria insuficiente";
    case pugi::status_unrecognized_tag: return "etiqueta no reconocida";
    case pugi::status_bad_pi: return "declaración o instrucción de proceso incorrecta";
    case pugi::status_bad_comment: return "comentario incorrecto";
    case pugi::status_bad_cdata: return "sección CDATA incorrecta";
    case pugi::status_bad_doctype: return "declaración DOCTYPE incorrecta";
    case pugi::status_bad_pcdata: return "texto incorrecto";
    case pugi::status_bad_start_element: return "etiqueta de apertura incorrecta";
    case pugi::status_bad_attribute: return "atributo incorrecto";
    case pugi::status_bad_end_element: return "etiqueta de cierre incorrecta";
    case pugi::status_end_element_mismatch: return "la etiqueta de cierre no corresponde a la abierta";
    case pugi::status_no_document_element: return "el documento no tiene elemento raíz";
    default: return "documento XML incorrecto";
  }
}

struct Step {
  std::string name;
  std::string attribute;  // empty: no test
  std::string value;
};

std::vector<Step> ParseSteps(std::string_view path) {
  std::vector<Step> steps;
  size_t i = 0;
  while (i < path.size()) {
    Step step;
    while (i < path.size() && path[i] != '/' && path[i] != '[') step.name += path[i++];
    if (i < path.size() && path[i] == '[') {
      const size_t close = path.find(']', i);
      const std::string_view test = close == std::string_view::npos ? "" : path.substr(i + 1, close - i - 1);
      const size_t eq = test.find('=');
      if (test.size() < 5 || test[0] != '@' || eq == std::string_view::npos || eq + 2 >= test.size() ||
          (test[eq + 1] != '"' && test[eq + 1] != '\'') || test.back() != test[eq + 1]) {
        throw Failure(Format("Expresión de selección no admitida: %s", {path}));
      }
      step.attribute = std::string(test.substr(1, eq - 1));
      step.value = std::string(test.substr(eq + 2, test.size() - eq - 3));
      i = close + 1;
    }
    if (step.name.empty() || (i < path.size() && path[i] != '/')) {
      throw Failure(Format("Expresión de selección no admitida: %s", {path}));
    }
    steps.push_back(std::move(step));
    if (i < path.size()) ++i;
  }
  return steps;
}

bool Matches(pugi::xml_node node, const Step& step) {
  if (node.type() != pugi::node_element || step.name != node.name()) return false;
  return step.attribute.empty() || node.attribute(step.attribute.c_str()).value() == step.value;
}

// Appends the text in the target encoding; characters the encoding lacks
// become character references.
void EncodeInto(std::string& out, std::string_view utf8, Encoding encoding) {
  if (encoding == Encoding::Utf8) {
    out += utf8;
    return;
  }
  for (size_t i = 0; i < utf8.size();) {
    if (encoding != Encoding::Utf16Le) {
      const size_t run = AsciiRun(utf8, i);
      out.append(utf8.substr(i, run));
      i += run;
      if (i == utf8.size()) break;
    }
    const size_t start = i;
    size_t length = Utf8SequenceLength(utf8, i);
    if (length == 0) length = 1;
    i += length;
    char32_t cp = static_cast<unsigned char>(utf8[start]);
    if (length > 1) {
      cp &= 0x3F >> (length - 1);
      for (size_t k = 1; k < length; ++k) cp = (cp << 6) | (static_cast<unsigned char>(utf8[start + k]) & 0x3F);
    }
    if (encoding == Encoding::Utf16Le) {
      auto put = [&](char32_t u) { out += static_cast<char>(u & 0xFF); out += static_cast<char>(u >> 8); };
      if (cp >= 0x10000) {
        put(0xD800 + ((cp - 0x10000) >> 10));
        put(0xDC00 + ((cp - 0x10000) & 0x3FF));
      } else {
        put(cp);
      }
      continue;
    }
    std::optional<unsigned char> byte;
    if (encoding == Encoding::Latin1 && cp <= 0xFF) byte = static_cast<unsigned char>(cp);
    if (encoding == Encoding::Ascii && cp < 0x80) byte = static_cast<unsigned char>(cp);
    if (encoding == Encoding::Windows1252) byte = CodePointToAnsi(cp);
    if (byte) out += static_cast<char>(*byte);
    else out += "&#" + std::to_string(static_cast<uint32_t>(cp)) + ";";
  }
}

// Text and attribute values escaped as Save escapes them.
struct EscapeTable {
  std::array<bool, 256> text{}, attribute{};
  EscapeTable() {
    for (int c = 0; c < 0x20; ++c) attribute[c] = text[c] = c != '\t' && c != '\n' && c != '\r';
    attribute['\t'] = attribute['\n'] = attribute['\r'] = true;
    for (const unsigned char c : {'&', '<', '>'}) text[c] = attribute[c] = true;
    attribute['"'] = true;
  }
};

void AppendEscaped(std::string& out, std::string_view text, bool attribute) {
  static const EscapeTable table;
  const auto& special = attribute ? table.attribute : table.text;
  size_t run = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (!special[c]) continue;
    out.append(text.substr(run, i - run));
    run = i + 1;
    if (c == '&') out += "&amp;";
    else if (c == '<') out += "&lt;";
    else if (c == '>') out += "&gt;";
    else if (c == '"') out += "&quot;";
    else out += "&#" + std::to_string(c) + ";";
  }
  out.append(text.substr(run));
}

constexpr std::string_view kTextMark = "enlazor-texto";

struct StringWriter : pugi::xml_writer {
  std::string out;
  void write(const void* data, size_t size) override { out.append(static_cast<const char*>(data), size); }
};

std::string ReadFile(const std::filesystem::path& path) {
  int error = 0;
  auto file = platform::File::Open(path, error);
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) error = EISDIR;
  if (error != 0) {
    throw Failure(Format("No se puede leer el archivo XML '%s': %s", {path.string(), platform::ErrorText(error)}));
  }
  return file.ReadAllText(path);
}

}  // namespace

namespace {

// The nodes a path of child steps selects from context, in document order.
std::vector<pugi::xml_node> SelectChildSteps(pugi::xml_node context, std::string_view path) {
  const bool absolute = !path.empty() && path[0] == '/';
  if (absolute) {
    context = context.root();
    path.remove_prefix(1);
  }
  std::vector<pugi::xml_node> current{context};
  for (const Step& step : ParseSteps(path)) {
    std::vector<pugi::xml_node> next;
    for (const auto& node : current) {
      for (auto child = node.first_child(); child; child = child.next_sibling()) {
        if (Matches(child, step)) next.push_back(child);
      }
    }
    current.swap(next);
  }
  if (path.empty()) return {};
  return current;
}

}  // namespace

XmlNodeList XmlNode::SelectNodes(std::string_view path) const {
  if (!node_) return {};
  return XmlNodeList(SelectChildSteps(node_, path));
}

XmlNode XmlNode::SelectSingleNode(std::string_view path) const { return SelectNodes(path).Item(0); }

std::string XmlNode::Text() const {
  if (!node_) return {};
  if (node_.type() == pugi::node_pcdata || node_.type() == pugi::node_cdata) return node_.value();
  std::string out = node_.type() == pugi::node_element ? node_.value() : "";
  pugi::xml_node at = node_.first_child();
  while (at) {
    if (at.type() == pugi::node_pcdata || at.type() == pugi::node_cdata) out += at.value();
    if (at.type() == pugi::node_element) out += at.value();
    if (at.first_child()) {
      at = at.first_child();
      continue;
    }
    while (at && at != node_ && !at.next_sibling()) at = at.parent();
    if (!at || at == node_) break;
    at = at.next_sibling();
  }
  return out;
}

void XmlNode::SetText(std::string_view text) {
  while (node_.first_child()) node_.remove_child(node_.first_child());
  if (!node_.text().empty() || !text.empty()) node_.text().set(std::string(text).c_str());
}

std::string XmlNode::Attribute(std::string_view name) const { return node_.attribute(std::string(name).c_str()).value(); }

void XmlNode::SetAttribute(std::string_view name, std::string_view value) {
  const std::string key(name);
  auto attribute = node_.attribute(key.c_str());
  if (!attribute) attribute = node_.append_attribute(key.c_str());
  attribute.set_value(std::string(value).c_str());
}

void XmlNode::AppendChild(XmlNode child) {
  if (!node_.append_move(child.node_)) throw Failure("No se puede añadir el nodo al documento XML");
}

int XmlNode::Depth() const {
  int depth = -1;
  for (auto at = node_; at && at.type() != pugi::node_document; at = at.parent()) ++depth;
  return depth;
}

namespace {

void AppendStartTag(std::string& out, std::string_view name, XmlText::Attributes attributes) {
  out += '<';
  out += name;
  for (const auto& [key, value] : attributes) {
    out += ' ';
    out += key;
    out += "=\"";
    AppendEscaped(out, value, true);
    out += '"';
  }
}

}  // namespace

void XmlText::StartTag(std::string_view name, Attributes attributes) {
  EndPendingTag();
  text_.append(depth_, '\t');
  AppendStartTag(text_, name, attributes);
}

XmlText::LeafTag XmlText::MakeLeafTag(std::string_view name, Attributes attributes) {
  LeafTag tag;
  AppendStartTag(tag.start, name, attributes);
  tag.end = "</" + std::string(name) + ">\n";
  return tag;
}

void XmlText::Leaf(const LeafTag& tag, std::string_view text) {
  EndPendingTag();
  text_.append(depth_, '\t');
  text_ += tag.start;
  if (text.empty()) {
    text_ += " />\n";
    return;
  }
  text_ += '>';
  AppendEscaped(text_, text, false);
  text_ += tag.end;
}

void XmlText::EndPendingTag() {
  if (pending_) text_ += ">\n";
  pending_ = false;
}

void XmlText::Open(std::string_view name, Attributes attributes) {
  StartTag(name, attributes);
  pending_ = true;
  ++depth_;
}

void XmlText::Close(std::string_view name) {
  Spill(false);
  --depth_;
  if (pending_) {
    text_ += " />\n";
    pending_ = false;
    return;
  }
  text_.append(depth_, '\t');
  text_ += "</";
  text_ += name;
  text_ += ">\n";
}

void XmlText::Leaf(std::string_view name, Attributes attributes, std::string_view text) {
  StartTag(name, attributes);
  if (text.empty()) {
    text_ += " />\n";
    return;
  }
  text_ += '>';
  AppendEscaped(text_, text, false);
  text_ += "</";
  text_ += name;
  text_ += ">\n";
}

void XmlText::Append(const XmlText& other) {
  EndPendingTag();
  Spill(true);
  other.ForEachPiece([this](std::string_view piece) { Store(piece); });
}

void XmlText::Clear() {
  blocks_.clear();
  used_.clear();
  text_.clear();
  pending_ = false;
}

void XmlText::Spill(bool always) {
  constexpr size_t kWorkingSize = 256 << 10;
  if (text_.empty() || (!always && text_.size() < kWorkingSize)) return;
  Store(text_);
  text_.clear();
}

void XmlText::Store(std::string_view bytes) {
  constexpr size_t kBlockSize = 64 << 20;
  while (!bytes.empty()) {
    if (blocks_.empty() || used_.back() == blocks_.back().Size()) {
      blocks_.emplace_back(std::max(kBlockSize, bytes.size()));
      used_.push_back(0);
    }
    const size_t n = std::min(bytes.size(), blocks_.back().Size() - used_.back());
    std::memcpy(blocks_.back().Data() + used_.back(), bytes.data(), n);
    used_.back() += n;
    bytes.remove_prefix(n);
  }
}

XmlDocument::XmlDocument() = default;
XmlDocument::~XmlDocument() = default;

void XmlDocument::Load(const std::filesystem::path& path) {
  const std::string name = path.string();
  Parse(DecodeToUtf8(ReadFile(path), name), name, [&] { return DecodeToUtf8(ReadFile(path), name); });
}

void XmlDocument::LoadBytes(std::string bytes, const std::string& name) {
  const std::string original = bytes;
  Parse(DecodeToUtf8(std::move(bytes), name), name, [&] { return DecodeToUtf8(original, name); });
}

// Parses in place: the document keeps the text as its storage. Parsing writes
// into the text, so a failure's position is found in a fresh decoding.
void XmlDocument::Parse(std::string text, const std::string& name, const std::function<std::string()>& decodeAgain) {
  limbo_ = {};
  doc_.reset();
  buffer_ = std::move(text);
  const auto result = doc_.load_buffer_inplace(buffer_.data(), buffer_.size(), kParseOptions, pugi::encoding_utf8);
  if (!result) {
    doc_.reset();
    buffer_.clear();
    RaiseAt(name, decodeAgain(), static_cast<size_t>(result.offset), Describe(result.status));
  }
  int roots = 0;
  for (auto child : doc_.children()) {
    if (child.type() == pugi::node_doctype) {
      doc_.reset();
      buffer_.clear();
      throw Failure(Format("Error en el archivo XML '%s': las declaraciones DOCTYPE no se admiten", {name}));
    }
    if (child.type() == pugi::node_element && ++roots == 2) {
      // The parser takes several; a well-formed document has one.
      const auto offset = static_cast<size_t>(std::max<ptrdiff_t>(child.offset_debug() - 1, 0));
      doc_.reset();
      buffer_.clear();
      RaiseAt(name, decodeAgain(), offset, "hay más de un elemento raíz");
    }
  }
}

XmlNode XmlDocument::DocumentElement() const {
  for (auto child : doc_.children()) {
    if (child.type() == pugi::node_element && child != limbo_) return XmlNode(child);
  }
  return {};
}

XmlNodeList XmlDocument::SelectNodes(std::string_view path) const {
  return XmlNodeList(SelectChildSteps(doc_, path));
}

XmlNode XmlDocument::CreateElement(std::string_view name) {
  if (!limbo_) limbo_ = doc_.append_child(pugi::node_element);
  return XmlNode(limbo_.append_child(std::string(name).c_str()));
}

void XmlDocument::AppendText(XmlNode parent, XmlText text) {
  auto mark = parent.Raw().append_child(pugi::node_pi);
  mark.set_name(std::string(kTextMark).c_str());
  mark.set_value(std::to_string(texts_.size()).c_str());
  texts_.push_back(std::move(text));
}

void XmlDocument::Write(const std::function<void(std::string_view)>& sink) {
  if (limbo_) {
    doc_.remove_child(limbo_);
    limbo_ = {};
  }
  Encoding encoding = Encoding::Utf8;
  for (auto child : doc_.children()) {
    if (child.type() == pugi::node_declaration) encoding = EncodingOfLabel(child.attribute("encoding").value());
  }
  if (encoding == Encoding::Unknown || encoding == Encoding::Utf16Be) encoding = Encoding::Utf8;
  StringWriter writer;
  doc_.save(writer, "\t", pugi::format_default, pugi::encoding_utf8);

  constexpr size_t kChunk = 1 << 20;
  std::string out;
  out.reserve(2 * kChunk + 64);
  if (encoding == Encoding::Utf16Le) out += "\xFF\xFE";
  auto put = [&](std::string_view utf8) {
    for (size_t at = 0; at < utf8.size(); at += kChunk) {
      EncodeInto(out, utf8.substr(at, kChunk), encoding);
      if (out.size() >= kChunk) {
        sink(out);
        out.clear();
      }
    }
  };
  // Each mark's line gives way to the text it stands for.
  const std::string_view saved = writer.out;
  size_t done = 0;
  for (size_t k = 0; k < texts_.size(); ++k) {
    const std::string mark = "<?" + std::string(kTextMark) + " " + std::to_string(k) + "?>\n";
    const size_t at = saved.find(mark, done);
    if (at == std::string::npos) continue;
    const size_t lineStart = saved.find_last_not_of('\t', at - 1) + 1;
    put(saved.substr(done, lineStart - done));
    texts_[k].ForEachPiece(put);
    done = at + mark.size();
  }
  put(saved.substr(done));
  if (!out.empty()) sink(out);
}

std::string XmlDocument::Serialize() {
  std::string bytes;
  Write([&](std::string_view piece) { bytes += piece; });
  return bytes;
}

void XmlDocument::Save(const std::filesystem::path& path) {
  platform::WriteFileAtomically(path, [&](const auto& sink) { Write(sink); });
}

}  // namespace enlazor
