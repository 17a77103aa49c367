// Bad inputs of both runs: each ends with its exact message and changes
// nothing (the few the system accepts end as the system says).
#include <functional>

#include <gtest/gtest.h>

#include "exchange/dbf/table.h"
#include "exchange/failure.h"
#include "export/export_run.h"
#include "import/import_run.h"
#include "support.h"

namespace enlazor {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::Snapshot;
using testing::TempDir;
using testing::WriteBytes;

using testing::kDone;
using testing::Outcome;

std::string Seneca(const std::string& groups) { return testing::SenecaDocument(groups); }

fs::path Source() { return std::getenv("ENLAZOR_SOURCE") ? std::getenv("ENLAZOR_SOURCE") : "."; }

std::string Nested(int levels, const std::string& inner) {
  std::string open, close;
  for (int i = 0; i < levels; ++i) open += "<x>", close += "</x>";
  return open + inner + close;
}

class Catalogue : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::permissions(dir.path(), fs::perms::all);
    fs::create_directory(work);
    WriteBytes(dir / "old.xml",
               Seneca(testing::Group("MATERIAS", {{"1", "2", "Lengua"}}) +
                      testing::Group("EMPLEADOS", {{"10", "01/09/2010", "P", "García", "López", "Ana"}}) +
                      testing::Group("TRAMOS_HORARIOS", {{"T1", "1", "0800", "0900"}})));
    RunExport(dir / "old.xml", work);
    Table soluc(work, "SOLUC");
    testing::DefineSoluc(soluc);
    soluc.CreateTable();
    soluc.Open();
    soluc.Append();
    soluc.SetFieldText("PROF", "AGL");
    soluc.SetFieldText("DIA", "1");
    soluc.SetFieldText("HORA", "1");
    soluc.Post();
    soluc.Close();
    WriteBytes(dir / "base.xml", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><SERVICIO><BLOQUE_DATOS/></SERVICIO>");
    WriteBytes(dir / "horario.xml", "elegido");
  }
  std::string Path(const std::string& name) { return (work / name).string(); }
  std::string Damaged(const std::string& table, const std::string& what) {
    return "La tabla '" + Path(table) + "' está dañada: " + what;
  }

  TempDir dir;
  fs::path work = dir / "HTEMP";
};

struct ExportCase {
  const char* what;
  std::string input;  // the file's bytes
  std::string outcome;
};

