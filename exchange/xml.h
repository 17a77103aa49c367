// The XML document service: Séneca documents loaded, searched, built and
// saved. Texts crossing this interface are UTF-8.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

#include "exchange/platform.h"

namespace enlazor {

class XmlNodeList;

class XmlNode {
 public:
  XmlNode() = default;
  explicit XmlNode(pugi::xml_node node) : node_(node) {}

  bool IsNull() const { return !node_; }
  // The nesting level Save writes this element at: 0 for the document element.
  int Depth() const;
  std::string Name() const { return node_.name(); }
  // Child steps such as "dato" or "a/b[@seq=\"X\"]", evaluated on this node.
  XmlNodeList SelectNodes(std::string_view path) const;
  XmlNode SelectSingleNode(std::string_view path) const;
  // All descendant text and CDATA, concatenated in document order.
  std::string Text() const;
  void SetText(std::string_view text);
  std::string Attribute(std::string_view name) const;
  void SetAttribute(std::string_view name, std::string_view value);
  // Moves a node made by CreateElement of the same document to the end of this node's children.
  void AppendChild(XmlNode child);
  pugi::xml_node Raw() const { return node_; }

 private:
  pugi::xml_node node_;
};

class XmlNodeList {
 public:
  XmlNodeList() = default;
  explicit XmlNodeList(std::vector<pugi::xml_node> nodes) : nodes_(std::move(nodes)) {}
  size_t Length() const { return nodes_.size(); }
  // Past the end: a null node, no failure.
  XmlNode Item(size_t index) const { return index < nodes_.size() ? XmlNode(nodes_[index]) : XmlNode(); }

 private:
  std::vector<pugi::xml_node> nodes_;
};

// Elements written straight to text, as Save writes nodes, for a block too
// large to hold as nodes (the regular timetables of a whole school).
class XmlText {
 public:
  using Attributes = std::initializer_list<std::pair<std::string_view, std::string_view>>;
  // depth: the nesting level the first element is written at.
  explicit XmlText(int depth) : depth_(depth) {}

  void Open(std::string_view name, Attributes attributes);
  void Close(std::string_view name);
  // An element holding only a text; without text when the text is empty.
  void Leaf(std::string_view name, Attributes attributes, std::string_view text);
  // The same for a tag written many times: its start and end made once.
  struct LeafTag {
    std::string start, end;  // "<name a=\"v\"" and "</name>\n"
  };
  static LeafTag MakeLeafTag(std::string_view name, Attributes attributes);
  void Leaf(const LeafTag& tag, std::string_view text);
  // Another text written at this one's current depth.
  void Append(const XmlText& other);
  // Empty again, at the same depth, keeping its memory for the next text.
  void Clear();
  int Depth() const { return depth_; }
  // The text, piece by piece, in order.
  template <typename Sink>
  void ForEachPiece(Sink sink) const {
    for (size_t k = 0; k < blocks_.size(); ++k) sink(std::string_view(blocks_[k].Data(), used_[k]));
    sink(std::string_view(text_));
  }

 private:
  void StartTag(std::string_view name, Attributes attributes);
  void EndPendingTag();
  // Moves the text written so far into the large blocks once it has grown.
  void Spill(bool always);
  void Store(std::string_view bytes);

  std::vector<platform::LargeBlock> blocks_;
  std::vector<size_t> used_;
  std::string text_;
  int depth_;
  bool pending_ = false;  // the last start tag still open: no child written yet
};

class XmlDocument {
 public:
  XmlDocument();
  ~XmlDocument();
  XmlDocument(const XmlDocument&) = delete;
  XmlDocument& operator=(const XmlDocument&) = delete;

  // Parses the whole file. Undecodable or ill-formed input raises a failure
  // naming the file and the position; a DOCTYPE is refused, so no entity is
  // ever expanded and nothing outside the file is read.
  void Load(const std::filesystem::path& path);
  // Parses bytes held in memory; name stands for the file in messages.
  void LoadBytes(std::string bytes, const std::string& name);
  XmlNode DocumentElement() const;
  XmlNodeList SelectNodes(std::string_view path) const;
  // A new element outside the tree, until AppendChild places it.
  XmlNode CreateElement(std::string_view name);
  // Places elements written as text as the last children of parent.
  void AppendText(XmlNode parent, XmlText text);
  // Writes the document in the encoding its declaration names (UTF-8 when it
  // names none); characters the encoding lacks become character references.
  // The target is replaced in one step.
  void Save(const std::filesystem::path& path);
  // The bytes Save would write, handed to sink a piece at a time.
  void Write(const std::function<void(std::string_view)>& sink);
  std::string Serialize();

 private:
  void Parse(std::string text, const std::string& name, const std::function<std::string()>& decodeAgain);

  std::string buffer_;
  pugi::xml_document doc_;
  pugi::xml_node limbo_;
  std::vector<XmlText> texts_;
};

}  // namespace enlazor
