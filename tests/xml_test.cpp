#include "exchange/xml/xml.h"

#include <gtest/gtest.h>

#include "exchange/failure.h"
#include "exchange/platform/platform.h"
#include "exchange/xml/xml_reader.h"
#include "support.h"

namespace enlazor {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

std::string LoadFailure(const std::string& bytes, const std::string& name = "f.xml") {
  XmlDocument doc;
  return testing::Outcome([&] { doc.LoadBytes(bytes, name); });
}

std::string Utf16(const std::string& ascii, bool bigEndian, bool mark = true) {
  std::string out = mark ? (bigEndian ? "\xFE\xFF" : "\xFF\xFE") : "";
  for (const char c : ascii) {
    const char pair[2] = {bigEndian ? '\0' : c, bigEndian ? c : '\0'};
    out.append(pair, 2);
  }
  return out;
}

// Saves the document and reads the bytes back with the conforming reader:
// whatever is written must be read again as the same text.
std::string SavedAndReread(XmlDocument& doc, std::string& bytes) {
  bytes = doc.Serialize();
  XmlDocument again;
  again.LoadBytes(bytes, "salida");
  return again.SelectNodes("/S/B/dato").Item(0).Text();
}

TEST(Xml, DecodesEveryEncodingSenecaFilesUse) {
  const std::string body = "<SERVICIO><dato>%</dato></SERVICIO>";
  auto with = [&](const std::string& declaration, const std::string& value) {
    std::string text = declaration + body;
    return text.replace(text.find('%'), 1, value);
  };
  const struct {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"UTF-8", with("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", "Música €")},
      {"UTF-8 BOM", "\xEF\xBB\xBF" + with("<?xml version=\"1.0\"?>", "Música €")},
      {"no declaration", with("", "Música €")},
      {"ISO-8859-1 with Windows characters", with("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>", "M\xfasica \x80")},
      {"latin1 label", with("<?xml version='1.0' encoding='latin1'?>", "M\xfasica \x80")},
      {"windows-1252", with("<?xml version=\"1.0\" encoding=\"windows-1252\"?>", "M\xfasica \x80")},
      {"cp1252", with("<?xml version=\"1.0\" encoding=\"CP1252\"?>", "M\xfasica \x80")},
      {"references", with("<?xml version=\"1.0\" encoding=\"US-ASCII\"?>", "M&#250;sica &#x20AC;")},
  };
  for (const auto& c : cases) {
    XmlDocument doc;
    doc.LoadBytes(c.bytes, "f.xml");
    EXPECT_EQ(doc.SelectNodes("/SERVICIO/dato").Item(0).Text(), "Música €") << c.what;
  }
  for (const bool bigEndian : {false, true}) {
    XmlDocument doc;
    doc.LoadBytes(Utf16("<?xml version=\"1.0\" encoding=\"UTF-16\"?><SERVICIO><dato>ok</dato></SERVICIO>", bigEndian),
                  "f");
    EXPECT_EQ(doc.SelectNodes("/SERVICIO/dato").Item(0).Text(), "ok");
  }
}

