#include "import/import_run.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <gtest/gtest.h>

#include "exchange/codec.h"
#include "exchange/dbf/table.h"
#include "exchange/failure.h"
#include "exchange/platform/platform.h"
#include "exchange/xml/xml.h"
#include "export/export_run.h"
#include "import/activities.h"
#include "support.h"
#include "tools/timetable.h"

namespace enlazor {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;
using Rows = std::vector<std::vector<std::string>>;

// A table of text fields (and integers where the width is 0), rows in Windows-1252.
void MakeTable(const fs::path& dir, const char* name, std::vector<std::pair<const char*, int>> fields,
               const Rows& rows) {
  Table table(dir, name);
  for (const auto& [field, width] : fields) {
    table.AddField({field, width == 0 ? FieldType::Integer : FieldType::Text, width});
  }
  table.CreateTable();
  table.Open();
  for (const auto& row : rows) {
    table.Append();
    for (size_t i = 0; i < row.size(); ++i) table.SetFieldText(fields[i].first, row[i]);
    table.Post();
  }
}

const char* const kTemplate =
    "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<SERVICIO modulo=\"HORARIOS\" tipo=\"I\"><BLOQUE_DATOS>"
    "<grupo_datos seq=\"ANNO_ACADEMICO\"><dato "
    "nombre_dato=\"C_ANNO\">2026</dato></grupo_datos></BLOQUE_DATOS></SERVICIO>\n";

class Import : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(work);
    WriteBytes(dir / "horario.xml", "el archivo elegido");
    WriteBytes(dir / "base.xml", kTemplate);
    MakeTable(work, "CURSOACAD", {{"CURSOANNO", 4}, {"F_INICIO", 10}, {"F_FIN", 10}},
              {{"2026", "15/09/2026", "22/06/2027"}});
    MakeTable(work, "PROFT", {{"ABREV", 4}, {"NOMBRE", 40}, {"X_EMPLEADO", 10}, {"F_TOMAPOS", 10}},
              {{"GAR1", "", "100", "01/09/2010"}, {"O'N", "", "101", ""}, {"SIN", "", "102", "03/09/2012"}});
    MakeTable(work, "DIASHORAST", {{"DIHO", 10}, {"CODDIHO", 10}, {"DIA", 20}, {"HORADESDE", 8}, {"HORAHASTA", 8}},
              {{"21", "T1", "2", "08:30", "9:30"}, {"52", "T2", "5", "13:45", ""}, {"21", "OTRO", "9", "", ""}});
    MakeTable(work, "AULAT", {{"ABREV", 4}, {"DEPCENTRO", 10}},
              {{"A12", "2081400"}, {"A12", "SEGUNDA"}, {"VAC", ""}, {"a13", "minus"}});
    MakeTable(work, "GRUPOST", {{"ABREV", 4}, {"UNIDAD", 10}}, {{"1ESA", "1201000"}});
    MakeTable(work, "ASIGNOMT", {{"COD", 4}, {"MATERIA", 8}, {"CODLARGO", 8}}, {{"LC", "310000", "41000"}});
    Soluc({{"GAR1", "2", "1", "A12", "1ESA", "LC"},
           {"GAR1", "0", "3", "A12", "1ESA", "LC"},
           {"XXX", "2", "1", "A12", "1ESA", "LC"},
           {"GAR1", "5", "2", "VAC", "2BaB", "lc"},
           {"O'N", "3", "9", "A13", " 1ESA", "ZZ"},
           {"gar1", "2", "1", "", "", ""}});
  }
  void Soluc(const Rows& rows) {
    MakeTable(work, "SOLUC", {{"PROF", 4}, {"DIA", 0}, {"HORA", 0}, {"AULA", 4}, {"CODGRUPO", 4}, {"ASIG", 4}}, rows);
  }
  fs::path Run() { return RunImport(dir / "horario.xml", work, dir / "base.xml").salida; }
  std::string RunFailure() {
    try {
      Run();
    } catch (const std::exception& failure) {
      return failure.what();
    }
    return "<sin fallo>";
  }
  // The output's teacher groups: seq, registros and every dato as name=text.
  std::vector<std::string> Outline(const fs::path& output) {
    XmlDocument doc;
    doc.Load(output);
    std::vector<std::string> lines;
    const XmlNodeList blocks = doc.SelectNodes("/SERVICIO/BLOQUE_DATOS/grupo_datos[@seq=\"HORARIOS_REGULARES\"]");
    lines.push_back("bloques " + std::to_string(blocks.Length()) + " registros " +
                    blocks.Item(0).Attribute("registros"));
    const XmlNodeList teachers = blocks.Item(0).SelectNodes("grupo_datos");
    for (size_t t = 0; t < teachers.Length(); ++t) {
      const XmlNode teacher = teachers.Item(t);
      lines.push_back(teacher.Attribute("seq") + " " + teacher.Attribute("registros"));
      for (const auto& path : {"dato", "grupo_datos"}) {
        const XmlNodeList children = teacher.SelectNodes(path);
        for (size_t c = 0; c < children.Length(); ++c) {
          const XmlNode child = children.Item(c);
          std::string line = "  " + (child.Name() == "dato" ? child.Attribute("nombre_dato") + "=" + child.Text()
                                                            : child.Attribute("seq") + ":");
          const XmlNodeList datos = child.SelectNodes("dato");
          for (size_t d = 0; d < datos.Length(); ++d)
            line += " " + datos.Item(d).Attribute("nombre_dato") + "=" + datos.Item(d).Text();
          lines.push_back(line);
        }
      }
    }
    return lines;
  }
  // True when every table can be held again: a failed run released them.
  bool TablesReleased() {
    for (const char* name : {"SOLUC", "GRUPOST", "PROFT", "AULAT", "ASIGNOMT", "DIASHORAST", "CURSOACAD"}) {
      Table table(work, name, Table::Use::Exclusive);
      try {
        table.Open();
      } catch (const Failure&) {
        return false;
      }
    }
    return true;
  }

  TempDir dir;
  fs::path work = dir / "HTEMP";
};

