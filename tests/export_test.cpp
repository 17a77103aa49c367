#include "export/export_run.h"

#include <gtest/gtest.h>

#include "exchange/dbf/table.h"
#include "exchange/failure.h"
#include "exchange/platform/platform.h"
#include "export/builders.h"
#include "export/codes.h"
#include "support.h"

namespace enlazor {
namespace {

namespace fs = std::filesystem;
using testing::Group;
using testing::SenecaDocument;
using testing::Snapshot;
using testing::Tables;
using testing::TempDir;
using Rows = std::vector<std::vector<std::string>>;

// The rows of a table, the named fields of each, as UTF-8.
Rows Read(const fs::path& dir, const char* table, std::vector<const char*> fields) {
  Table t(dir, table);
  t.Open();
  Rows rows;
  for (t.First(); !t.Eof(); t.Next()) {
    rows.emplace_back();
    for (const char* field : fields) rows.back().push_back(AnsiToUtf8(t.FieldText(field)));
  }
  return rows;
}

class Export : public ::testing::Test {
 protected:
  // Exports a document (UTF-8 text) into the work directory.
  RunReport Run(const std::string& xml) {
    testing::WriteBytes(dir / "seneca.xml", xml);
    return RunExport(dir / "seneca.xml", work());
  }
  std::string RunFailure(const std::string& xml) {
    try {
      Run(xml);
    } catch (const std::exception& failure) {
      return failure.what();
    }
    return "<sin fallo>";
  }
  fs::path work() {
    fs::create_directories(dir / "HTEMP");
    return dir / "HTEMP";
  }
  Rows Table(const char* table, std::vector<const char*> fields) { return Read(work(), table, fields); }

