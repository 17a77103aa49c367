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

namespace enlazor {

class XmlNodeList;

class XmlNode {
 public:
  XmlNode() = default;
  explicit XmlNode(pugi::xml_node node) : node_(node) {}

  bool IsNull() const { return !node_; }
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
  // Writes the document in the encoding its declaration names (UTF-8 when it
  // names none); characters the encoding lacks become character references.
  // The target is replaced in one step.
  void Save(const std::filesystem::path& path);
  // The bytes Save would write.
  std::string Serialize();

 private:
  void Parse(std::string text, const std::string& name, const std::function<std::string()>& decodeAgain);

  std::string buffer_;
  pugi::xml_document doc_;
  pugi::xml_node limbo_;
};

// Selection of child steps from a set of starting nodes, in document order.
std::vector<pugi::xml_node> SelectChildSteps(pugi::xml_node context, std::string_view path);

}  // namespace enlazor