TEST_F(Import, WritesOneGroupPerTeacherAndOnePerLesson) {
  const fs::path output = Run();
  EXPECT_EQ(output, dir / "ResultadoTemprahorario.xml");
  EXPECT_EQ(ReadBytes(dir / "horario.xml"), "el archivo elegido");
  const std::vector<std::string> expected = {
      "bloques 1 registros 3",
      "HORARIO_REGULAR_PROFESOR_1 2",
      "  X_EMPLEADO=100",
      "  F_TOMAPOS=01/09/2010",
      "  ACTIVIDAD_1: N_DIASEMANA=2 X_TRAMO=T1 X_DEPENDENCIA=2081400 X_UNIDAD=1201000 X_OFERTAMATRIG=310000 "
      "X_MATERIAOMG=41000 F_INICIO=15/09/2026 F_FIN=22/06/2027 N_HORINI=0830 N_HORFIN=0930 X_ACTIVIDAD=1",
      "  ACTIVIDAD_2: N_DIASEMANA=5 X_TRAMO=T2 X_DEPENDENCIA=VAC X_UNIDAD= X_OFERTAMATRIG= X_MATERIAOMG= "
      "F_INICIO=15/09/2026 F_FIN=22/06/2027 N_HORINI=1345 N_HORFIN= X_ACTIVIDAD=1",
      "HORARIO_REGULAR_PROFESOR_2 1",
      "  X_EMPLEADO=101",
      "  F_TOMAPOS=",
      "  ACTIVIDAD_1: N_DIASEMANA= X_TRAMO= X_DEPENDENCIA=A13 X_UNIDAD= X_OFERTAMATRIG= X_MATERIAOMG= "
      "F_INICIO=15/09/2026 F_FIN=22/06/2027 N_HORINI= N_HORFIN= X_ACTIVIDAD=1",
      "HORARIO_REGULAR_PROFESOR_3 0",
      "  X_EMPLEADO=102",
      "  F_TOMAPOS=03/09/2012",
  };
  EXPECT_EQ(Outline(output), expected);
  const std::string saved = ReadBytes(output);
  EXPECT_NE(saved.find("<grupo_datos seq=\"HORARIOS_REGULARES\" registros=\"3\">"), std::string::npos);
  EXPECT_NE(saved.find("<grupo_datos seq=\"HORARIO_REGULAR_PROFESOR_1\" registros=\"2\">"), std::string::npos);
  EXPECT_NE(saved.find("<dato nombre_dato=\"F_TOMAPOS\" />"), std::string::npos);  // an empty text: no text at all
  EXPECT_EQ(saved.rfind("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>", 0), 0u);
}