  TempDir dir;
};

TEST_F(Export, SchoolYearComesFromTheDatosOfTheFirstTwoGroups) {
  const std::string anno =
      "<grupo_datos seq=\"ANNO\"><dato>\n  "
      "2026\n</dato><dato>15/09/2026</dato><dato>22/06/2027</dato><dato>x</dato></grupo_datos>";
  const std::string records = Group("MATERIAS", {{"1", "2", "3"}});
  const struct {
    const char* what;
    std::string groups;
    Rows rows;
  } cases[] = {
      {"first with datos, second only records", anno + records, {{"2026", "15/09/2026", "22/06/2027"}}},
      {"both with datos",
       anno + "<grupo_datos><dato>20271</dato><dato>a</dato><dato>b</dato></grupo_datos>",
       {{"2026", "15/09/2026", "22/06/2027"}, {"2027", "a", "b"}}},
      {"first with one dato",
       "<grupo_datos><dato>2026</dato></grupo_datos>" + anno,
       {{"2026", "15/09/2026", "22/06/2027"}}},
      {"two datos give an empty end date",
       "<grupo_datos><dato>2026</dato><dato>1/9</dato></grupo_datos>",
       {{"2026", "1/9", ""}}},
      {"a third group counts for nothing", records + records + anno, {}},
      {"no groups before the catalogue", "", {}},
  };
  for (const auto& c : cases) {
    Run(SenecaDocument(c.groups + Group("UNIDADES", {{"U1", "1º ESO A"}})));
    EXPECT_EQ(Table("CURSOACAD", {"CURSOANNO", "F_INICIO", "F_FIN"}), c.rows) << c.what;
  }
}

TEST_F(Export, SubjectCodesAreInitialsMadeUniqueAsStored) {
  Rows records = {{"1", "11", "Lengua Castellana y Literatura"},
                  {"2", "12", "Lectura Comprensiva"},
                  {"3", "13", "Literatura Clásica"},
                  {"4", "14", "lectura crítica"},
                  {"5", "15", "Música"},
                  {"solo"},
                  {"6", "16", ""},
                  {"7", "17", ""},
                  {"8", "18", "Lengua  Castellana"},
                  {"9", "19", "Una materia con un nombre de más de cuarenta letras"},
                  {"10", "20"}};
  Run(SenecaDocument(Group("MATERIAS", records)));
  const Rows rows = Table("ASIGNOMT", {"COD", "CODLARGO", "NOMBRE", "MATERIA"});
  const Rows expected = {{"LC", "11", "Lengua Castellana y Literatura", "1"},
                         {"LC1", "12", "Lectura Comprensiva", "2"},
                         {"LC2", "13", "Literatura Clásica", "3"},
                         {"lc3", "14", "lectura crítica", "4"},
                         {"M", "15", "Música", "5"},
                         {"", "16", "", "6"},
                         {"1", "17", "", "7"},
                         {"L", "18", "Lengua  Castellana", "8"},  // "L " stored: trailing blank is padding
                         {"Um", "19", "Una materia con un nombre de más de cuar", "9"},
                         {"2", "20", "", "10"}};
  EXPECT_EQ(rows, expected);
}

TEST(Codes, NumberedCandidatesFitTheFourCharacterField) {
  const struct {
    const char* base;
    unsigned n;
    const char* code;
  } cases[] = {{"AGL", 1, "AGL1"},  {"AGL", 9, "AGL9"}, {"AGL", 10, "AG10"},  {"LC", 99, "LC99"},
               {"LC", 100, "L100"}, {"", 5, "5"},       {"AB", 1000, "1000"}, {"2081", 3, "2083"}};
  for (const auto& c : cases) EXPECT_EQ(NumberedCode(c.base, c.n), c.code) << c.base << c.n;
  EXPECT_THROW(NumberedCode("A", 10000), Failure);
}

TEST(Codes, EleventhTeacherWithTheSameInitialsGetsADistinctStoredCode) {
  CodeList codes;
  std::vector<std::string> given;
  for (int i = 0; i < 12; ++i) given.push_back(codes.Unique("AGL"));
  EXPECT_EQ(given[0], "AGL");
  EXPECT_EQ(given[1], "AGL1");
  EXPECT_EQ(given[10], "AG10");
  EXPECT_EQ(given[11], "AG11");
  std::set<std::string> distinct(given.begin(), given.end());
  EXPECT_EQ(distinct.size(), given.size());
}

TEST_F(Export, TeacherCodesAndNames) {
  Run(SenecaDocument(Group("EMPLEADOS", {{"100", "01/09/2010", "Profesor", "García", "López", "Ana"},
                                         {"101", "02/09/2011", "Maestro", "Gil", "Luna", "Antonio"},
                                         {"102", "", "", "Gómez", "", "Alba"},
                                         {"103", "", "", "", "López", "Ana"},
                                         {"104", "", "Solo tres datos"},
                                         {"1"}})));
  const Rows expected = {{"AGL", "Ana García López", "Profesor", "100", "01/09/2010"},
                         {"AGL1", "Antonio Gil Luna", "Maestro", "101", "02/09/2011"},
                         {"AG", "Alba Gómez", "", "102", ""},  // the blank that ends NOMBRE is padding
                         {"AL", "Ana  López", "", "103", ""},
                         {"", "", "Solo tres datos", "104", ""}};
  EXPECT_EQ(Table("PROFT", {"ABREV", "NOMBRE", "DEPART", "X_EMPLEADO", "F_TOMAPOS"}), expected);
  EXPECT_EQ(Table("PROFT", {"DNI"}), Rows(5, {""}));
}

TEST_F(Export, RoomCodesAreTheIdentifierCutAndNumberedWhenTaken) {
  Run(SenecaDocument(Group("DEPENDENCIAS", {{"A12", "Laboratorio"},
                                            {"AULA15", "Aula 15"},
                                            {"AULA16", "Aula 16"},
                                            {"AULA15", "Aula 15 otra vez"},
                                            {"aula17", "Aula 17"},
                                            {"2081400123456", "Gimnasio"},
                                            {"AUL1", "Aula que ya tenía el código"}})));
  const Rows expected = {{"A12", "Laboratorio", "A12"},
                         {"AULA", "Aula 15", "AULA15"},
                         {"AUL1", "Aula 16", "AULA16"},
                         {"AULA", "Aula 15 otra vez", "AULA15"},
                         {"aul2", "Aula 17", "aula17"},
                         {"2081", "Gimnasio", "2081400123"},
                         {"AUL3", "Aula que ya tenía el código", "AUL1"}};
  EXPECT_EQ(Table("AULAT", {"ABREV", "NOMBRE", "DEPCENTRO"}), expected);
  EXPECT_EQ(Table("AULAT", {"EDIFICIO", "MAXALUM"}), Rows(7, {"", ""}));
}

TEST_F(Export, UnitCodesCarryLevelCourseAndGroup) {
  Run(SenecaDocument(Group("UNIDADES", {{"1", "1º ESO A"},
                                        {"2", "2º Bachillerato B"},
                                        {"3", "1ESOA"},
                                        {"4", "3B"},
                                        {"5", "A"},
                                        {"6", ""},
                                        {"7", "1º ESPA A"},
                                        {"8", "2º y 3º ESO C"},
                                        {"8", "2º y 3º ESO C"}})));
  const Rows expected = {
      {"1ESA", "", "ES", "1", "A", "1"}, {"2BaB", "", "Ba", "2", "B", "2"}, {"1OAA", "", "OA", "1", "A", "3"},
      {"3B", "", "B", "3", "B", "4"},    {"A", "", "NIV", "A", "A", "5"},   {"", "", "NIV", "", "", "6"},
      {"1ES1", "", "ES", "1", "A", "7"}, {"2y C", "", "y", "2", "C", "8"},  {"2y C", "", "y", "2", "C", "8"}};
  // Characters 4 and 5 of "2º y 3º ESO C" are "y" and a blank; the blank ending NIVEL is padding.
  EXPECT_EQ(Table("GRUPOST", {"ABREV", "TURNO", "NIVEL", "CURSO", "GRUPO", "UNIDAD"}), expected);
}

TEST_F(Export, AssignmentsTableHasItsTenFieldsAndNoRows) {
  Run(SenecaDocument(Group("MATERIAS", {{"1", "2", "Lengua"}})));
  ::enlazor::Table asigt(work(), "ASIGT");
  asigt.Open();
  EXPECT_EQ(asigt.RowCount(), 0u);
  for (const char* field :
       {"CASIG", "CPROF", "CGRUP", "CAULA", "TURNO", "NIVEL", "CURSO", "GRUPO", "HORAS", "SESIONES"}) {
    EXPECT_TRUE(asigt.HasField(field)) << field;
  }
}

TEST_F(Export, TimeSlotGridRepeatsTheSlotsForSevenDays) {
  Run(SenecaDocument(Group("TRAMOS_HORARIOS", {{"A1", "1", "0800", "0900"}, {"A2", "2", "900", "1000"}})));
  const Rows rows =
      Table("DIASHORAST", {"DIHO", "CODDIHO", "DIA", "TEXTODIA", "HORA", "HORADESDE", "HORAHASTA", "MINUTOS"});
  ASSERT_EQ(rows.size(), 14u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"11", "A1", "1", "", "1", "08:00", "09:00", "100"}));
  EXPECT_EQ(rows[1], (std::vector<std::string>{"12", "A2", "1", "", "2", "09:00", "10:00", "100"}));
  EXPECT_EQ(rows[2][0], "21");
  EXPECT_EQ(rows[3][0], "22");
  EXPECT_EQ(rows[13][0], "72");
  Rows twelve;
  for (int i = 0; i < 12; ++i) twelve.push_back({"T", "", "0800", "0900"});
  Run(SenecaDocument(Group("TRAMOS_HORARIOS", twelve)));
  const Rows grid = Table("DIASHORAST", {"DIHO"});
  EXPECT_EQ(grid[11][0], "112");
  EXPECT_EQ(grid[6 * 12 + 9][0], "710");
}

