#include "app/box_layout.h"

#include <algorithm>

#include "exchange/codec.h"

namespace enlazor::look {
namespace {

// Where the next character starts, whatever bytes this one takes.
size_t NextCharacter(std::string_view text, size_t at) {
  const size_t length = Utf8Length(text, at);
  return at + std::max<size_t>(length, 1);
}

// The longest start of word that fits width: after its last separator that
// fits, else as many characters as fit, and one at least.
size_t FittingPart(std::string_view word, int width, const Measure& measure) {
  size_t characters = 0, separator = 0;
  for (size_t at = 0; at < word.size();) {
    const size_t next = NextCharacter(word, at);
    if (measure(word.substr(0, next)) > width) break;
    characters = next;
    if (word[at] == '/' || word[at] == '\\') separator = next;
    at = next;
  }
  if (separator > 0 && separator < word.size()) return separator;
  return characters > 0 ? characters : NextCharacter(word, 0);
}

void WrapLine(std::string_view line, int width, const Measure& measure, std::vector<std::string>& lines) {
  const size_t indentLength = std::min(line.find_first_not_of(' '), line.size());
  // An indented line (an item of a list) hangs its continuations two further in.
  const std::string continuation = indentLength ? std::string(indentLength + 2, ' ') : std::string();
  std::string current(line.substr(0, indentLength));
  bool fresh = true;  // the current line has no word yet
  for (size_t at = indentLength; at < line.size();) {
    const size_t end = std::min(line.find(' ', at), line.size());
    std::string_view word = line.substr(at, end - at);
    at = std::min(end + 1, line.size() + 1);
    while (!word.empty()) {
      const std::string joined = current + (fresh ? "" : " ") + std::string(word);
      if (measure(joined) <= width) {
        current = joined;
        fresh = false;
        break;
      }
      if (!fresh) {  // the word starts the next line
        lines.push_back(current);
        current = continuation;
        fresh = true;
        continue;
      }
      const size_t part = FittingPart(word, std::max(1, width - measure(current)), measure);
      lines.push_back(current + std::string(word.substr(0, part)));
      word.remove_prefix(part);
      current = continuation;
    }
  }
  lines.push_back(current);
}

}  // namespace

Rect PlaceBox(Rect owner, Rect work, int width, int height) {
  width = std::min(width, work.width);
  height = std::min(height, work.height);
  const int left = owner.left + (owner.width - width) / 2, top = owner.top + (owner.height - height) / 2;
  return {std::clamp(left, work.left, work.left + work.width - width),
          std::clamp(top, work.top, work.top + work.height - height), width, height};
}

int TextWidthLimit(Rect work) { return work.width / 2; }

ListSize DetailsListSize(int widestLine, int lines, int lineHeight, int chrome, Rect work, int around) {
  const int rows = std::clamp(lines, 3, kListLines);
  return {std::min(widestLine + chrome, work.width - around), std::min(rows * lineHeight + chrome, work.height / 2)};
}

std::vector<std::string> WrapLines(std::string_view text, int width, const Measure& measure) {
  std::vector<std::string> lines;
  for (size_t at = 0; at <= text.size();) {
    const size_t end = std::min(text.find('\n', at), text.size());
    const std::string_view line = text.substr(at, end - at);
    if (measure(line) <= width)
      lines.emplace_back(line);
    else
      WrapLine(line, width, measure, lines);
    at = end + 1;
  }
  return lines;
}

std::string Wrapped(std::string_view text, int width, const Measure& measure) {
  std::string joined;
  for (const auto& line : WrapLines(text, width, measure)) joined += (joined.empty() ? "" : "\n") + line;
  return joined;
}

}  // namespace enlazor::look