TEST(ConvertirHora, GivesSenecasFourDigits) {
  const std::pair<const char*, const char*> cases[] = {{"08:30", "0830"}, {"9:30", "0930"}, {"13:45", "1345"}, {"", ""},
                                                       {"0:", "0:"},      {"09:", "09"},    {"9", "09"}};
  for (const auto& [time, senecaTime] : cases) EXPECT_EQ(ConvertirHora(time), senecaTime) << time;
}

TEST_F(Import, RefusesBeforeTouchingAnything) {
  fs::remove(dir / "base.xml");
  fs::remove(work / "CURSOACAD.DBF");
  EXPECT_EQ(RunFailure(), "ATENCIÓN Falta un Fich. Temporal. Transforme de nuevo de Séneca a Horavia");
  fs::remove(dir / "horario.xml");
  EXPECT_EQ(RunFailure(), "No existe archivo");
  fs::create_directory(dir / "horario.xml");
  EXPECT_EQ(RunFailure(), "No existe archivo");
  EXPECT_THROW(Run(), Refusal);
}

TEST_F(Import, EmptySchoolYearAndEmptyTeacherTablesStillGiveADocument) {
  MakeTable(work, "CURSOACAD", {{"CURSOANNO", 4}, {"F_INICIO", 10}, {"F_FIN", 10}}, {});
  const auto lines = Outline(Run());
  EXPECT_NE(
      std::find(lines.begin(), lines.end(),
                "  ACTIVIDAD_1: N_DIASEMANA=2 X_TRAMO=T1 X_DEPENDENCIA=2081400 X_UNIDAD=1201000 X_OFERTAMATRIG=310000 "
                "X_MATERIAOMG=41000 F_INICIO= F_FIN= N_HORINI=0830 N_HORFIN=0930 X_ACTIVIDAD=1"),
      lines.end());
  MakeTable(work, "PROFT", {{"ABREV", 4}, {"X_EMPLEADO", 10}, {"F_TOMAPOS", 10}}, {});
  EXPECT_EQ(Outline(Run()), std::vector<std::string>{"bloques 1 registros 0"});
}

TEST_F(Import, OnlyTheFirstBloqueDatosReceivesTheBlockAsItsLastChild) {
  WriteBytes(dir / "base.xml",
             "<SERVICIO><BLOQUE_DATOS><a/></BLOQUE_DATOS><BLOQUE_DATOS><b/></BLOQUE_DATOS></SERVICIO>");
  XmlDocument doc;
  doc.Load(Run());
  const XmlNodeList blocks = doc.SelectNodes("/SERVICIO/BLOQUE_DATOS");
  ASSERT_EQ(blocks.Length(), 2u);
  EXPECT_EQ(blocks.Item(0).SelectNodes("grupo_datos").Length(), 1u);
  EXPECT_EQ(blocks.Item(1).SelectNodes("grupo_datos").Length(), 0u);
  EXPECT_EQ(doc.Serialize().find("<a />"), doc.Serialize().find("<BLOQUE_DATOS>") + 17);
}

TEST(OutputPath, PrefixesTheChosenFilesName) {
  EXPECT_EQ(OutputPathFor("/home/ana/horario.xml"), "/home/ana/ResultadoTemprahorario.xml");
  EXPECT_EQ(OutputPathFor("horario.xml"), "ResultadoTemprahorario.xml");
  EXPECT_EQ(OutputPathFor("/datos/exportacion.seneca.xml"), "/datos/ResultadoTempraexportacion.seneca.xml");
}