TEST(TimeRule, FormatsAndSubtractsSenecaTimes) {
  const struct {
    const char* start;
    const char* end;
    SlotTimes times;
  } cases[] = {
      {"0900", "1000", {"09:00", "10:00", "100"}},   {"830", "925", {"08:30", "09:25", "95"}},
      {"2300", "0100", {"23:00", "01:00", "-2200"}}, {"9", "1000", {"09:", "10:00", "991"}},
      {"", "1000", {"0:", "10:00", "1000"}},         {"09000", "1000", {"09:00", "10:00", "-8000"}},
      {"495", "555", {"04:95", "05:55", "60"}},
  };
  for (const auto& c : cases) {
    const SlotTimes times = ApplyTimeRule(c.start, c.end);
    EXPECT_EQ(times.desde, c.times.desde) << c.start;
    EXPECT_EQ(times.hasta, c.times.hasta) << c.end;
    EXPECT_EQ(times.minutos, c.times.minutos) << c.start << "-" << c.end;
  }
}

TEST_F(Export, ATimeThatIsNoNumberEndsTheRunNamingIt) {
  const struct {
    const char* start;
    const char* end;
    const char* named;
  } cases[] = {
      {"09:00", "1000", "09:00"}, {"9.5", "1000", "09.5"}, {"9 00", "x", "0x"}, {"0800", "99999999999", "99999999999"}};
  for (const auto& c : cases) {
    EXPECT_EQ(RunFailure(SenecaDocument(Group("TRAMOS_HORARIOS", {{"A", "1", c.start, c.end}}))),
              std::string("'") + c.named + "' no es un valor entero válido");
  }
}

