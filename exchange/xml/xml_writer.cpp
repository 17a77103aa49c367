#include "exchange/xml/xml_writer.h"

#include <algorithm>
#include <array>

#include "exchange/codec.h"
#include "exchange/failure.h"
#include "exchange/xml/xml_reader.h"
#include "exchange/xml/xml_tree.h"

namespace enlazor {
namespace {

// Code point at text[i] of valid UTF-8 (the reader and the codec give no other); advances i.
char32_t NextCodePoint(std::string_view text, size_t& i) {
  const auto lead = static_cast<unsigned char>(text[i++]);
  if (lead < 0x80) return lead;
  const int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : 1;
  char32_t cp = lead & (0x3F >> extra);
  for (int k = 0; k < extra && i < text.size(); ++k) cp = (cp << 6) | (static_cast<unsigned char>(text[i++]) & 0x3F);
  return cp;
}

// Characters XML 1.0 cannot hold at all, not even as references.
bool ForbiddenInXml(unsigned char c) { return c < 0x20 && c != '\t' && c != '\n' && c != '\r'; }

[[noreturn]] void RaiseForbidden(unsigned char c) {
  throw Failure(Format("No se puede escribir en XML el carácter de control de código %s", {std::to_string(c)}));
}

// Text and attribute values escaped; characters XML forbids are refused.
void AppendEscaped(std::string& out, std::string_view text, bool attribute) {
  static const auto special = [] {
    std::array<unsigned char, 256> table{};  // 1 in text and attributes, 2 in attributes only
    for (int c = 0; c < 0x20; ++c) table[c] = 1;
    table['\t'] = table['\n'] = 2;
    for (const unsigned char c : {'&', '<', '>'}) table[c] = 1;
    table['"'] = 2;
    return table;
  }();
  size_t run = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (special[c] == 0 || (special[c] == 2 && !attribute)) continue;
    out.append(text.substr(run, i - run));
    run = i + 1;
    if (c == '&')
      out += "&amp;";
    else if (c == '<')
      out += "&lt;";
    else if (c == '>')
      out += "&gt;";
    else if (c == '"')
      out += "&quot;";
    else if (ForbiddenInXml(c))
      RaiseForbidden(c);
    else
      out += "&#" + std::to_string(c) + ";";
  }
  out.append(text.substr(run));
}

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

// Bytes in the output's encoding, from UTF-8 pieces. Characters the encoding
// lacks become character references: the writer passes only text and
// attribute values where they are allowed.
class Encoder {
 public:
  // UTF-16 begins with its byte-order mark.
  Encoder(XmlEncoding encoding, const std::function<void(std::string_view)>& sink)
      : encoding_(encoding),
        sink_(sink),
        out_(encoding == XmlEncoding::Utf16Le   ? "\xFF\xFE"
             : encoding == XmlEncoding::Utf16Be ? "\xFE\xFF"
                                                : "") {}
  bool CanWrite(char32_t cp) const {
    switch (encoding_) {
      case XmlEncoding::Latin1:
        return cp <= 0xFF;
      case XmlEncoding::Ascii:
        return cp < 0x80;
      case XmlEncoding::Windows1252:
        return CodePointToAnsi(cp).has_value();
      default:
        return true;
    }
  }
  void Put(std::string_view utf8) {
    if (encoding_ == XmlEncoding::Utf8) {
      out_ += utf8;
    } else if (encoding_ == XmlEncoding::Utf16Le || encoding_ == XmlEncoding::Utf16Be) {
      for (size_t i = 0; i < utf8.size();) PutCodePoint(NextCodePoint(utf8, i));
    } else {
      // Single-byte encodings write ASCII as it is: almost all of a timetable, copied in runs.
      for (size_t i = 0; i < utf8.size();) {
        const size_t run = std::find_if(utf8.begin() + i, utf8.end(), [](char c) { return c & 0x80; }) - utf8.begin();
        out_.append(utf8, i, run - i);
        i = run;
        if (i < utf8.size()) PutCodePoint(NextCodePoint(utf8, i));
      }
    }
    if (out_.size() >= (1 << 20)) Flush();
  }
  void Flush() {
    if (!out_.empty()) sink_(out_);
    out_.clear();
  }

 private:
  void PutCodePoint(char32_t cp) {
    if (encoding_ == XmlEncoding::Utf16Le || encoding_ == XmlEncoding::Utf16Be) {
      if (cp >= 0x10000) {
        PutUnit(0xD800 + ((cp - 0x10000) >> 10));
        PutUnit(0xDC00 + ((cp - 0x10000) & 0x3FF));
      } else {
        PutUnit(cp);
      }
    } else if (!CanWrite(cp)) {
      out_ += "&#" + std::to_string(static_cast<uint32_t>(cp)) + ";";
    } else {
      out_ += static_cast<char>(encoding_ == XmlEncoding::Windows1252 ? *CodePointToAnsi(cp) : cp);
    }
  }
  void PutUnit(char32_t unit) {
    const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
    out_ += encoding_ == XmlEncoding::Utf16Le ? low : high;
    out_ += encoding_ == XmlEncoding::Utf16Le ? high : low;
  }

  XmlEncoding encoding_;
  const std::function<void(std::string_view)>& sink_;
  std::string out_;
};

}  // namespace

XmlText::XmlText(int depth, std::function<void(std::string_view)> sink) : sink_(std::move(sink)), depth_(depth) {}

XmlText::~XmlText() = default;

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
  --depth_;
  if (pending_) {
    text_ += " />\n";
    pending_ = false;
  } else {
    text_.append(depth_, '\t');
    text_ += "</";
    text_ += name;
    text_ += ">\n";
  }
  FlushIfLarge();
}

