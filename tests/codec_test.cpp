#include "exchange/codec.h"

#include <gtest/gtest.h>

#include "exchange/failure.h"

namespace enlazor {
namespace {

TEST(Codec, ConvertsBetweenUtf8AndWindows1252) {
  const struct {
    const char* utf8;
    const char* ansi;
  } cases[] = {
      {"Música", "M\xfasica"},
      {"€ 5 – “hola”", "\x80 5 \x96 \x93hola\x94"},
      {"Šarić Œuvre Ÿ ž",
       "\x8a"
       "ari? \x8c"
       "uvre \x9f \x9e"},
      {"1º ESO ª", "1\xba ESO \xaa"},
      {"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Utf8ToAnsi(c.utf8), c.ansi) << c.utf8;
  }
  EXPECT_EQ(AnsiToUtf8("M\xfasica \x80"), "Música €");
  EXPECT_EQ(AnsiToUtf8("\x81\x8d"), "\xc2\x81\xc2\x8d");  // undefined bytes keep their value
}

TEST(Codec, CharactersOutsideTheCodePageBecomeQuestionMarks) {
  EXPECT_EQ(Utf8ToAnsi("日本 ok"), "?? ok");
  EXPECT_EQ(Utf8ToAnsi("emoji 😀!"), "emoji ?!");
  EXPECT_EQ(Utf8ToAnsi("\xff\xfe broken"), "?? broken");
}

TEST(Codec, ComparesLettersWithoutRegardToCaseButWithAccents) {
  const struct {
    const char* a;
    const char* b;
    bool same;
  } cases[] = {
      {"LC", "lc", true},      {"\xc1ngel", "\xe1NGEL", true},  // Á / á
      {"\xde", "\xfe", true},  {"\x8a", "\x9a", true},          // Þ þ, Š š
      {"\x8c", "\x9c", true},  {"\x8e", "\x9e", true},          // Œ œ, Ž ž
      {"\x9f", "\xff", true},                                   // Ÿ ÿ
      {"a", "\xe1", false},    {"A", "\xc1", false},            // plain and accented letters differ
      {"\xd7", "\xf7", false},                                  // × and ÷ are no letters
      {"ab", "abc", false},    {"", "", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SameTextAnsi(c.a, c.b), c.same) << c.a << " / " << c.b;
  }
}

TEST(Codec, TrimsControlCharactersAndBlanksAtBothEnds) {
  EXPECT_EQ(TrimControls("\n  2026\r\n"), "2026");
  EXPECT_EQ(TrimControls("\t a  b \x01"), "a  b");
  EXPECT_EQ(TrimControls(" \n\t "), "");
  EXPECT_EQ(TrimControls("\xa0x\xa0"), "\xa0x\xa0");  // a no-break space is kept
}

TEST(Codec, ReadsDecimalWholeNumbersWithin32Bits) {
  const struct {
    const char* text;
    std::optional<int32_t> value;
  } cases[] = {
      {"0900", 900},
      {"-5", -5},
      {"+7", 7},
      {"2147483647", INT32_MAX},
      {"-2147483648", INT32_MIN},
      {"2147483648", std::nullopt},
      {"99999999999999999999", std::nullopt},
      {"", std::nullopt},
      {"-", std::nullopt},
      {"9:00", std::nullopt},
      {"09.5", std::nullopt},
      {" 9", std::nullopt},
      {"0x10", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseInt32(c.text), c.value) << c.text;
  }
}

TEST(Codec, ConversionFailureNamesTheText) {
  try {
    ToInt32OrFail("09:\xe1");
    FAIL();
  } catch (const Failure& failure) {
    EXPECT_STREQ(failure.what(), "'09:á' no es un valor entero válido");
  }
}

}  // namespace
}  // namespace enlazor
