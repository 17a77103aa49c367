// The XML document service: a document read whole (the template the import
// fills, or an output read back), searched and built; xml_writer.h writes it.
// Texts crossing this interface are UTF-8.
#pragma once

#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "exchange/platform/platform.h"
#include "exchange/xml/xml_writer.h"

namespace enlazor {

class XmlNodeList;
struct XmlNodeData;

class XmlNode {
 public:
  XmlNode() = default;
  explicit XmlNode(XmlNodeData* node) : node_(node) {}

  bool IsNull() const { return node_ == nullptr; }
  // The nesting level Save writes this element at: 0 for the document element.
  int Depth() const;
  std::string Name() const;
  // Child steps such as "dato" or "a/b[@seq=\"X\"]", evaluated on this node.
  XmlNodeList SelectNodes(std::string_view path) const;
  XmlNode SelectSingleNode(std::string_view path) const;
  // All descendant text and CDATA, concatenated in document order.
  std::string Text() const;
  void SetText(std::string_view text);
  std::string Attribute(std::string_view name) const;
  // Sets the attribute, after those set before.
  void SetAttribute(std::string_view name, std::string_view value);
  // Moves an element made by CreateElement of the same document to the end of this node's children.
  void AppendChild(XmlNode child);

 private:
  friend class XmlDocument;
  XmlNodeData* node_ = nullptr;
};

class XmlNodeList {
 public:
  XmlNodeList() = default;
  explicit XmlNodeList(std::vector<XmlNodeData*> nodes) : nodes_(std::move(nodes)) {}
  size_t Length() const { return nodes_.size(); }
  // Past the end: a null node, no failure.
  XmlNode Item(size_t index) const { return XmlNode(index < nodes_.size() ? nodes_[index] : nullptr); }

 private:
  std::vector<XmlNodeData*> nodes_;
};

class XmlDocument {
 public:
  XmlDocument();
  ~XmlDocument();
  XmlDocument(const XmlDocument&) = delete;
  XmlDocument& operator=(const XmlDocument&) = delete;

  // Deeper nesting than this is refused when a document is loaded: no real
  // document comes near it, and the indented output grows with the depth.
  static constexpr int kMaxDepth = 100;

  // Parses the whole file through the conforming reader; ill-formed input
  // raises naming the file and the position.
  void Load(const std::filesystem::path& path);
  // Parses bytes held in memory; name stands for the file in messages.
  void LoadBytes(std::string_view bytes, const std::string& name);
  XmlNode DocumentElement() const;
  XmlNodeList SelectNodes(std::string_view path) const;
  // A new element outside the tree, until AppendChild places it.
  XmlNode CreateElement(std::string_view name);
  // A place as the last child of parent whose elements produce writes, as
  // text, when the document is written: nothing of it is held in memory.
  void AppendProduced(XmlNode parent, std::function<void(XmlText&)> produce);
  // Writes the document in the encoding its declaration names (UTF-8 when it
  // names none). The target is replaced in one step.
  void Save(const std::filesystem::path& path);
  // The bytes Save would write, handed to sink a piece at a time.
  void Write(const std::function<void(std::string_view)>& sink);
  std::string Serialize();

 private:
  friend class XmlNode;
  friend class DocumentBuilder;
  XmlNodeData* NewNode(int kind, std::string name);
  void Clear();

  std::deque<XmlNodeData> nodes_;
  XmlNodeData* root_ = nullptr;
  XmlDeclaration declaration_;
  std::vector<std::function<void(XmlText&)>> produced_;
};

}  // namespace enlazor