// The same bytes decode the same way whatever the declaration's form: the
// Windows apostrophe of "O’Neill" (byte 0x92) in an ISO-8859-1 file, with the
// declaration long, quoted otherwise or in other case; a byte-order mark
// decides over the declaration, and bytes the mark's encoding cannot hold are
// refused, saying why. Only XML 1.x is read.
TEST(Xml, TheDeclarationsFormNeverChangesTheDecoding) {
  const std::string body = "<a>O\x92Neill</a>";
  const struct {
    const char* what;
    std::string bytes;
    std::string outcome;  // the text read, or the end of the failure
  } cases[] = {
      {"plain", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>" + body, "O’Neill"},
      {"past 4,096 bytes", "<?xml version=\"1.0\"" + std::string(5000, ' ') + "encoding=\"ISO-8859-1\"?>" + body,
       "O’Neill"},
      {"single quotes, lower case", "<?xml version='1.0' encoding='iso-8859-1'?>" + body, "O’Neill"},
      {"an alias", "<?xml version=\"1.0\" encoding=\"latin1\"?>" + body, "O’Neill"},
      {"UTF-8 mark, UTF-8 bytes", "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>O’Neill</a>",
       "O’Neill"},
      {"UTF-8 mark, Latin-1 bytes", "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>" + body,
       "la marca del principio del archivo dice UTF-8 y la declaración dice ISO-8859-1, y el archivo tiene bytes que "
       "no son UTF-8"},
      {"version 2.0", "<?xml version=\"2.0\" encoding=\"ISO-8859-1\"?>" + body,
       "la versión de XML '2.0' no se puede leer: Enlazor lee XML 1.0"},
  };
  for (const auto& c : cases) {
    XmlDocument doc;
    const std::string outcome = testing::Outcome([&] { doc.LoadBytes(c.bytes, "f.xml"); });
    const std::string got = outcome == testing::kDone ? doc.DocumentElement().Text() : outcome;
    EXPECT_EQ(got.substr(got.size() - std::min(got.size(), c.outcome.size())), c.outcome) << c.what << ": " << got;
  }
}

// Every event, in order, as one line each; a run of text in one line however
// many pieces it came in.
struct Recorder : XmlEvents {
  std::string log;
  void StartElement(std::string_view name, const char* const* attributes) override {
    Line("<" + std::string(name));
    for (size_t k = 0; attributes[k]; k += 2) log += std::string(" ") + attributes[k] + "=" + attributes[k + 1];
  }
  void EndElement() override { Line(">"); }
  void Characters(std::string_view text) override {
    if (!inText_) Line("T");
    inText_ = true;
    log += text;
  }
  void Declaration(std::string_view version, std::string_view encoding, int standalone) override {
    Line("?xml " + std::string(version) + " " + std::string(encoding) + " " + std::to_string(standalone));
  }
  void StartCdata() override { Line("[["); }
  void EndCdata() override { Line("]]"); }
  void Comment(std::string_view text) override { Line("!" + std::string(text)); }
  void Instruction(std::string_view target, std::string_view data) override {
    Line("?" + std::string(target) + " " + std::string(data));
  }

 private:
  void Line(const std::string& line) {
    log += "\n" + line;
    inText_ = false;
  }
  bool inText_ = false;
};

// A file comes in pieces of whatever size the system reads: fed one byte at a
// time, two, three and so on up to the whole, the reader sees the same events
// and fails at the same place.
TEST(Xml, EveryPieceSizeGivesTheSameEvents) {
  const std::string fixtures[] = {
      "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<SERVICIO modulo=\"H&amp;I\"><!--c\x80--><?pi d?>"
      "<dato n=\"O\x92N\">M\xfasica &#8364; <![CDATA[<b>]]> fin</dato></SERVICIO>",
      "\xEF\xBB\xBF<a b=\"€\">Música 日本</a>",
      Utf16("<?xml version=\"1.0\" encoding=\"UTF-16\"?><a>xy</a>", false),
      "<a><b>x</c></a>",
  };
  for (const auto& bytes : fixtures) {
    Recorder whole;
    const std::string wholeOutcome = testing::Outcome([&] { ReadXmlBytes(bytes, "f", whole); });
    if (&bytes == &fixtures[0]) {
      EXPECT_NE(whole.log.find("\n<dato n=O’N\nTMúsica € "), std::string::npos) << whole.log;
    }
    for (size_t piece = 1; piece <= bytes.size(); ++piece) {
      Recorder pieces;
      const std::string outcome = testing::Outcome([&] { ReadXmlBytes(bytes, "f", pieces, piece); });
      ASSERT_EQ(pieces.log, whole.log) << "piece " << piece << " of " << bytes.size();
      ASSERT_EQ(outcome, wholeOutcome) << "piece " << piece;
    }
  }
}

// Every rule of well-formed XML holds: such a file fails, with where.
TEST(Xml, IllFormedInputFailsNamingFileLineAndColumn) {
  const struct {
    std::string bytes;
    std::string message;
  } cases[] = {
      {"<?xml version=\"1.0\"?>\n<a>\n  <b>x</c>\n</a>",
       "línea 3, columna 9: la etiqueta de cierre no corresponde a la abierta"},
      {"<a>\n<b attr=1/></a>", "línea 2, columna 9: carácter no válido o marca mal escrita"},
      {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<a>caf\xe9</a>",
       "línea 2, columna 7: carácter no válido o marca mal escrita"},
      {"<?xml version=\"1.0\" encoding=\"EBCDIC-XYZ\"?><a/>",
       "línea 1, columna 1: la codificación 'EBCDIC-XYZ' no se puede leer"},
      {"", "línea 1, columna 1: el documento está vacío o termina antes de cerrar sus elementos"},
      {"<a><b></b>", "línea 1, columna 11: el documento está vacío o termina antes de cerrar sus elementos"},
      {"<a>12&#0;5030000</a>", "línea 1, columna 6: referencia a un carácter que XML no admite"},
      {"<a>&#1;</a>", "línea 1, columna 4: referencia a un carácter que XML no admite"},
      {"<a>&#xD800;</a>", "línea 1, columna 4: referencia a un carácter que XML no admite"},
      {"<a>&#xFFFE;</a>", "línea 1, columna 4: referencia a un carácter que XML no admite"},
      {"<a>&#x110000;</a>", "línea 1, columna 4: referencia a un carácter que XML no admite"},
      {"<a seq=\"X\" seq=\"MATERIAS\"/>", "línea 1, columna 12: atributo repetido"},
      {"<a/>texto", "línea 1, columna 5: hay contenido después del elemento raíz"},
      {std::string("<a/>\0", 5), "línea 1, columna 5: carácter no válido o marca mal escrita"},
      {"<a v=\"<\"/>", "línea 1, columna 7: carácter no válido o marca mal escrita"},
      {"<a>Tom & Jerry</a>", "línea 1, columna 9: carácter no válido o marca mal escrita"},
      {"<a>&nbsp;</a>", "línea 1, columna 4: entidad no definida"},
      {"<a>x]]>y</a>", "línea 1, columna 7: carácter no válido o marca mal escrita"},
      {"<a><?xml version=\"1.0\"?></a>", "línea 1, columna 4: declaración XML fuera del comienzo del archivo"},
      {"<a>" + std::string(101, ' ') + "</a>" + std::string(2, ' '), ""},  // white space is fine
  };
  for (const auto& c : cases) {
    const std::string expected = c.message.empty() ? testing::kDone : "Error en el archivo XML 'f.xml', " + c.message;
    EXPECT_EQ(LoadFailure(c.bytes), expected) << c.bytes;
  }
}

TEST(Xml, RefusesDoctypesSoNoEntityIsExpandedAndNoFileRead) {
  TempDir dir;
  WriteBytes(dir / "secreto.txt", "SECRETO");
  const std::string external = "<?xml version=\"1.0\"?><!DOCTYPE a [<!ENTITY x SYSTEM \"file://" +
                               (dir / "secreto.txt").string() + "\">]><a>&x;</a>";
  const std::string bomb =
      "<!DOCTYPE a [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;\">]><a>&b;</a>";
  for (const auto& bytes : {external, bomb}) {
    EXPECT_EQ(LoadFailure(bytes), "Error en el archivo XML 'f.xml': las declaraciones DOCTYPE no se admiten");
  }
}

TEST(Xml, TextConcatenatesAllDescendantTextAndCdata) {
  XmlDocument doc;
  doc.LoadBytes("<a>uno <b>dos<![CDATA[ <tres> ]]></b><!-- no --> cuatro</a>", "f");
  EXPECT_EQ(doc.DocumentElement().Text(), "uno dos <tres>  cuatro");
  EXPECT_EQ(doc.SelectNodes("/a/b").Item(0).Text(), "dos <tres> ");
}

TEST(Xml, SelectsChildStepsWithAttributeTestsInDocumentOrder) {
  XmlDocument doc;
  doc.LoadBytes(
      "<S><B><g seq=\"M\"><g>1</g><g>2</g></g><g seq=\"E\"><g>x</g></g><g seq=\"M\"><g>3</g></g></B>"
      "<B><g seq='M'><g>4</g></g></B></S>",
      "f");
  const XmlNodeList records = doc.SelectNodes("/S/B/g[@seq=\"M\"]/g");
  ASSERT_EQ(records.Length(), 4u);
  EXPECT_EQ(records.Item(2).Text(), "3");
  EXPECT_EQ(records.Item(3).Text(), "4");
  EXPECT_TRUE(records.Item(4).IsNull());
  EXPECT_EQ(records.Item(4).Text(), "");
  EXPECT_EQ(doc.SelectNodes("/S/B/g[@seq=\"m\"]/g").Length(), 0u);
  EXPECT_EQ(doc.SelectNodes("/OTRO/B").Length(), 0u);
  EXPECT_EQ(doc.DocumentElement().SelectNodes("B").Length(), 2u);
  EXPECT_EQ(doc.DocumentElement().SelectSingleNode("B").SelectNodes("g").Length(), 3u);
}

// The bytes are always in the encoding the declaration names, whatever the
// template came in, and read back as the text that was set.
TEST(Xml, SavesInTheDeclaredEncodingAndReadsBackTheSameText) {
  const struct {
    const char* what;
    std::string declaration;
    std::string expectedBytes;  // the dato element as written; empty: not checked
  } cases[] = {
      {"ISO-8859-1", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>",
       "<dato seq=\"1\" nombre_dato=\"N\">M\xfasica &#8364; &#26085;</dato>"},
      {"windows-1252", "<?xml version=\"1.0\" encoding=\"windows-1252\"?>",
       "<dato seq=\"1\" nombre_dato=\"N\">M\xfasica \x80 &#26085;</dato>"},
      {"UTF-8", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>", "<dato seq=\"1\" nombre_dato=\"N\">Música € 日</dato>"},
      {"US-ASCII", "<?xml version=\"1.0\" encoding=\"US-ASCII\"?>",
       "<dato seq=\"1\" nombre_dato=\"N\">M&#250;sica &#8364; &#26085;</dato>"},
      {"no declaration", "", "<dato seq=\"1\" nombre_dato=\"N\">Música € 日</dato>"},
      {"UTF-8 BOM with another label", "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>",
       "<dato seq=\"1\" nombre_dato=\"N\">M\xfasica &#8364; &#26085;</dato>"},
      {"UTF-8 BOM with a label no writer here knows", "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"KOI8-R\"?>",
       "encoding=\"UTF-8\"?>"},
      {"UTF-16BE", Utf16("<?xml version=\"1.0\" encoding=\"UTF-16BE\"?>", true), ""},
      {"UTF-16 little-endian", Utf16("<?xml version=\"1.0\" encoding=\"UTF-16\"?>", false), ""},
  };
  for (const auto& c : cases) {
    XmlDocument doc;
    const bool wide = c.declaration.rfind("\xFE\xFF", 0) == 0 || c.declaration.rfind("\xFF\xFE", 0) == 0;
    doc.LoadBytes(c.declaration + (wide ? Utf16("<S><B/></S>", c.declaration[0] == '\xFE', false) : "<S><B/></S>"),
                  "f");
    XmlNode element = doc.CreateElement("dato");
    element.SetAttribute("seq", "1");
    element.SetAttribute("nombre_dato", "N");
    element.SetText("Música € 日");
    doc.DocumentElement().SelectSingleNode("B").AppendChild(element);
    std::string bytes;
    EXPECT_EQ(SavedAndReread(doc, bytes), "Música € 日") << c.what;
    if (!c.expectedBytes.empty()) {
      EXPECT_NE(bytes.find(c.expectedBytes), std::string::npos) << c.what << "\n" << bytes;
    }
  }
}

TEST(Xml, CharactersXmlCannotHoldAreNeverWritten) {
  for (const char* text : {"a\x01z", "12\x1f"}) {
    XmlDocument doc;
    doc.LoadBytes("<S><B/></S>", "f");
    XmlNode element = doc.CreateElement("dato");
    element.SetText(text);
    doc.DocumentElement().SelectSingleNode("B").AppendChild(element);
    EXPECT_NE(testing::Outcome([&] { doc.Serialize(); }).find("carácter de control"), std::string::npos) << text;
  }
  XmlDocument doc;
  doc.LoadBytes("<S><B/></S>", "f");
  XmlNode element = doc.CreateElement("dato");
  element.SetAttribute("a", "tab\tline\ncr\r\"");
  element.SetText("cr\rlf\ntab\t");
  doc.DocumentElement().SelectSingleNode("B").AppendChild(element);
  std::string bytes;
  EXPECT_EQ(SavedAndReread(doc, bytes), "cr\rlf\ntab\t");
  EXPECT_NE(bytes.find("a=\"tab&#9;line&#10;cr&#13;&quot;\""), std::string::npos) << bytes;
}

// Whatever a template holds, the produced block goes where it was placed.
TEST(Xml, ProducedElementsGoExactlyWhereTheyWerePlaced) {
  XmlDocument doc;
  doc.LoadBytes(
      "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><S><!--x--><B><![CDATA[<?enlazor-texto 0?>]]>"
      "<?enlazor-texto 0?></B><C/></S>",
      "f");
  doc.AppendProduced(doc.DocumentElement().SelectSingleNode("B"), [](XmlText& out) {
    out.Open("g", {{"seq", "H"}});
    out.Leaf("dato", {{"n", "X"}}, "Año");
    out.Close("g");
  });
  const std::string expected =
      "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<S>\n\t<!--x-->\n\t<B><![CDATA[<?enlazor-texto 0?>]]>"
      "<?enlazor-texto 0?>\n\t\t<g seq=\"H\">\n\t\t\t<dato n=\"X\">A\xf1o</dato>\n\t\t</g>\n\t</B>\n\t<C />\n</S>\n";
  EXPECT_EQ(doc.Serialize(), expected);
}

// ISO-8859-1 files are read as Windows-1252, so a euro sign can come in; written
// back as true ISO-8859-1 it needs a reference, which comments and CDATA know not.
TEST(Xml, WhatAnEncodingLacksInCommentsAndCdataIsReplacedOrQuoted) {
  XmlDocument doc;
  doc.LoadBytes("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><S><!--a\x80--><![CDATA[b\x80]]></S>", "f");
  const std::string bytes = doc.Serialize();
  EXPECT_NE(bytes.find("<!--a?-->"), std::string::npos) << bytes;
  EXPECT_NE(bytes.find("<![CDATA[b]]>&#8364;<![CDATA[]]>"), std::string::npos) << bytes;
  XmlDocument again;
  again.LoadBytes(bytes, "salida");
  EXPECT_EQ(again.DocumentElement().Text(), "b€");
}

TEST(Xml, ElementsNeverAppendedAreNotSaved) {
  XmlDocument doc;
  doc.LoadBytes("<S/>", "f");
  doc.CreateElement("suelto");
  EXPECT_EQ(doc.Serialize().find("suelto"), std::string::npos);
  EXPECT_EQ(doc.DocumentElement().Name(), "S");
}

TEST(Xml, AFailedSaveLeavesTheOldFileAndNoTemporary) {
  TempDir dir;
  WriteBytes(dir / "out.xml", "antiguo");
  XmlDocument doc;
  doc.LoadBytes("<S>nuevo</S>", "f");
  testing::FailAt(platform::Call::Write, 1, platform::Fault::FullDisk);
  EXPECT_THROW(doc.Save(dir / "out.xml"), Failure);
  platform::ResetCallsForTesting();
  EXPECT_EQ(ReadBytes(dir / "out.xml"), "antiguo");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
  fs::create_directory(dir / "carpeta.xml");
  EXPECT_THROW(doc.Save(dir / "carpeta.xml"), Failure);
}

TEST(Xml, NestingBeyondAHundredLevelsIsRefusedAndLongValuesLoad) {
  auto nested = [](int levels) {
    std::string deep;
    for (int i = 0; i < levels; ++i) deep += "<a>";
    deep += "x";
    for (int i = 0; i < levels; ++i) deep += "</a>";
    return deep;
  };
  EXPECT_EQ(LoadFailure(nested(100)), testing::kDone);
  EXPECT_EQ(LoadFailure(nested(101)),
            "Error en el archivo XML 'f.xml', línea 1, columna 301: los elementos se anidan a más de 100 niveles");
  XmlDocument doc;
  doc.LoadBytes("<a v=\"" + std::string(5 << 20, 'v') + "\">" + std::string(5 << 20, 't') + "</a>", "f");
  EXPECT_EQ(doc.DocumentElement().Text().size(), 5u << 20);
}

}  // namespace
}  // namespace enlazor