TEST_F(Catalogue, BadExportFilesChangeNoTable) {
  const std::string file = (dir / "seneca.xml").string();
  const std::string xmlError = "Error en el archivo XML '" + file + "'";
  const std::string cut = "el documento está vacío o termina antes de cerrar sus elementos";
  const std::string invalid = "carácter no válido o marca mal escrita";
  const std::string notSeneca = "El archivo '" + file + "' no es una exportación de Séneca: ";
  const std::string noGroups =
      "no tiene ninguno de los grupos MATERIAS, EMPLEADOS, DEPENDENCIAS, UNIDADES ni TRAMOS_HORARIOS";
  const std::string untouched = ". Las tablas de trabajo no se han cambiado.";
  const std::string bomb =
      "<!DOCTYPE S [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
      "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">]><SERVICIO>&c;</SERVICIO>";
  const ExportCase cases[] = {
      {"not XML", "Esto no es un archivo de Séneca", xmlError + ", línea 1, columna 1: error de sintaxis"},
      {"empty file", "", xmlError + ", línea 1, columna 1: " + cut},
      {"truncated", Seneca("").substr(0, 70), xmlError + ", línea 2, columna 1: marca sin cerrar"},
      {"binary garbage", std::string("\x00\x01\xfe\xff\x80garbage\x00", 13),
       xmlError + ", línea 1, columna 1: " + invalid},
      {"invalid UTF-8", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><SERVICIO>\xc3\x28</SERVICIO>",
       xmlError + ", línea 1, columna 49: " + invalid},
      {"unknown encoding", "<?xml version=\"1.0\" encoding=\"KOI8-R\"?><SERVICIO/>",
       xmlError + ", línea 1, columna 1: la codificación 'KOI8-R' no se puede leer"},
      {"external entity",
       "<?xml version=\"1.0\"?><!DOCTYPE S [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><SERVICIO>&x;</SERVICIO>",
       xmlError + ": las declaraciones DOCTYPE no se admiten"},
      {"entity bomb", bomb, xmlError + ": las declaraciones DOCTYPE no se admiten"},
      {"time beyond 32 bits", Seneca(testing::Group("TRAMOS_HORARIOS", {{"T", "1", "0800", "99999999999"}})),
       "'99999999999' no es un valor entero válido"},
      {"negative beyond 32 bits", Seneca(testing::Group("TRAMOS_HORARIOS", {{"T", "1", "-2147483649", "0900"}})),
       "'-2147483649' no es un valor entero válido"},
      {"time with a colon", Seneca(testing::Group("TRAMOS_HORARIOS", {{"T", "1", "08:00", "0900"}})),
       "'08:00' no es un valor entero válido"},
      {"declaration only", "<?xml version=\"1.0\"?>", xmlError + ", línea 1, columna 22: " + cut},
      {"unclosed comment", "<SERVICIO><!-- sin cerrar </SERVICIO>",
       xmlError + ", línea 1, columna 11: marca sin cerrar"},
      {"unclosed CDATA", "<SERVICIO><![CDATA[ sin cerrar </SERVICIO>",
       xmlError + ", línea 1, columna 43: sección CDATA sin cerrar"},
      {"attribute without quotes", "<SERVICIO a=1/>", xmlError + ", línea 1, columna 13: " + invalid},
      {"odd UTF-16", std::string("\xff\xfe<\0S\0E\0R\0V\0I\0C\0I\0O\0/\0>\0x", 25),
       xmlError + ", línea 1, columna 13: marca sin cerrar"},
      {"two roots", "<SERVICIO/><SERVICIO/>",
       xmlError + ", línea 1, columna 12: hay contenido después del elemento raíz"},
      // Documents that are not Séneca exports, some of which sit beside them: refused, every table untouched.
      {"another root", "<a/>", notSeneca + "su elemento raíz es 'a' y no SERVICIO" + untouched},
      {"the template", testing::ReadBytes(Source() / "samples/base.xml"), notSeneca + noGroups + untouched},
      {"an import's output",
       "<SERVICIO><BLOQUE_DATOS><grupo_datos seq=\"ANNO_ACADEMICO\"/><grupo_datos seq=\"HORARIOS_REGULARES\"/>"
       "</BLOQUE_DATOS></SERVICIO>",
       notSeneca + noGroups + untouched},
      {"every group empty", Seneca(testing::Group("UNIDADES", {}) + testing::Group("EMPLEADOS", {})),
       "El archivo '" + file +
           "' no contiene datos: sus grupos MATERIAS, EMPLEADOS, DEPENDENCIAS, UNIDADES y "
           "TRAMOS_HORARIOS están vacíos, y exportarlo dejaría vacías las tablas de Horavia" +
           untouched},
      {"groups outside BLOQUE_DATOS", "<SERVICIO>" + testing::Group("MATERIAS", {{"1", "2", "Lengua"}}) + "</SERVICIO>",
       notSeneca + noGroups + untouched},
      {"subject code space exhausted",
       [] {
         std::vector<std::vector<std::string>> records(11111, {"1", "2", "Lengua"});
         return Seneca(testing::Group("MATERIAS", records));
       }(),
       "No quedan códigos libres de cuatro caracteres para 'L'"},
  };
  for (const auto& c : cases) {
    const auto before = Snapshot(work);
    WriteBytes(dir / "seneca.xml", c.input);
    EXPECT_EQ(Outcome([&] { RunExport(dir / "seneca.xml", work); }), c.outcome) << c.what;
    EXPECT_EQ(Snapshot(work), before) << c.what;
  }
}

TEST_F(Catalogue, ExportFilesAndFoldersThatAreNotThere) {
  const auto before = Snapshot(work);
  WriteBytes(dir / "seneca.xml", Seneca(""));
  fs::create_directory(dir / "carpeta.xml");
  const std::pair<std::string, std::function<void()>> cases[] = {
      {"No existe archivo", [&] { RunExport(dir / "no-existe.xml", work); }},
      {"No existe archivo", [&] { RunExport(dir / "carpeta.xml", work); }},
      {"No existe la carpeta de trabajo '" + (dir / "NOHAY").string() +
           "'. Compruebe que Horavia está instalado: Enlazor trabaja en su carpeta",
       [&] { RunExport(dir / "seneca.xml", dir / "NOHAY"); }},
  };
  for (const auto& [outcome, run] : cases) EXPECT_EQ(Outcome(run), outcome);
  EXPECT_EQ(Snapshot(work), before);
}

