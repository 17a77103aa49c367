// Text as the work tables hold it: single-byte Windows-1252. The XML layer
// works in UTF-8; these functions convert where the two meet.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace enlazor {

// UTF-8 to Windows-1252; a character the code page lacks becomes "?".
std::string Utf8ToAnsi(std::string_view utf8);
// The same into out, whose memory serves again: for the many short values of a file.
void Utf8ToAnsi(std::string_view utf8, std::string& out);
// Windows-1252 text as UTF-8: the text itself when it is plain ASCII, else
// its conversion, kept in scratch.
std::string_view AsUtf8(std::string_view ansi, std::string& scratch);
// Windows-1252 to UTF-8. The five bytes the code page leaves undefined map to
// the C1 controls of the same value, as Windows does.
std::string AnsiToUtf8(std::string_view ansi);
// The length of the well-formed UTF-8 sequence at text[i] (shortest form, no
// surrogate, at most U+10FFFF), or 0 when there is none.
size_t Utf8Length(std::string_view text, size_t i);
// The text with each byte that is no part of well-formed UTF-8 replaced by
// U+FFFD: a Linux file name in another encoding stays readable, and valid.
std::string ValidUtf8(std::string_view text);
// Appends one code point as UTF-8.
void AppendUtf8(std::string& out, char32_t cp);
// The Unicode code point of one Windows-1252 byte.
char32_t AnsiToCodePoint(unsigned char byte);
// True for the five bytes Windows-1252 leaves undefined: 0x81, 0x8D, 0x8F, 0x90, 0x9D.
bool IsUndefinedAnsi(unsigned char byte);
// The Windows-1252 byte of a code point, if the code page has one.
std::optional<unsigned char> CodePointToAnsi(char32_t cp);

// Equal when the texts differ at most in letter case, as the user's locale
// compares: accented letters match their other case, not their plain letter.
bool SameTextAnsi(std::string_view a, std::string_view b);
// The text with every letter in upper case, by the same rule.
std::string UpperAnsiText(std::string_view text);
// Windows-1252 text as names are compared: letters in lower case and without
// their accents, every run of blanks as one, none at either end. "Guardia  de
// Recreo" and "guardia de recreo" fold alike.
std::string FoldedName(std::string_view ansi);
// UTF-8 text with the letters of the Western code page in lower case; other characters stay.
std::string LowerWesternLetters(std::string_view utf8);

// Removes every character up to the blank (codes 0 to 32) from both ends.
// Works on UTF-8 and on Windows-1252 text alike: those characters are single bytes in both.
std::string_view TrimControls(std::string_view text);

// A decimal whole number: optional sign, at least one digit, leading zeros
// allowed, nothing else, within the signed 32-bit range.
std::optional<int32_t> ParseInt32(std::string_view text);
// The same, or the failure "'%s' no es un valor entero válido" naming the text.
int32_t ToInt32OrFail(std::string_view ansiText);

}  // namespace enlazor
