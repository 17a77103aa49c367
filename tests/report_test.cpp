// What a run tells of what it did: every kind of finding from a small school
// that has it, with what the tables or the output hold for that value.
#include "exchange/report.h"

#include <gtest/gtest.h>

#include "exchange/dbf/table.h"
#include "exchange/failure.h"
#include "exchange/platform/platform.h"
#include "exchange/xml/xml.h"
#include "export/export_run.h"
#include "import/import_run.h"
#include "support.h"

namespace enlazor {
namespace {

namespace fs = std::filesystem;
using testing::Group;
using testing::SenecaDocument;
using testing::TempDir;
using testing::WriteBytes;
using Rows = std::vector<std::vector<std::string>>;

// The one finding of a kind, as "tabla fila campo valor -> queda".
std::string Only(const RunReport& report, const std::string& kind) {
  std::string found;
  for (const auto& f : report.hallazgos) {
    if (f.tipo != kind) continue;
    if (!found.empty()) return "más de uno";
    found = f.tabla + " " + std::to_string(f.fila) + " " + f.campo + " " + f.valor + " -> " + f.queda;
  }
  return found;
}

std::string Field(const fs::path& dir, const char* table, size_t row, const char* field) {
  Table t(dir, table);
  t.Open();
  t.MoveTo(row - 1);
  return AnsiToUtf8(t.FieldText(field));
}

TEST(Report, EveryKindOfExportFindingSaysWhatBecameOfTheValue) {
  const std::string longName = "Lengua Castellana y Literatura 1º Bachillerato";
  const struct {
    const char* kind;
    std::string groups;
    std::string finding;
    const char* table;
    size_t row;
    const char* field;
    std::string stored;  // what the table holds, as the finding says
  } cases[] = {
      {"valor_cortado", Group("MATERIAS", {{"1", "2", longName}}),
       "ASIGNOMT 1 NOMBRE " + longName + " -> " + longName.substr(0, 41), "ASIGNOMT", 1, "NOMBRE",
       longName.substr(0, 41)},
      {"identificador_cortado", Group("DEPENDENCIAS", {{"20814001234", "Gimnasio"}}),
       "AULAT 1 DEPCENTRO 20814001234 -> 2081400123", "AULAT", 1, "DEPCENTRO", "2081400123"},
      {"codigo_renumerado",
       Group("EMPLEADOS", {{"1", "", "", "García", "López", "Ana"}, {"2", "", "", "Gil", "Luna", "Antonio"}}),
       "PROFT 2 ABREV AGL -> AGL1", "PROFT", 2, "ABREV", "AGL1"},
      {"registro_incompleto", Group("MATERIAS", {{"solo"}, {"1", "2", "Música"}}), "MATERIAS 1  1 datos -> sin fila",
       "ASIGNOMT", 1, "NOMBRE", "Música"},
      {"empleado_repetido",
       Group("EMPLEADOS", {{"7", "", "", "A", "B", "C"}, {"8", "", "", "D", "E", "F"}, {"7", "", "", "G", "H", "I"}}),
       "PROFT 1 X_EMPLEADO 7 -> 2 filas", "PROFT", 3, "X_EMPLEADO", "7"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    WriteBytes(dir / "s.xml", SenecaDocument(c.groups));
    const RunReport report = RunExport(dir / "s.xml", dir.path());
    EXPECT_EQ(Only(report, c.kind), c.finding) << c.kind;
    EXPECT_EQ(Field(dir.path(), c.table, c.row, c.field), c.stored) << c.kind;
    EXPECT_EQ(report.Count(), 1u) << c.kind << "\n" << report.Details();
  }
}

// Two identifiers that a field's width would make one: nothing is exported.
TEST(Report, IdentifiersThatWouldBecomeOneStopTheExportNamingBoth) {
  TempDir dir;
  fs::create_directory(dir / "HTEMP");
  WriteBytes(dir / "antes.xml", SenecaDocument(Group("MATERIAS", {{"1", "2", "Lengua"}})));
  RunExport(dir / "antes.xml", dir / "HTEMP");
  const auto before = testing::Snapshot(dir / "HTEMP");
  const struct {
    std::string groups;
    std::string named;
  } cases[] = {
      {Group("DEPENDENCIAS", {{"123456789012", "Aula"}, {"123456789013", "Otra"}}),
       "«123456789012» (fila 1) y «123456789013» (fila 2) de AULAT"},
      {Group("DEPENDENCIAS", {{"1234567890", "Aula"}, {"12345678901", "Otra"}}),
       "«1234567890» (fila 1) y «12345678901» (fila 2) de AULAT"},
      {Group("EMPLEADOS", {{"50300000001", "", "", "A", "B", "C"}, {"50300000002", "", "", "D", "E", "F"}}),
       "«50300000001» (fila 1) y «50300000002» (fila 2) de PROFT"},
  };
  for (const auto& c : cases) {
    WriteBytes(dir / "s.xml", SenecaDocument(c.groups));
    const std::string outcome = testing::Outcome([&] { RunExport(dir / "s.xml", dir / "HTEMP"); });
    EXPECT_EQ(outcome.rfind("Los identificadores " + c.named, 0), 0u) << outcome;
    EXPECT_THROW(RunExport(dir / "s.xml", dir / "HTEMP"), Refusal);
    EXPECT_EQ(testing::Snapshot(dir / "HTEMP"), before);
  }
  // The same identifier twice (a mixed unit, one per course) is one identifier.
  WriteBytes(dir / "s.xml",
             SenecaDocument(Group("UNIDADES", {{"12345678901", "1º ESO A"}, {"12345678901", "1º ESO A"}})));
  EXPECT_EQ(testing::Outcome([&] { RunExport(dir / "s.xml", dir / "HTEMP"); }), testing::kDone);
}

TEST(Report, EveryKindOfImportFindingNamesTheLesson) {
  TempDir dir;
  fs::create_directory(dir / "HTEMP");
  WriteBytes(dir / "s.xml", SenecaDocument(Group("MATERIAS", {{"310000", "41000", "Lengua"}}) +
                                           Group("EMPLEADOS", {{"100", "", "", "García", "López", "Ana"}}) +
                                           Group("DEPENDENCIAS", {{"A1", "Aula"}, {"A2", "Otra"}}) +
                                           Group("UNIDADES", {{"U1", "1º ESO A"}, {"U2", "1º ESO B"}}) +
                                           Group("TRAMOS_HORARIOS", {{"T1", "1", "0800", "0900"}})));
  RunExport(dir / "s.xml", dir / "HTEMP");
  WriteBytes(dir / "base.xml", "<SERVICIO><BLOQUE_DATOS/></SERVICIO>");
  const struct {
    const char* kind;
    std::vector<std::vector<std::string>> lessons;  // PROF, DIA, HORA, AULA, CODGRUPO, ASIG
    std::string finding;
    std::string datos;  // the lesson's eleven datos as written, when it is written
    size_t findings = 1;
  } cases[] = {
      {"tramo_desconocido",
       {{"AGL", "1", "9", "A1", "1ESA", "L"}},
       "SOLUC 1 DIA+HORA 19 -> N_DIASEMANA, X_TRAMO, N_HORINI y N_HORFIN van vacíos a Séneca",
       "||A1|U1|310000|41000|||||1"},
      {"aula_desconocida",
       {{"AGL", "1", "1", "Z9", "1ESA", "L"}},
       "SOLUC 1 AULA Z9 -> X_DEPENDENCIA lleva el código de SOLUC",
       "1|T1|Z9|U1|310000|41000|||0800|0900|1"},
      {"unidad_desconocida",
       {{"AGL", "1", "1", "A1", "9ZZ", "L"}},
       "SOLUC 1 CODGRUPO 9ZZ -> X_UNIDAD va vacío a Séneca",
       "1|T1|A1||310000|41000|||0800|0900|1"},
      {"materia_desconocida",
       {{"AGL", "1", "1", "A1", "1ESA", "Q"}},
       "SOLUC 1 ASIG Q -> X_OFERTAMATRIG y X_MATERIAOMG van vacíos a Séneca",
       "1|T1|A1|U1|||||0800|0900|1",
       2},  // and it is no activity either
      {"profesor_sin_ficha",
       {{"XYZ", "1", "1", "A1", "1ESA", "L"}},
       "SOLUC 1 PROF XYZ -> no pasa a Séneca",
       "",
       2},  // and AGL has no timetable
      {"clase_sin_colocar", {{"AGL", "0", "0", "A1", "1ESA", "L"}}, "SOLUC 1 DIA 0 -> no pasa a Séneca", "", 2},
      {"caracter_indefinido",
       {{"AGL", "1", "1", "", "1ESA", "L"}, {"AGL", "1", "1", "Z\x81", "1ESA", "L"}},
       "SOLUC 2 AULA Z\u0081 -> Z?",
       "1|T1||U1|310000|41000|||0800|0900|1|1|T1|Z?|U1|310000|41000|||0800|0900|1",
       2},  // an unknown room too
      {"profesor_en_dos_sitios",
       {{"AGL", "1", "1", "A1", "1ESA", "L"}, {"AGL", "1", "1", "A2", "1ESA", "L"}},
       "SOLUC 2 AULA A2 -> A1",
       "1|T1|A1|U1|310000|41000|||0800|0900|1|1|T1|A2|U1|310000|41000|||0800|0900|1"},
  };
  for (const auto& c : cases) {
    testing::WriteSoluc(dir / "HTEMP", c.lessons);
    const RunReport report = RunImport(dir / "s.xml", dir / "HTEMP", dir / "base.xml");
    EXPECT_EQ(Only(report, c.kind), c.finding) << c.kind;
    EXPECT_EQ(report.Count(), c.findings) << c.kind << "\n" << report.Details();
    XmlDocument output;
    output.Load(platform::PathFromUtf8(report.salida));
    const XmlNodeList datos = output.SelectNodes("/SERVICIO/BLOQUE_DATOS/grupo_datos/grupo_datos/grupo_datos/dato");
    std::string written;
    for (size_t d = 0; d < datos.Length(); ++d) written += (d ? "|" : "") + datos.Item(d).Text();
    EXPECT_EQ(written, c.datos) << c.kind;
  }
  // One lesson for two units in one room, or a row without a room, is no clash.
  testing::WriteSoluc(
      dir / "HTEMP",
      {{"AGL", "1", "1", "A1", "1ESA", "L"}, {"AGL", "1", "1", "A1", "1ESB", "L"}, {"AGL", "1", "1", "", "1ESB", "L"}});
  EXPECT_EQ(RunImport(dir / "s.xml", dir / "HTEMP", dir / "base.xml").Count(), 0u);
}

TEST(Report, BeyondFiveHundredFindingsOfAKindOnlyTheCountGrows) {
  RunReport report;
  for (int i = 0; i < 503; ++i) report.Add({"codigo_renumerado", "PROFT", i + 1, "ABREV", "A", "A1", "", {}, {}, "m"});
  report.Add({"valor_cortado", "ASIGNOMT", 1, "NOMBRE", "x", "y", "", {}, {}, "m"});
  EXPECT_EQ(report.hallazgos.size(), 501u);
  EXPECT_EQ(report.Count(), 504u);
  EXPECT_EQ(report.Summary(), "1 aviso para revisar (1 valor cortado); 503 códigos renumerados.");
  EXPECT_NE(report.Lines().find("... y 3 más del tipo «códigos renumerados»."), std::string::npos);
  EXPECT_NE(report.Details().find("Códigos renumerados en Profesorado (PROFT): 503\n  m\n"), std::string::npos);
  EXPECT_NE(report.Json().find("\"omitidos\": {\"codigo_renumerado\": 3}"), std::string::npos);
}

// What a user must look at comes first, kind by kind; the routine
// renumberings last, one line per table with their list below.
TEST(Report, TheDetailsPutWhatToLookAtFirst) {
  RunReport report;
  report.Add({"codigo_renumerado", "PROFT", 2, "ABREV", "AGL", "AGL1", "", {}, {}, "p2"});
  report.Add({"empleado_repetido", "PROFT", 1, "X_EMPLEADO", "7", "2 filas", "", {}, {}, "e"});
  report.Add({"codigo_renumerado", "ASIGNOMT", 9, "COD", "LC", "LC1", "", {}, {}, "a9"});
  report.Add({"clase_sin_colocar", "SOLUC", 3, "DIA", "0", "no pasa a Séneca", "AGL", 0, 2, "c"});
  report.Add({"codigo_renumerado", "PROFT", 5, "ABREV", "AGL", "AGL2", "", {}, {}, "p5"});
  EXPECT_EQ(report.Summary(),
            "2 avisos para revisar (1 clase sin colocar, 1 empleado repetido); 3 códigos renumerados.");
  EXPECT_EQ(report.Details(),
            "Para revisar:\nClases sin colocar (1):\n  c\nEmpleados repetidos (1):\n  e\n\nDe rutina:\n"
            "Códigos renumerados en Materias (ASIGNOMT): 1\n  a9\nCódigos renumerados en Profesorado (PROFT): 2\n  "
            "p2\n  p5\n");
  EXPECT_EQ(report.Lines(), "p2\ne\na9\nc\np5\n");
  EXPECT_NE(report.Json().find("\"fila\": 3, \"campo\": \"DIA\", \"valor\": \"0\", \"queda\": \"no pasa a Séneca\", "
                               "\"profesor\": \"AGL\", \"dia\": 0, \"tramo\": 2"),
            std::string::npos);
  RunReport routine;
  routine.Add({"codigo_renumerado", "PROFT", 2, "ABREV", "AGL", "AGL1", "", {}, {}, "p2"});
  EXPECT_EQ(routine.Summary(), "1 código renumerado.");
}

}  // namespace
}  // namespace enlazor