TEST_F(Export, BothEncodingsOfTheInputGiveTheSameTables) {
  const std::string body =
      "<SERVICIO><BLOQUE_DATOS><grupo_datos seq=\"MATERIAS\"><grupo_datos><dato>1</dato><dato>2</dato>"
      "<dato>%</dato></grupo_datos></grupo_datos></BLOQUE_DATOS></SERVICIO>";
  for (const auto& [declaration, name] :
       {std::pair{"<?xml version=\"1.0\" encoding=\"UTF-8\"?>", "Música €"},
        std::pair{"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>", "M\xfasica \x80"}}) {
    std::string xml = std::string(declaration) + body;
    Run(xml.replace(xml.find('%'), 1, name));
    EXPECT_EQ(Table("ASIGNOMT", {"COD", "NOMBRE"}), (Rows{{"M€", "Música €"}})) << declaration;
  }
}

TEST_F(Export, ASecondSmallerRunLeavesNothingOfTheFirst) {
  Run(SenecaDocument(Group("MATERIAS", {{"1", "2", "Uno"}, {"3", "4", "Dos"}}) +
                     Group("TRAMOS_HORARIOS", {{"A", "1", "0800", "0900"}})));
  testing::WriteBytes(work() / "ASIGNOMT.MDX", "index");
  testing::WriteBytes(work() / "PROFT.MDX", "index without data");
  const auto report = Run(SenecaDocument(Group("MATERIAS", {}) + Group("TRAMOS_HORARIOS", {}) +
                                         Group("EMPLEADOS", {{"1", "", "", "A", "B", "C"}})));
  for (const auto& [table, rows] : report.tablas) EXPECT_EQ(rows, table == "PROFT" ? 1u : 0u) << table;
  EXPECT_EQ(report.tablas.size(), 7u);
  EXPECT_FALSE(fs::exists(work() / "ASIGNOMT.MDX"));
  EXPECT_FALSE(fs::exists(work() / "PROFT.MDX"));
  EXPECT_FALSE(fs::exists(work() / kStagingFolder));
}

class AllOrNothing : public Export {
 protected:
  void SetUp() override {
    Run(SenecaDocument(Group("MATERIAS", {{"1", "2", "Antigua"}}) +
                       Group("EMPLEADOS", {{"1", "2", "3", "A", "B", "C"}}) +
                       Group("TRAMOS_HORARIOS", {{"A", "1", "0800", "0900"}})));
    before = Snapshot(work());
  }
  const std::string newer =
      SenecaDocument(Group("MATERIAS", {{"5", "6", "Nueva"}, {"7", "8", "Otra"}}) +
                     Group("DEPENDENCIAS", {{"A1", "Aula"}}) + Group("TRAMOS_HORARIOS", {{"B", "1", "0900", "1000"}}));
  std::vector<std::pair<std::string, std::string>> before;
};

TEST_F(AllOrNothing, AFailureAtAnyWriteLeavesEveryLiveTableAsItWas) {
  int n = 1;
  for (;; ++n) {
    testing::FailAt(platform::Call::Write, n, platform::Fault::FullDisk);
    const std::string message = RunFailure(newer);
    platform::ResetCallsForTesting();
    if (message == "<sin fallo>") break;
    EXPECT_NE(message.find("no queda espacio en el disco"), std::string::npos) << message;
    EXPECT_EQ(Snapshot(work()), before) << "write " << n;
  }
  EXPECT_GE(n, 15);  // every builder's writes were reached
  EXPECT_NE(Snapshot(work()), before);
}

TEST_F(AllOrNothing, ABadTimeInTheLastBuilderLeavesEveryLiveTableAsItWas) {
  EXPECT_EQ(RunFailure(SenecaDocument(Group("MATERIAS", {{"5", "6", "Nueva"}}) +
                                      Group("TRAMOS_HORARIOS", {{"B", "1", "9:00", "1000"}}))),
            "'9:00' no es un valor entero válido");
  EXPECT_EQ(Snapshot(work()), before);
}

