// Writing XML: text and attribute values escaped, the document's encoding
// (five of them) with character references where it lacks a character, and
// the document service's layout (one tab per level). XmlText writes elements
// straight out as text; WriteDocument writes a document's tree.
#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace enlazor {

struct XmlNodeData;

// Elements written straight out as text, as Save writes nodes, for a block too
// large to hold in memory (the regular timetables of a whole school). Pieces
// go to the sink as they are complete, at element boundaries.
class XmlText {
 public:
  using Attributes = std::initializer_list<std::pair<std::string_view, std::string_view>>;
  // depth: the nesting level the first element is written at.
  XmlText(int depth, std::function<void(std::string_view)> sink);
  ~XmlText();
  XmlText(const XmlText&) = delete;
  XmlText& operator=(const XmlText&) = delete;

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
  // Hands what is written so far to the sink.
  void Flush();
  int Depth() const { return depth_; }

 private:
  void StartTag(std::string_view name, Attributes attributes);
  void EndPendingTag();
  void FlushIfLarge();

  std::function<void(std::string_view)> sink_;
  std::string text_;
  int depth_;
  bool pending_ = false;  // the last start tag still open: no child written yet
};

// A document's XML declaration as read; none when declared is false.
struct XmlDeclaration {
  bool declared = false;
  std::string version, encoding;
  int standalone = -1;
};

// Writes the children of a document's root in the encoding its declaration
// names (UTF-8 when it names none), the produced places as they produce.
void WriteDocument(const XmlNodeData& root, const XmlDeclaration& declaration,
                   const std::vector<std::function<void(XmlText&)>>& produced,
                   const std::function<void(std::string_view)>& sink);

}  // namespace enlazor
