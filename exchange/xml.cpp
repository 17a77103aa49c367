#include "exchange/xml.h"

#include <array>
#include <optional>

#include "exchange/codec.h"
#include "exchange/failure.h"
#include "exchange/xml_reader.h"

namespace enlazor {

enum Kind { kDocument, kElement, kText, kCdata, kComment, kInstruction, kProduced };

struct XmlNodeData {
  Kind kind = kElement;
  std::string name;   // element name or instruction target
  std::string value;  // text, CDATA, comment or instruction data; produced: its number
  std::vector<std::pair<std::string, std::string>> attributes;
  std::vector<XmlNodeData*> children;
  XmlNodeData* parent = nullptr;
  XmlDocument* document = nullptr;
};

namespace {

bool OnlyWhiteSpace(std::string_view text) { return text.find_first_not_of(" \t\r\n") == std::string_view::npos; }

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
    if (c == '&') out += "&amp;";
    else if (c == '<') out += "&lt;";
    else if (c == '>') out += "&gt;";
    else if (c == '"') out += "&quot;";
    else if (ForbiddenInXml(c)) RaiseForbidden(c);
    else out += "&#" + std::to_string(c) + ";";
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
  Encoder(XmlEncoding encoding, const std::function<void(std::string_view)>& sink) : encoding_(encoding), sink_(sink) {
    if (encoding_ == XmlEncoding::Utf16Le) out_ = "\xFF\xFE";
    if (encoding_ == XmlEncoding::Utf16Be) out_ = "\xFE\xFF";
  }
  bool CanWrite(char32_t cp) const {
    switch (encoding_) {
      case XmlEncoding::Latin1: return cp <= 0xFF;
      case XmlEncoding::Ascii: return cp < 0x80;
      case XmlEncoding::Windows1252: return CodePointToAnsi(cp).has_value();
      default: return true;
    }
  }
  void Put(std::string_view utf8) {
    if (encoding_ == XmlEncoding::Utf8) {
      out_ += utf8;
    } else {
      for (size_t i = 0; i < utf8.size();) PutCodePoint(NextCodePoint(utf8, i));
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

const std::string* FindAttribute(const XmlNodeData* node, std::string_view name) {
  for (const auto& [key, value] : node->attributes) {
    if (key == name) return &value;
  }
  return nullptr;
}

bool Matches(const XmlNodeData* node, const Step& step) {
  if (node->kind != kElement || node->name != step.name) return false;
  if (step.attribute.empty()) return true;
  const std::string* value = FindAttribute(node, step.attribute);
  return value && *value == step.value;
}

// The nodes a path of child steps selects from context, in document order.
std::vector<XmlNodeData*> SelectChildSteps(XmlNodeData* context, std::string_view path) {
  if (!path.empty() && path[0] == '/') {
    while (context->parent) context = context->parent;
    path.remove_prefix(1);
  }
  if (path.empty()) return {};
  std::vector<XmlNodeData*> current{context};
  for (const Step& step : ParseSteps(path)) {
    std::vector<XmlNodeData*> next;
    for (const XmlNodeData* node : current) {
      for (XmlNodeData* child : node->children) {
        if (Matches(child, step)) next.push_back(child);
      }
    }
    current.swap(next);
  }
  return current;
}

void Detach(XmlNodeData* node) {
  if (!node->parent) return;
  auto& siblings = node->parent->children;
  siblings.erase(std::find(siblings.begin(), siblings.end(), node));
  node->parent = nullptr;
}

void Attach(XmlNodeData* parent, XmlNodeData* child) {
  child->parent = parent;
  parent->children.push_back(child);
}

}  // namespace

// Builds a document's tree from the reader's events: text that is only white
// space between elements is not kept.
class DocumentBuilder : public XmlEvents {
 public:
  explicit DocumentBuilder(XmlDocument& doc) : doc_(doc), at_(doc.root_) {}

  void StartElement(std::string_view name, const char* const* attributes) override {
    FlushText();
    if (++depth_ > XmlDocument::kMaxDepth) {
      throw XmlProblem(Format("los elementos se anidan a más de %s niveles", {std::to_string(XmlDocument::kMaxDepth)}));
    }
    XmlNodeData* element = doc_.NewNode(kElement, std::string(name));
    for (size_t k = 0; attributes[k]; k += 2) element->attributes.emplace_back(attributes[k], attributes[k + 1]);
    Attach(at_, element);
    at_ = element;
  }
  void EndElement() override {
    FlushText();
    --depth_;
    at_ = at_->parent;
  }
  void Characters(std::string_view text) override { text_ += text; }
  void Declaration(std::string_view version, std::string_view encoding, int standalone) override {
    doc_.declared_ = true;
    doc_.version_ = version;
    doc_.encoding_ = encoding;
    doc_.standalone_ = standalone;
  }
  void StartCdata() override { FlushText(); }
  void EndCdata() override {
    Add(kCdata, "", std::move(text_));
    text_.clear();
  }
  void Comment(std::string_view text) override {
    FlushText();
    Add(kComment, "", std::string(text));
  }
  void Instruction(std::string_view target, std::string_view data) override {
    FlushText();
    Add(kInstruction, std::string(target), std::string(data));
  }

 private:
  void Add(Kind kind, std::string name, std::string value) {
    XmlNodeData* node = doc_.NewNode(kind, std::move(name));
    node->value = std::move(value);
    Attach(at_, node);
  }
  void FlushText() {
    if (!OnlyWhiteSpace(text_)) Add(kText, "", std::move(text_));
    text_.clear();
  }

  XmlDocument& doc_;
  XmlNodeData* at_;
  std::string text_;
  int depth_ = 0;
};

std::string XmlNode::Name() const { return node_ ? node_->name : std::string(); }

XmlNodeList XmlNode::SelectNodes(std::string_view path) const {
  if (!node_) return {};
  return XmlNodeList(SelectChildSteps(node_, path));
}

XmlNode XmlNode::SelectSingleNode(std::string_view path) const { return SelectNodes(path).Item(0); }

std::string XmlNode::Text() const {
  if (!node_) return {};
  if (node_->kind == kText || node_->kind == kCdata) return node_->value;
  std::string out;
  std::vector<const XmlNodeData*> pending(node_->children.rbegin(), node_->children.rend());
  while (!pending.empty()) {
    const XmlNodeData* at = pending.back();
    pending.pop_back();
    if (at->kind == kText || at->kind == kCdata) out += at->value;
    pending.insert(pending.end(), at->children.rbegin(), at->children.rend());
  }
  return out;
}

void XmlNode::SetText(std::string_view text) {
  while (!node_->children.empty()) Detach(node_->children.back());
  if (text.empty()) return;
  XmlNodeData* child = node_->document->NewNode(kText, "");
  child->value = text;
  Attach(node_, child);
}

std::string XmlNode::Attribute(std::string_view name) const {
  const std::string* value = node_ ? FindAttribute(node_, name) : nullptr;
  return value ? *value : std::string();
}

void XmlNode::SetAttribute(std::string_view name, std::string_view value) {
  for (auto& [key, old] : node_->attributes) {
    if (key == name) {
      old = value;
      return;
    }
  }
  node_->attributes.emplace_back(name, value);
}

void XmlNode::AppendChild(XmlNode child) {
  if (!child.node_ || child.node_->document != node_->document || child.node_->kind == kDocument) {
    throw Failure("No se puede añadir el nodo al documento XML");
  }
  for (const XmlNodeData* up = node_; up; up = up->parent) {
    if (up == child.node_) throw Failure("No se puede añadir el nodo al documento XML");
  }
  Detach(child.node_);
  Attach(node_, child.node_);
}

int XmlNode::Depth() const {
  int depth = -1;
  for (const XmlNodeData* at = node_; at && at->kind != kDocument; at = at->parent) ++depth;
  return depth;
}

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

XmlDocument::XmlDocument() { Clear(); }
XmlDocument::~XmlDocument() = default;

XmlNodeData* XmlDocument::NewNode(int kind, std::string name) {
  XmlNodeData& node = nodes_.emplace_back();
  node.kind = static_cast<Kind>(kind);
  node.name = std::move(name);
  node.document = this;
  return &node;
}

void XmlDocument::Clear() {
  nodes_.clear();
  produced_.clear();
  declared_ = false;
  version_.clear();
  encoding_.clear();
  standalone_ = -1;
  root_ = NewNode(kDocument, "");
}

void XmlDocument::Load(const std::filesystem::path& path) {
  Clear();
  DocumentBuilder builder(*this);
  try {
    ReadXmlFile(path, builder);
  } catch (...) {
    Clear();
    throw;
  }
}

void XmlDocument::LoadBytes(std::string_view bytes, const std::string& name) {
  Clear();
  DocumentBuilder builder(*this);
  try {
    ReadXmlBytes(bytes, name, builder);
  } catch (...) {
    Clear();
    throw;
  }
}

XmlNode XmlDocument::DocumentElement() const {
  for (XmlNodeData* child : root_->children) {
    if (child->kind == kElement) return XmlNode(child);
  }
  return {};
}

XmlNodeList XmlDocument::SelectNodes(std::string_view path) const { return XmlNodeList(SelectChildSteps(root_, path)); }

XmlNode XmlDocument::CreateElement(std::string_view name) { return XmlNode(NewNode(kElement, std::string(name))); }

void XmlDocument::AppendProduced(XmlNode parent, std::function<void(XmlText&)> produce) {
  XmlNodeData* node = NewNode(kProduced, "");
  node->value = std::to_string(produced_.size());
  produced_.push_back(std::move(produce));
  Attach(parent.node_, node);
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
    if (node->kind == kElement) Element(node, depth);
    else Simple(node);
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
      case kText: AppendEscaped(text, node->value, false); break;
      case kCdata: text = Cdata(node->value); break;
      case kComment: text = "<!--" + Plain(node->value) + "-->"; break;
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
      if (out_.CanWrite(cp)) out.append(text, start, i - start);
      else out += '?';
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

void XmlDocument::Write(const std::function<void(std::string_view)>& sink) {
  XmlEncoding encoding = EncodingOfLabel(encoding_);
  if (encoding == XmlEncoding::Unknown) encoding = XmlEncoding::Utf8;
  Encoder out(encoding, sink);
  if (declared_) {
    std::string declaration = "<?xml version=\"" + version_ + "\"";
    if (!encoding_.empty()) declaration += " encoding=\"" + encoding_ + "\"";
    if (standalone_ >= 0) declaration += standalone_ ? " standalone=\"yes\"" : " standalone=\"no\"";
    out.Put(declaration + "?>\n");
  } else {
    out.Put("<?xml version=\"1.0\"?>\n");
  }
  TreeWriter writer(out, produced_);
  for (const XmlNodeData* child : root_->children) writer.Node(child, 0);
  writer.End();
  out.Flush();
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