TEST_F(AllOrNothing, AFileThatCannotBeParsedTouchesNoTable) {
  EXPECT_EQ(RunFailure("<SERVICIO><BLOQUE_DATOS></SERVICIO>"),
            "Error en el archivo XML '" + (dir / "seneca.xml").string() +
                "', línea 1, columna 27: la etiqueta de cierre no corresponde a la abierta");
  EXPECT_EQ(Snapshot(work()), before);
}

TEST_F(AllOrNothing, AMarkedLeftoverIsFinishedByTheNextRunAndAnUnmarkedOneRemoved) {
  TempDir other;
  fs::create_directory(other / "HTEMP");
  testing::WriteBytes(other / "new.xml", newer);
  RunExport(other / "new.xml", other / "HTEMP");
  const auto newSet = Tables(other / "HTEMP");

  const fs::path staging = work() / kStagingFolder;
  // Interrupted after the mark and its first three moves: CURSOACAD is live already.
  testing::FailAt(platform::Call::Rename, 4, platform::Fault::PowerCut);
  EXPECT_THROW(Run(newer), platform::PowerCutForTesting);
  platform::ResetCallsForTesting();
  ASSERT_TRUE(fs::exists(staging / "COMPLETO"));
  EXPECT_NE(RunFailure("no es XML"), "<sin fallo>");
  EXPECT_EQ(Tables(work()), newSet);

  fs::create_directory(staging);
  testing::WriteBytes(staging / "PROFT.DBF", "medio escrito");
  EXPECT_NE(RunFailure("no es XML"), "<sin fallo>");
  EXPECT_EQ(Tables(work()), newSet);
  EXPECT_FALSE(fs::exists(staging / "PROFT.DBF"));
}

TEST_F(Export, RefusesAMissingFileAndReportsAMissingWorkDirectory) {
  EXPECT_THROW(RunExport(dir / "no.xml", work()), Refusal);
  fs::create_directory(dir / "carpeta.xml");
  EXPECT_THROW(RunExport(dir / "carpeta.xml", work()), Refusal);
  testing::WriteBytes(dir / "s.xml", SenecaDocument(""));
  try {
    RunExport(dir / "s.xml", dir / "NOHAY");
    FAIL();
  } catch (const Failure& failure) {
    EXPECT_EQ(std::string(failure.what()),
              "No existe la carpeta de trabajo '" + (dir / "NOHAY").string() +
                  "'. Compruebe que Horavia está instalado: Enlazor trabaja en su carpeta");
  }
  EXPECT_FALSE(fs::exists(dir / "NOHAY"));
}

// Every table of the sample school, every field, against the checked expectation.
TEST(SampleSchool, ExportMatchesTheExpectation) {
  const fs::path source = std::getenv("ENLAZOR_SOURCE") ? std::getenv("ENLAZOR_SOURCE") : ".";
  TempDir dir;
  RunExport(source / "samples/seneca-ies-enlazor.xml", dir.path());
  std::string dump;
  for (const char* name : kWorkTables) {
    ::enlazor::Table table(dir.path(), name);
    table.Open();
    for (table.First(); !table.Eof(); table.Next()) {
      dump += name;
      for (const char* field :
           {"CURSOANNO", "F_INICIO", "F_FIN",    "COD",        "CODLARGO",  "NOMBRE",    "MATERIA",
            "ABREV",     "DEPART",   "DNI",      "X_EMPLEADO", "F_TOMAPOS", "EDIFICIO",  "MAXALUM",
            "DEPCENTRO", "TURNO",    "NIVEL",    "CURSO",      "GRUPO",     "UNIDAD",    "DIHO",
            "CODDIHO",   "DIA",      "TEXTODIA", "HORA",       "HORADESDE", "HORAHASTA", "MINUTOS"}) {
        if (table.HasField(field)) dump += std::string("|") + AnsiToUtf8(table.FieldText(field));
      }
      dump += "\n";
    }
  }
  // ENLAZOR_ACTUALIZAR_MUESTRA=1 writes the expectation anew, when the sample changes on purpose.
  if (std::getenv("ENLAZOR_ACTUALIZAR_MUESTRA"))
    testing::WriteBytes(source / "tests/data/seneca-ies-enlazor.tables", dump);
  EXPECT_EQ(dump, testing::ReadBytes(source / "tests/data/seneca-ies-enlazor.tables"));
}

}  // namespace
}  // namespace enlazor
