#include "exchange/xml.h"

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "exchange/failure.h"
#include "exchange/platform.h"
#include "support.h"

namespace enlazor {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

std::string LoadFailure(const std::string& bytes, const std::string& name = "f.xml") {
  XmlDocument doc;
  try {
    doc.LoadBytes(bytes, name);
  } catch (const Failure& failure) {
    return failure.what();
  }
  return "<sin fallo>";
}

std::string Utf16(const std::string& ascii, bool bigEndian) {
  std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (const char c : ascii) {
    const char pair[2] = {bigEndian ? '\0' : c, bigEndian ? c : '\0'};
    out.append(pair, 2);
  }
  return out;
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
  };
  for (const auto& c : cases) {
    XmlDocument doc;
    doc.LoadBytes(c.bytes, "f.xml");
    EXPECT_EQ(doc.SelectNodes("/SERVICIO/dato").Item(0).Text(), "Música €") << c.what;
  }
  for (const bool bigEndian : {false, true}) {
    XmlDocument doc;
    doc.LoadBytes(Utf16("<?xml version=\"1.0\" encoding=\"UTF-16\"?><SERVICIO><dato>ok</dato></SERVICIO>", bigEndian), "f");
    EXPECT_EQ(doc.SelectNodes("/SERVICIO/dato").Item(0).Text(), "ok");
  }
}

TEST(Xml, UndecodableOrIllFormedInputNamesFileLineAndColumn) {
  const struct {
    std::string bytes;
    std::string message;
  } cases[] = {
      {"<?xml version=\"1.0\"?>\n<a>\n  <b>x</c>\n</a>", "línea 3, columna 9: la etiqueta de cierre no corresponde a la abierta"},
      {"<?xml version=\"1.0\"?>\n<a>\n<b attr=1/></a>", "línea 3, columna 9: atributo incorrecto"},
      {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<a>caf\xe9</a>", "línea 2, columna 7: secuencia no válida en UTF-8"},
      {"<?xml version=\"1.0\" encoding=\"EBCDIC-XYZ\"?><a/>", "línea 1, columna 1: la codificación 'EBCDIC-XYZ' no se puede leer"},
      {"", "línea 1, columna 1: el documento no tiene elemento raíz"},
      {"not xml at all", "línea 1, columna 14: el documento no tiene elemento raíz"},
      {"<a><b></b>", "línea 1, columna 10: la etiqueta de cierre no corresponde a la abierta"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LoadFailure(c.bytes), "Error en el archivo XML 'f.xml', " + c.message) << c.bytes;
  }
}

TEST(Xml, RefusesDoctypesSoNoEntityIsExpandedAndNoFileRead) {
  TempDir dir;
  WriteBytes(dir / "secreto.txt", "SECRETO");
  const std::string external = "<?xml version=\"1.0\"?><!DOCTYPE a [<!ENTITY x SYSTEM \"file://" +
                               (dir / "secreto.txt").string() + "\">]><a>&x;</a>";
  const std::string bomb = "<!DOCTYPE a [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;\">]><a>&b;</a>";
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

TEST(Xml, BuildsAndSavesInTheDeclaredEncodingWithCharacterReferences) {
  const struct {
    const char* declaration;
    std::string expectedText;
  } cases[] = {
      {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>", "M\xfasica &#8364; &#26085;"},
      {"<?xml version=\"1.0\" encoding=\"windows-1252\"?>", "M\xfasica \x80 &#26085;"},
      {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>", "Música € 日"},
      {"<?xml version=\"1.0\" encoding=\"US-ASCII\"?>", "M&#250;sica &#8364; &#26085;"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    XmlDocument doc;
    doc.LoadBytes(std::string(c.declaration) + "<S><B/></S>", "f");
    XmlNode element = doc.CreateElement("dato");
    element.SetAttribute("seq", "1");
    element.SetAttribute("nombre_dato", "N");
    element.SetText("Música € 日");
    doc.DocumentElement().SelectSingleNode("B").AppendChild(element);
    doc.Save(dir / "out.xml");
    const std::string saved = ReadBytes(dir / "out.xml");
    EXPECT_EQ(saved.rfind(c.declaration, 0), 0u) << saved;
    EXPECT_NE(saved.find("<dato seq=\"1\" nombre_dato=\"N\">" + c.expectedText + "</dato>"), std::string::npos) << saved;
    XmlDocument again;
    again.Load(dir / "out.xml");
    EXPECT_EQ(again.SelectNodes("/S/B/dato").Item(0).Text(), "Música € 日") << c.declaration;
  }
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
  platform::FailNthWriteForTesting(1);
  EXPECT_THROW(doc.Save(dir / "out.xml"), Failure);
  platform::FailNthWriteForTesting(0);
  EXPECT_EQ(ReadBytes(dir / "out.xml"), "antiguo");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
  fs::create_directory(dir / "carpeta.xml");
  EXPECT_THROW(doc.Save(dir / "carpeta.xml"), Failure);
}

TEST(Xml, SaveRemovesTemporariesLeftByKilledProcessesOnly) {
  TempDir dir;
  const std::string dead = ".out.xml.999999999.tmp";                        // no such process
  const std::string alive = ".out.xml." + std::to_string(getppid()) + ".tmp";  // a process that runs
  WriteBytes(dir / dead, "medio");
  WriteBytes(dir / alive, "en curso");
  WriteBytes(dir / ".otro.xml.999999999.tmp", "de otro archivo");
  XmlDocument doc;
  doc.LoadBytes("<S/>", "f");
  doc.Save(dir / "out.xml");
  EXPECT_FALSE(fs::exists(dir / dead));
  EXPECT_TRUE(fs::exists(dir / alive));
  EXPECT_TRUE(fs::exists(dir / ".otro.xml.999999999.tmp"));
}

TEST(Xml, SaveIntoAReadOnlyFolderFailsAndKeepsTheOldFile) {
  TempDir dir;
  WriteBytes(dir / "out.xml", "antiguo");
  fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read |
                                  fs::perms::others_exec | fs::perms::group_read | fs::perms::group_exec);
  // Root ignores folder permissions: the save runs as an ordinary user then.
  const pid_t child = fork();
  if (child == 0) {
    if (geteuid() == 0 && setuid(65534) != 0) _exit(3);
    XmlDocument doc;
    doc.LoadBytes("<S>nuevo</S>", "f");
    try {
      doc.Save(dir / "out.xml");
    } catch (const Failure& failure) {
      const std::string expected = "No se puede escribir el archivo '" + (dir / "out.xml").string() + "': permiso denegado";
      _exit(failure.what() == expected ? 0 : 2);
    }
    _exit(1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(ReadBytes(dir / "out.xml"), "antiguo");
}

TEST(Xml, DeepNestingAndLongValuesLoad) {
  std::string deep;
  for (int i = 0; i < 100000; ++i) deep += "<a>";
  deep += "x";
  for (int i = 0; i < 100000; ++i) deep += "</a>";
  XmlDocument doc;
  doc.LoadBytes(deep, "f");
  EXPECT_EQ(doc.DocumentElement().Text(), "x");
  doc.LoadBytes("<a v=\"" + std::string(5 << 20, 'v') + "\">" + std::string(5 << 20, 't') + "</a>", "f");
  EXPECT_EQ(doc.DocumentElement().Text().size(), 5u << 20);
}

}  // namespace
}  // namespace enlazor
