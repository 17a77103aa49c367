#include "exchange/xml/xml.h"

#include <algorithm>

#include "exchange/failure.h"
#include "exchange/xml/xml_reader.h"
#include "exchange/xml/xml_tree.h"

namespace enlazor {
namespace {

bool OnlyWhiteSpace(std::string_view text) { return text.find_first_not_of(" \t\r\n") == std::string_view::npos; }

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
    doc_.declaration_ = {true, std::string(version), std::string(encoding), standalone};
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
  declaration_ = {};
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

void XmlDocument::Write(const std::function<void(std::string_view)>& sink) {
  WriteDocument(*root_, declaration_, produced_, sink);
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