#ifndef _WIN32
TEST_F(Catalogue, PosixReadOnlyFoldersStopBothRunsAndChangeNothing) {
  WriteBytes(dir / "seneca.xml", Seneca(testing::Group("MATERIAS", {})));
  const auto before = Snapshot(work);
  const auto folderBefore = Snapshot(dir.path());
  fs::permissions(work, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  EXPECT_EQ(testing::OutcomeAsOrdinaryUser([&] { RunExport(dir / "seneca.xml", work); }),
            "No se puede crear la carpeta '" + Path(kStagingFolder) + "': permiso denegado");
  fs::permissions(work, fs::perms::all);
  fs::permissions(dir.path(), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  EXPECT_EQ(
      testing::OutcomeAsOrdinaryUser([&] { RunImport(dir / "horario.xml", work, dir / "base.xml"); }),
      "No se puede escribir el archivo '" + (dir / "ResultadoTemprahorario.xml").string() + "': permiso denegado");
  fs::permissions(dir.path(), fs::perms::owner_write, fs::perm_options::add);
  EXPECT_EQ(Snapshot(work), before);
  EXPECT_EQ(Snapshot(dir.path()), folderBefore);
}
#endif

TEST_F(Catalogue, ExportInputsTheSystemAccepts) {
  // Deep nesting inside a value, and a huge attribute: read in linear time, without recursion.
  const std::string deep = Seneca("<grupo_datos seq=\"MATERIAS\"><grupo_datos><dato>1</dato><dato>2</dato><dato>" +
                                  Nested(100000, "Lengua") + "</dato></grupo_datos></grupo_datos>");
  const std::string large = "<SERVICIO x=\"" + std::string(50 << 20, 'v') + "\"><BLOQUE_DATOS>" +
                            testing::Group("MATERIAS", {{"1", "2", "Lengua"}}) + "</BLOQUE_DATOS></SERVICIO>";
  // A real export with some of its groups empty exports what it has.
  const std::string someEmpty =
      Seneca(testing::Group("UNIDADES", {}) + testing::Group("EMPLEADOS", {{"1", "", "", "A", "B", "C"}}));
  for (const auto& [input, subjects] : {std::pair{deep, 1u}, std::pair{large, 1u}, std::pair{someEmpty, 0u}}) {
    WriteBytes(dir / "seneca.xml", input);
    EXPECT_EQ(Outcome([&] { RunExport(dir / "seneca.xml", work); }), kDone);
    Table table(work, "ASIGNOMT");
    table.Open();
    EXPECT_EQ(table.RowCount(), subjects);
    if (subjects) {
      EXPECT_EQ(table.FieldText("NOMBRE"), "Lengua");
    }
  }
}

// Writes raw bytes over a work table.
void Corrupt(const fs::path& table, const std::function<void(std::string&)>& change) {
  std::string bytes = ReadBytes(table);
  change(bytes);
  WriteBytes(table, bytes);
}

TEST_F(Catalogue, BadTablesAndTemplatesWriteNoOutput) {
  const std::string output = (dir / "ResultadoTemprahorario.xml").string();
  const std::string base = (dir / "base.xml").string();
  const std::string noSoluc = "', el horario que hace Horavia. Haga primero el horario en Horavia y repita la orden";
  const std::string remedy =
      ". Corrija la plantilla o quítela de esa carpeta: sin ella, Enlazor genera una con el curso de las tablas de "
      "trabajo";
  struct ImportCase {
    const char* what;
    std::function<void()> spoil;
    std::string outcome;
  };
  auto withFields = [&](const char* table, std::vector<FieldDef> fields, std::vector<std::vector<std::string>> rows) {
    return [=, this] {
      Table t(work, table);
      for (const auto& field : fields) t.AddField(field);
      t.CreateTable();
      t.Open();
      for (const auto& row : rows) {
        t.Append();
        for (size_t i = 0; i < row.size(); ++i) t.SetFieldText(fields[i].name, row[i]);
        t.Post();
      }
    };
  };
  const FieldDef text4{"PROF", FieldType::Text, 4};
  const ImportCase cases[] = {
      {"header longer than the file", [&] { Corrupt(work / "SOLUC.DBF", [](std::string& b) { b.resize(100); }); },
       Damaged("SOLUC.DBF", "la cabecera es más larga que el archivo")},
      {"record length disagrees", [&] { Corrupt(work / "SOLUC.DBF", [](std::string& b) { b[10] = 7; }); },
       Damaged("SOLUC.DBF", "la longitud de registro (7) no coincide con la de los campos (39)")},
      {"field of width 0", [&] { Corrupt(work / "PROFT.DBF", [](std::string& b) { b[32 + 16] = 0; }); },
       Damaged("PROFT.DBF", "el campo 'ABREV' tiene anchura 0")},
      {"missing 0x0D", [&] { Corrupt(work / "GRUPOST.DBF", [](std::string& b) { b[32 + 6 * 32] = ' '; }); },
       Damaged("GRUPOST.DBF", "falta la marca de fin de la lista de campos")},
      {"truncated record", [&] { Corrupt(work / "SOLUC.DBF", [](std::string& b) { b.resize(b.size() - 5); }); },
       Damaged("SOLUC.DBF", "el último registro está incompleto")},
      {"empty SOLUC file", [&] { WriteBytes(work / "SOLUC.DBF", ""); },
       Damaged("SOLUC.DBF", "el archivo es más corto que su cabecera")},
      {"damaged CURSOACAD", [&] { WriteBytes(work / "CURSOACAD.DBF", "xx"); },
       Damaged("CURSOACAD.DBF", "el archivo es más corto que su cabecera")},
      {"PROFT without X_EMPLEADO",
       withFields("PROFT", {{"ABREV", FieldType::Text, 4}, {"F_TOMAPOS", FieldType::Text, 10}}, {{"AGL", ""}}),
       "wwTableProfesor: No se encuentra el campo 'X_EMPLEADO'"},
      {"SOLUC without DIA", withFields("SOLUC", {text4, {"HORA", FieldType::Integer, 0}}, {{"AGL", "1"}}),
       "wwTableSoluc: No se encuentra el campo 'DIA'"},
      {"SOLUC without PROF", withFields("SOLUC", {{"DIA", FieldType::Integer, 0}}, {{"1"}}),
       "wwTableSoluc: No se encuentra el campo 'PROF'"},
      {"CURSOACAD without F_INICIO", withFields("CURSOACAD", {{"F_FIN", FieldType::Text, 10}}, {{"x"}}),
       "No se encuentra el campo 'F_INICIO'"},
      {"DIA that is text",
       withFields("SOLUC", {text4, {"DIA", FieldType::Text, 2}, {"HORA", FieldType::Integer, 0}}, {{"AGL", "lu", "1"}}),
       "'lu' no es un valor entero válido"},
      {"HORA that is blank",
       withFields("SOLUC", {text4, {"DIA", FieldType::Integer, 0}, {"HORA", FieldType::Text, 2}}, {{"AGL", "1", ""}}),
       "'' no es un valor entero válido"},
      {"DIASHORAST without DIHO", withFields("DIASHORAST", {{"DIA", FieldType::Text, 2}}, {{"1"}}),
       "wwTableTramos: No se encuentra el campo 'DIHO'"},
      {"SOLUC missing", [&] { fs::remove(work / "SOLUC.DBF"); }, "No existe la tabla '" + Path("SOLUC.DBF") + noSoluc},
      {"SOLUC is a folder",
       [&] {
         fs::remove(work / "SOLUC.DBF");
         fs::create_directory(work / "SOLUC.DBF");
       },
       "No existe la tabla '" + Path("SOLUC.DBF") + noSoluc},
      {"CURSOACAD missing", [&] { fs::remove(work / "CURSOACAD.DBF"); }, kAtencion},
      {"exchange file missing", [&] { fs::remove(dir / "horario.xml"); }, "No existe archivo"},
      {"template ill-formed", [&] { WriteBytes(dir / "base.xml", "<SERVICIO><BLOQUE_DATOS></SERVICIO>"); },
       "Error en el archivo XML '" + base +
           "', línea 1, columna 27: la etiqueta de cierre no corresponde a la abierta" + remedy},
      {"template without BLOQUE_DATOS", [&] { WriteBytes(dir / "base.xml", "<SERVICIO/>"); },
       "La plantilla '" + base + "' no tiene el elemento BLOQUE_DATOS" + remedy},
      {"output name is a folder", [&] { fs::create_directory(output); },
       "No se puede escribir el archivo '" + output + "': es una carpeta"},
  };
  for (const auto& c : cases) {
    const TempDir keep;
    fs::copy(work, keep / "HTEMP");
    fs::copy_file(dir / "base.xml", keep / "base.xml");
    c.spoil();
    const auto before = Snapshot(work);
    const auto folderBefore = Snapshot(dir.path());
    EXPECT_EQ(Outcome([&] { RunImport(dir / "horario.xml", work, dir / "base.xml"); }), c.outcome) << c.what;
    EXPECT_EQ(Snapshot(work), before) << c.what;
    EXPECT_EQ(Snapshot(dir.path()), folderBefore) << c.what;
    // Back to the good tables for the next case.
    fs::remove_all(work);
    fs::copy(keep / "HTEMP", work);
    fs::remove_all(output);
    testing::CopyOver(keep / "base.xml", dir / "base.xml");
    WriteBytes(dir / "horario.xml", "elegido");
  }
}

TEST_F(Catalogue, ImportWithoutTheWorkDirectory) {
  const auto before = Snapshot(dir.path());
  EXPECT_EQ(Outcome([&] { RunImport(dir / "horario.xml", dir / "NOHAY", dir / "base.xml"); }), kAtencion);
  EXPECT_EQ(Snapshot(dir.path()), before);
}

TEST_F(Catalogue, ACountBeyondTheFileReadsTheRowsThatAreThere) {
  Corrupt(work / "SOLUC.DBF", [](std::string& b) { b[4] = 50; });
  EXPECT_EQ(Outcome([&] { RunImport(dir / "horario.xml", work, dir / "base.xml"); }), kDone);
  EXPECT_NE(ReadBytes(dir / "ResultadoTemprahorario.xml").find("ACTIVIDAD_1"), std::string::npos);
}

}  // namespace
}  // namespace enlazor