// Without a template the import makes one, as a real base.xml is, from the
// school year of the tables; a template of another year is written but told.
TEST_F(Import, TheTemplateIsMadeWhenMissingAndItsYearChecked) {
  const std::string other = std::string(kTemplate).replace(std::string(kTemplate).find("2026"), 4, "2025");
  const struct {
    const char* what;
    std::string template_;  // empty: none
    std::vector<std::string> kinds;
  } cases[] = {
      {"absent", "", {"plantilla_generada"}},
      {"present", kTemplate, {}},
      {"another year", other, {"curso_distinto"}},
  };
  for (const auto& c : cases) {
    fs::remove(dir / "base.xml");
    if (!c.template_.empty()) WriteBytes(dir / "base.xml", c.template_);
    const RunReport report = RunImport(dir / "horario.xml", work, dir / "base.xml");
    std::vector<std::string> kinds;
    for (const auto& finding : report.hallazgos) {
      if (finding.tipo == "plantilla_generada" || finding.tipo == "curso_distinto") kinds.push_back(finding.tipo);
    }
    EXPECT_EQ(kinds, c.kinds) << c.what;
    XmlDocument output;
    output.Load(report.salida);
    const XmlNode root = output.DocumentElement();
    EXPECT_EQ(root.SelectNodes("BLOQUE_DATOS/grupo_datos[@seq=\"ANNO_ACADEMICO\"]/dato").Item(0).Text(),
              c.what == std::string("another year") ? "2025" : "2026")
        << c.what;
    EXPECT_EQ(root.SelectNodes("BLOQUE_DATOS/grupo_datos[@seq=\"HORARIOS_REGULARES\"]/grupo_datos").Length(), 3u);
    if (c.template_.empty()) {
      EXPECT_EQ(root.Attribute("tipo"), "I");
      EXPECT_EQ(root.Attribute("fecha").size(), std::string("dd/mm/yyyy hh:mm:ss").size());
      EXPECT_FALSE(fs::exists(dir / "base.xml"));  // made for the run, never written
    }
  }
}

// A generated template carries the year of the tables: one that is no year
// Séneca takes is written, but asks the user to act.
TEST_F(Import, AGeneratedTemplateWithAYearSenecaRefusesAsksForAction) {
  fs::remove(dir / "base.xml");
  for (const auto& [year, doubtful] : std::vector<std::pair<std::string, bool>>{
           {"2026", false}, {"", true}, {"abc", true}, {"1899", true}, {"26", true}, {"9999", true}}) {
    MakeTable(work, "CURSOACAD", {{"CURSOANNO", 4}, {"F_INICIO", 10}, {"F_FIN", 10}},
              {{year, "15/09/2026", "22/06/2027"}});
    const RunReport report = RunImport(dir / "horario.xml", work, dir / "base.xml");
    const auto found = std::find_if(report.hallazgos.begin(), report.hallazgos.end(),
                                    [](const Finding& f) { return f.tipo == "curso_no_valido"; });
    EXPECT_EQ(found != report.hallazgos.end(), doubtful) << "«" << year << "»";
    if (found != report.hallazgos.end()) {
      EXPECT_NE(found->mensaje.find("«" + year + "» de Curso escolar (CURSOACAD) no es un año"), std::string::npos);
      EXPECT_NE(report.Summary().find("para revisar"), std::string::npos);
    }
  }
}

#ifndef _WIN32
// A template that is a pipe would hold the run forever waiting for a writer.
TEST_F(Import, ATemplateThatIsNoFileOnADiskStopsTheRunAtOnce) {
  fs::remove(dir / "base.xml");
  ASSERT_EQ(mkfifo((dir / "base.xml").c_str(), 0600), 0);
  EXPECT_EQ(RunFailure(), "La plantilla '" + (dir / "base.xml").string() +
                              "' no es un archivo normal (una tubería o un dispositivo). Corrija la plantilla o "
                              "quítela de esa carpeta: sin ella, Enlazor genera una con el curso de las tablas de "
                              "trabajo.");
  EXPECT_FALSE(fs::exists(dir / "ResultadoTemprahorario.xml"));
  EXPECT_TRUE(TablesReleased());
}
#endif

// "base.xml" alone is looked for in the current folder, and the finding names
// that folder whole, not an empty one.
TEST_F(Import, AMissingTemplateNamesTheFolderItWasLookedFor) {
  fs::remove(dir / "base.xml");
  const fs::path saved = fs::current_path();
  fs::current_path(dir.path());
  const std::string here = platform::PathToUtf8(fs::current_path());
  const RunReport report = RunImport(dir / "horario.xml", work, fs::path("base.xml"));
  fs::current_path(saved);
  std::string said;
  for (const auto& finding : report.hallazgos) said += finding.tipo == "plantilla_generada" ? finding.mensaje : "";
  EXPECT_NE(said.find("» en " + here + ": se ha generado"), std::string::npos) << said;
}