void XmlText::Leaf(std::string_view name, Attributes attributes, std::string_view text) {
  StartTag(name, attributes);
  if (text.empty()) {
    text_ += " />\n";
  } else {
    text_ += '>';
    AppendEscaped(text_, text, false);
    text_ += "</";
    text_ += name;
    text_ += ">\n";
  }
}

void XmlText::FlushIfLarge() {
  if (text_.size() >= (256 << 10)) Flush();
}

void XmlText::Flush() {
  EndPendingTag();
  if (!text_.empty()) sink_(text_);
  text_.clear();
}

namespace {

// Writes the tree as the document service always has: one tab per level, an
// element whose first child is text on one line, an empty element as "<a />".
class TreeWriter {
 public:
  TreeWriter(Encoder& out, const std::vector<std::function<void(XmlText&)>>& produced)
      : out_(out), produced_(produced) {}

  void Node(const XmlNodeData* node, int depth) {
    if (node->kind == kText || node->kind == kCdata) {
      Simple(node);
      newline_ = indent_ = false;
      return;
    }
    if (node->kind == kProduced) {
      if (newline_) out_.Put("\n");
      XmlText text(depth, [&](std::string_view piece) { out_.Put(piece); });
      produced_[std::stoul(node->value)](text);
      text.Flush();
      newline_ = false;
      indent_ = true;
      return;
    }
    Indent(depth);
    newline_ = indent_ = true;
    if (node->kind == kElement)
      Element(node, depth);
    else
      Simple(node);
  }

  void End() {
    if (newline_) out_.Put("\n");
  }

 private:
  void Indent(int depth) {
    if (newline_) out_.Put("\n");
    if (indent_) out_.Put(std::string(static_cast<size_t>(depth), '\t'));
  }

  void Element(const XmlNodeData* node, int depth) {
    std::string tag = "<";
    tag += Name(node->name);
    for (const auto& [key, value] : node->attributes) {
      tag += ' ';
      tag += Name(key);
      tag += "=\"";
      AppendEscaped(tag, value, true);
      tag += '"';
    }
    if (node->children.empty()) {
      out_.Put(tag + " />");
      return;
    }
    out_.Put(tag + ">");
    for (const XmlNodeData* child : node->children) Node(child, depth + 1);
    Indent(depth);
    out_.Put("</" + Name(node->name) + ">");
    newline_ = indent_ = true;
  }

  void Simple(const XmlNodeData* node) {
    std::string text;
    switch (node->kind) {
      case kText:
        AppendEscaped(text, node->value, false);
        break;
      case kCdata:
        text = Cdata(node->value);
        break;
      case kComment:
        text = "<!--" + Plain(node->value) + "-->";
        break;
      default:
        text = "<?" + Name(node->name) + (node->value.empty() ? "" : " " + Plain(node->value)) + "?>";
        break;
    }
    out_.Put(text);
  }

  // A name must be written as it is: an encoding that lacks one of its characters cannot hold the document.
  std::string Name(const std::string& name) const {
    for (size_t i = 0; i < name.size();) {
      if (!out_.CanWrite(NextCodePoint(name, i))) {
        throw Failure(Format("El nombre '%s' no se puede escribir en la codificación del documento", {name}));
      }
    }
    return name;
  }

  // Comments and instructions know no references: a character the encoding lacks becomes "?".
  std::string Plain(const std::string& text) const {
    std::string out;
    for (size_t i = 0; i < text.size();) {
      const size_t start = i;
      const char32_t cp = NextCodePoint(text, i);
      if (out_.CanWrite(cp))
        out.append(text, start, i - start);
      else
        out += '?';
    }
    return out;
  }

  // CDATA knows no references either: the section is closed around such a character.
  std::string Cdata(const std::string& text) const {
    std::string out = "<![CDATA[";
    for (size_t i = 0; i < text.size();) {
      const size_t start = i;
      const char32_t cp = NextCodePoint(text, i);
      if (text.compare(start, 3, "]]>") == 0) {
        out += "]]]]><![CDATA[>";
        i = start + 3;
      } else if (out_.CanWrite(cp)) {
        out.append(text, start, i - start);
      } else {
        out += "]]>&#" + std::to_string(static_cast<uint32_t>(cp)) + ";<![CDATA[";
      }
    }
    return out + "]]>";
  }

  Encoder& out_;
  const std::vector<std::function<void(XmlText&)>>& produced_;
  bool newline_ = false;
  bool indent_ = true;
};

}  // namespace

void WriteDocument(const XmlNodeData& root, const XmlDeclaration& declaration,
                   const std::vector<std::function<void(XmlText&)>>& produced,
                   const std::function<void(std::string_view)>& sink) {
  XmlEncoding encoding = EncodingOfLabel(declaration.encoding);
  // A label this writer cannot write in (read at all only because a
  // byte-order mark decided) gives UTF-8, and the declaration says so.
  const bool known = encoding != XmlEncoding::Unknown;
  if (!known) encoding = XmlEncoding::Utf8;
  Encoder out(encoding, sink);
  if (declaration.declared) {
    std::string text = "<?xml version=\"" + declaration.version + "\"";
    if (!declaration.encoding.empty()) text += " encoding=\"" + (known ? declaration.encoding : "UTF-8") + "\"";
    if (declaration.standalone >= 0) text += declaration.standalone ? " standalone=\"yes\"" : " standalone=\"no\"";
    out.Put(text + "?>\n");
  } else {
    out.Put("<?xml version=\"1.0\"?>\n");
  }
  TreeWriter writer(out, produced);
  for (const XmlNodeData* child : root.children) writer.Node(child, 0);
  writer.End();
  out.Flush();
}

}  // namespace enlazor
