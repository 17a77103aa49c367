// The tree of an XML document as the document service keeps it: shared by
// the document model (xml.cpp) and the writer (xml_writer.cpp), nobody else.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace enlazor {

class XmlDocument;

enum Kind { kDocument, kElement, kText, kCdata, kComment, kInstruction, kProduced };

// One node: an element, a text, a comment, ... or a place whose elements are
// produced as text when the document is written.
struct XmlNodeData {
  Kind kind = kElement;
  std::string name;   // element name or instruction target
  std::string value;  // text, CDATA, comment or instruction data; produced: its number
  std::vector<std::pair<std::string, std::string>> attributes;
  std::vector<XmlNodeData*> children;
  XmlNodeData* parent = nullptr;
  XmlDocument* document = nullptr;
};

}  // namespace enlazor