TEST_F(Import, TemplateFailuresNameTheTemplateSayWhatToDoAndWriteNothing) {
  const std::string path = (dir / "base.xml").string();
  const std::string remedy =
      ". Corrija la plantilla o quítela de esa carpeta: sin ella, Enlazor genera una con el curso de las tablas de "
      "trabajo";
  const std::pair<const char*, std::string> cases[] = {
      {"<SERVICIO><OTRO/></SERVICIO>", "La plantilla '" + path + "' no tiene el elemento BLOQUE_DATOS" + remedy},
      {"<SERVICIO><BLOQUE_DATOS>",
       "Error en el archivo XML '" + path +
           "', línea 1, columna 25: el documento está vacío o termina antes de cerrar sus elementos" + remedy},
      {"<SERVICIO><X><BLOQUE_DATOS/></X></SERVICIO>",
       "La plantilla '" + path + "' no tiene el elemento BLOQUE_DATOS" + remedy},
  };
  for (const auto& [bytes, message] : cases) {
    WriteBytes(dir / "base.xml", bytes);
    EXPECT_EQ(RunFailure(), message);
    EXPECT_FALSE(fs::exists(dir / "ResultadoTemprahorario.xml"));
  }
  fs::remove(dir / "base.xml");
  EXPECT_THROW(RunImport(dir / "horario.xml", work, TemplateChoice(dir / "base.xml", false)), Refusal);
  EXPECT_EQ(testing::Outcome([&] { RunImport(dir / "horario.xml", work, TemplateChoice(dir / "base.xml", false)); }),
            "No existe la plantilla '" + path +
                "', el archivo de Séneca en que se escribe el horario. Corrija la "
                "plantilla, o no la indique para que Enlazor genere una con el curso de las tablas de trabajo.");
  EXPECT_TRUE(TablesReleased());
}

TEST_F(Import, AFailedRunReleasesTheTablesAndKeepsTheEarlierOutput) {
  WriteBytes(dir / "ResultadoTemprahorario.xml", "salida anterior");
  MakeTable(work, "SOLUC", {{"PROF", 4}, {"DIA", 4}, {"HORA", 0}}, {{"GAR1", "x", "1"}});
  EXPECT_EQ(RunFailure(), "'x' no es un valor entero válido");
  EXPECT_TRUE(TablesReleased());
  MakeTable(work, "SOLUC", {{"PROF", 4}, {"DIA", 0}}, {{"GAR1", "1"}});
  EXPECT_EQ(RunFailure(), "wwTableSoluc: No se encuentra el campo 'HORA'");
  MakeTable(work, "PROFT", {{"ABREV", 4}, {"X_EMPLEADO", 10}}, {{"GAR1", "1"}});
  EXPECT_EQ(RunFailure(), "wwTableProfesor: No se encuentra el campo 'F_TOMAPOS'");
  EXPECT_TRUE(TablesReleased());
  fs::remove(work / "DIASHORAST.DBF");
  EXPECT_EQ(RunFailure(), "No existe la tabla '" + (work / "DIASHORAST.DBF").string() + "'");
  EXPECT_EQ(ReadBytes(dir / "ResultadoTemprahorario.xml"), "salida anterior");
  SetUp();
  testing::FailAt(platform::Call::Write, 1, platform::Fault::FullDisk);  // the save is the run's only write
  EXPECT_NE(RunFailure().find("no queda espacio en el disco"), std::string::npos);
  platform::ResetCallsForTesting();
  EXPECT_EQ(ReadBytes(dir / "ResultadoTemprahorario.xml"), "salida anterior");
  EXPECT_EQ(testing::Snapshot(dir.path()).size(), 4u);  // no temporary file left
}

TEST_F(Import, ATableHeldByAnotherProgramStopsTheRunNamingIt) {
  Table held(work, "AULAT", Table::Use::Shared);
  held.Open();
  EXPECT_EQ(RunFailure(), "La tabla '" + (work / "AULAT.DBF").string() +
                              "' está en uso por otro programa: cierre Horavia y repita la orden");
  held.Close();
  EXPECT_TRUE(TablesReleased());
  EXPECT_FALSE(fs::exists(dir / "ResultadoTemprahorario.xml"));
}

TEST_F(Import, CharactersTheTemplatesEncodingLacksBecomeReferences) {
  MakeTable(work, "PROFT", {{"ABREV", 4}, {"X_EMPLEADO", 10}, {"F_TOMAPOS", 10}}, {{"X", "\x80\xf1\x8a", ""}});
  const std::string saved = ReadBytes(Run());
  EXPECT_NE(saved.find(">&#8364;\xf1&#352;</dato>"), std::string::npos);
}

