#include "exchange/codec.h"

#include <array>
#include <charconv>

#include "exchange/failure.h"

namespace enlazor {
namespace {

// Code points of bytes 0x80 to 0x9F; undefined bytes keep their own value.
constexpr std::array<char16_t, 32> kHighControls = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                                    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Decodes one UTF-8 sequence at text[i]; advances i. Malformed input gives U+FFFD.
char32_t NextCodePoint(std::string_view text, size_t& i) {
  const auto lead = static_cast<unsigned char>(text[i++]);
  if (lead < 0x80) return lead;
  int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
  if (extra < 0 || i + extra > text.size()) return 0xFFFD;
  char32_t cp = lead & (0x3F >> extra);
  for (int k = 0; k < extra; ++k) {
    const auto c = static_cast<unsigned char>(text[i]);
    if ((c & 0xC0) != 0x80) return 0xFFFD;
    cp = (cp << 6) | (c & 0x3F);
    ++i;
  }
  return cp;
}

unsigned char UpperAnsi(unsigned char c) {
  if (c >= 'a' && c <= 'z') return c - 0x20;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;
  switch (c) {
    case 0x9A:
      return 0x8A;  // š
    case 0x9C:
      return 0x8C;  // œ
    case 0x9E:
      return 0x8E;  // ž
    case 0xFF:
      return 0x9F;  // ÿ
    default:
      return c;
  }
}

}  // namespace

size_t Utf8Length(std::string_view text, size_t i) {
  const auto lead = static_cast<unsigned char>(text[i]);
  const size_t length = lead < 0x80                   ? 1
                        : lead >= 0xC2 && lead < 0xE0 ? 2
                        : lead >= 0xE0 && lead < 0xF0 ? 3
                        : lead >= 0xF0 && lead < 0xF5 ? 4
                                                      : 0;
  if (length == 0 || i + length > text.size()) return 0;
  char32_t cp = length == 1 ? lead : lead & (0x3F >> (length - 1));
  for (size_t k = 1; k < length; ++k) {
    const auto c = static_cast<unsigned char>(text[i + k]);
    if ((c & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (c & 0x3F);
  }
  const bool shortest = length < 3 || cp >= (length == 3 ? 0x800u : 0x10000u);
  return shortest && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF) ? length : 0;
}

std::string ValidUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const size_t length = Utf8Length(text, i);
    if (length == 0) {
      out += "\xEF\xBF\xBD";
      ++i;
    } else {
      out.append(text, i, length);
      i += length;
    }
  }
  return out;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

char32_t AnsiToCodePoint(unsigned char byte) {
  if (byte >= 0x80 && byte < 0xA0) return kHighControls[byte - 0x80];
  return byte;
}

bool IsUndefinedAnsi(unsigned char byte) { return byte >= 0x80 && byte < 0xA0 && AnsiToCodePoint(byte) == byte; }

std::optional<unsigned char> CodePointToAnsi(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<unsigned char>(cp);
  for (size_t k = 0; k < kHighControls.size(); ++k) {
    if (kHighControls[k] == cp) return static_cast<unsigned char>(0x80 + k);
  }
  return std::nullopt;
}

std::string Utf8ToAnsi(std::string_view utf8) {
  std::string out;
  Utf8ToAnsi(utf8, out);
  return out;
}

void Utf8ToAnsi(std::string_view utf8, std::string& out) {
  // Plain ASCII, most of a school's text, is the same in both: copied whole.
  size_t i = 0;
  while (i < utf8.size() && static_cast<unsigned char>(utf8[i]) < 0x80) ++i;
  out.assign(utf8.substr(0, i));
  while (i < utf8.size()) {
    if (static_cast<unsigned char>(utf8[i]) < 0x80) {
      out += utf8[i++];
      continue;
    }
    out += static_cast<char>(CodePointToAnsi(NextCodePoint(utf8, i)).value_or('?'));
  }
}

std::string AnsiToUtf8(std::string_view ansi) {
  std::string out;
  out.reserve(ansi.size() + ansi.size() / 8);
  for (const char c : ansi) AppendUtf8(out, AnsiToCodePoint(static_cast<unsigned char>(c)));
  return out;
}

std::string_view AsUtf8(std::string_view ansi, std::string& scratch) {
  for (const char c : ansi) {
    if (static_cast<unsigned char>(c) >= 0x80) return scratch = AnsiToUtf8(ansi);
  }
  return ansi;
}

bool SameTextAnsi(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (UpperAnsi(static_cast<unsigned char>(a[i])) != UpperAnsi(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

std::string UpperAnsiText(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(UpperAnsi(static_cast<unsigned char>(c)));
  return out;
}

std::string LowerWesternLetters(std::string_view utf8) {
  std::string out;
  for (size_t i = 0; i < utf8.size();) {
    const size_t start = i;
    char32_t cp = NextCodePoint(utf8, i);
    if (cp == 0xFFFD && utf8.compare(start, 3, "\xEF\xBF\xBD") != 0) {
      out.append(utf8.substr(start, i - start));  // not UTF-8: kept as it came
      continue;
    }
    if ((cp >= 'A' && cp <= 'Z') || (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7)) cp += 0x20;
    AppendUtf8(out, cp);
  }
  return out;
}

std::string_view TrimControls(std::string_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= 0x20) ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 0x20) --end;
  return text.substr(begin, end - begin);
}

std::optional<int32_t> ParseInt32(std::string_view text) {
  size_t start = 0;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) start = 1;
  if (start == text.size()) return std::nullopt;
  for (size_t i = start; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
  }
  int64_t value = 0;
  for (size_t i = start; i < text.size(); ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > int64_t{1} << 31) return std::nullopt;
  }
  if (text[0] == '-') value = -value;
  if (value > INT32_MAX || value < INT32_MIN) return std::nullopt;
  return static_cast<int32_t>(value);
}

int32_t ToInt32OrFail(std::string_view ansiText) {
  if (auto value = ParseInt32(ansiText)) return *value;
  throw Failure(Format("'%s' no es un valor entero válido", {AnsiToUtf8(ansiText)}));
}

}  // namespace enlazor

namespace enlazor {

std::string FoldedName(std::string_view ansi) {
  // The Western letters of 0xC0..0xFF without their accents, in lower case; 0 keeps the byte.
  static constexpr char kPlain[64 + 1] =
      "aaaaaaaceeeeiiii"    // C0..CF
      "dnooooo\0ouuuuyts"   // D0..DF
      "aaaaaaaceeeeiiii"    // E0..EF
      "dnooooo\0ouuuuyty";  // F0..FF
  std::string out;
  bool blank = false;
  for (const char c : ansi) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == ' ' || byte == '\t' || byte == 0xA0) {
      blank = !out.empty();
      continue;
    }
    if (blank) out += ' ';
    blank = false;
    if (byte >= 0xC0 && kPlain[byte - 0xC0] != '\0') {
      out += kPlain[byte - 0xC0];
    } else {
      out += static_cast<char>(byte < 0x80 ? std::tolower(byte) : byte);
    }
  }
  return out;
}

}  // namespace enlazor