#ifndef _WIN32
// Python's dbf stands for Horavia's own writer; it runs where Python does.
TEST_F(Import, PosixReadsASolucWrittenByAnotherDbaseWriter) {
  fs::remove(work / "SOLUC.DBF");
  const std::string script =
      "import dbf\n"
      "t = dbf.Table('" +
      (work / "soluc.dbf").string() +
      "', 'PROF C(6); DIA N(2,0); HORA N(2,0); AULA C(4); "
      "CODGRUPO C(4); ASIG C(4); SEMANA C(1); PESO N(5,2)', codepage='cp1252')\n"
      "t.open(dbf.READ_WRITE)\n"
      "for r in [('GAR1',2,1,'A12','1ESA','LC','A',1.5), ('GAR1',5,2,'A12','1ESA','LC','B',0), "
      "('GAR1',2,1,'VAC','','','',0)]:\n"
      "    t.append(r)\n"
      "dbf.delete(t[1])\n"
      "t.close()\n";
  WriteBytes(dir / "soluc.py", script);
  ASSERT_EQ(std::system(("/usr/bin/python3 " + (dir / "soluc.py").string()).c_str()), 0);
  const auto lines = Outline(Run());
  EXPECT_EQ(lines[1], "HORARIO_REGULAR_PROFESOR_1 2");
  EXPECT_EQ(lines[5].rfind("  ACTIVIDAD_2: N_DIASEMANA=2 X_TRAMO=T1 X_DEPENDENCIA=VAC X_UNIDAD= ", 0), 0u) << lines[5];
}
#endif

// A disk that fills at any write of the save: the earlier output stays, no temporary is left.
TEST(SampleSchool, AFailureAtAnyWriteOfTheSaveKeepsTheEarlierOutput) {
  const fs::path source = std::getenv("ENLAZOR_SOURCE") ? std::getenv("ENLAZOR_SOURCE") : ".";
  TempDir dir;
  fs::create_directory(dir / "HTEMP");
  RunExport(source / "samples/seneca-ies-enlazor.xml", dir / "HTEMP");
  MakeTimetable(dir / "HTEMP", 60);
  WriteBytes(dir / "horario.xml", "x");
  WriteBytes(dir / "ResultadoTemprahorario.xml", "salida anterior");
  const auto before = testing::Snapshot(dir.path());
  int n = 1;
  for (;; ++n) {
    testing::FailAt(platform::Call::Write, n, platform::Fault::FullDisk);
    const std::string outcome =
        testing::Outcome([&] { RunImport(dir / "horario.xml", dir / "HTEMP", source / "samples/base.xml"); });
    platform::ResetCallsForTesting();
    if (outcome == testing::kDone) break;
    EXPECT_NE(outcome.find("no queda espacio en el disco"), std::string::npos) << outcome;
    EXPECT_EQ(testing::Snapshot(dir.path()), before) << "write " << n;
  }
  EXPECT_GT(n, 2);  // the save took several writes
  EXPECT_NE(ReadBytes(dir / "ResultadoTemprahorario.xml"), "salida anterior");
}

// The sample school exported, given a timetable and imported again.
TEST(SampleSchool, ImportMatchesTheExpectation) {
  const fs::path source = std::getenv("ENLAZOR_SOURCE") ? std::getenv("ENLAZOR_SOURCE") : ".";
  TempDir dir;
  fs::create_directory(dir / "HTEMP");
  RunExport(source / "samples/seneca-ies-enlazor.xml", dir / "HTEMP");
  MakeTimetable(dir / "HTEMP");
  fs::copy_file(source / "samples/Enlazor-actividades.txt", dir / "HTEMP/Enlazor-actividades.txt");
  fs::copy_file(source / "samples/seneca-ies-enlazor.xml", dir / "seneca-ies-enlazor.xml");
  const fs::path output = RunImport(dir / "seneca-ies-enlazor.xml", dir / "HTEMP", source / "samples/base.xml").salida;
  // ENLAZOR_ACTUALIZAR_MUESTRA=1 writes the expectation anew, when the sample changes on purpose.
  if (std::getenv("ENLAZOR_ACTUALIZAR_MUESTRA"))
    fs::copy_file(output, source / "tests/data/ResultadoTempraseneca-ies-enlazor.xml",
                  fs::copy_options::overwrite_existing);
  EXPECT_EQ(ReadBytes(output), ReadBytes(source / "tests/data/ResultadoTempraseneca-ies-enlazor.xml"));
}

}  // namespace
}  // namespace enlazor
