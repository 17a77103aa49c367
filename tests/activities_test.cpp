// What reaches Séneca: every hour as what it is, the subject of the unit's
// own course, one timetable per post, and the summary to check before
// uploading; the user's list of activities and what the export kept of the
// Séneca file, whole, damaged or missing.
#include <gtest/gtest.h>

#include "exchange/dbf/table.h"
#include "exchange/failure.h"
#include "exchange/set/set_files.h"
#include "exchange/xml/xml.h"
#include "export/export_run.h"
#include "import/import_run.h"
#include "import/lesson_kinds.h"
#include "support.h"

namespace enlazor {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

std::string Dato(const char* name, const std::string& value) {
  return "<dato nombre_dato=\"" + std::string(name) + "\">" + value + "</dato>";
}
std::string Records(const char* seq, const std::vector<std::vector<std::string>>& records) {
  return testing::Group(seq, records);
}

// Two courses with a same-named subject in each, a mixed unit, activities
// of every kind, a break among the slots, and an employee with one post
// listed twice.
std::string School() {
  return testing::SenecaDocument(
      "<grupo_datos seq=\"ANNO_ACADEMICO\">" + Dato("C_ANNO", "2026") + Dato("F_INIHORREG", "15/09/2026") +
      Dato("F_FINHORREG", "22/06/2027") + "</grupo_datos>" +
      Records("CURSOS_DEL_CENTRO", {{"C1", "1º ESO"}, {"C2", "2º ESO"}}) +
      Records(
          "MATERIAS",
          {{"C1", "M1", "Matemáticas"}, {"C2", "M2", "Matemáticas"}, {"C1", "M3", "Lengua"}, {"C2", "M4", "Música"}}) +
      Records("ACTIVIDADES", {{"S", "1", "Docencia", "S", "S"},
                              {"S", "2", "Tutoría lectiva", "S", "N"},
                              {"S", "25", "Guardia", "N", "N"},
                              {"N", "33", "Actividades extraescolares", "N", "N"},
                              {"S", "60", "Refuerzo de Lengua", "S", "S"}}) +
      Records("DEPENDENCIAS", {{"A1", "Aula 1"}}) +
      Records("TRAMOS_HORARIOS", {{"T1", "1ª hora", "480", "540", "P1"},
                                  {"T2", "Recreo", "540", "570", "P1"},
                                  {"T3", "2ª hora", "570", "625", "P1"},
                                  {"T4", "Tarde larga", "900", "1200", "P2"}}) +
      Records("UNIDADES",
              {{"U1", "1º ESO A", "C1"}, {"U2", "2º ESO A", "C2"}, {"U3", "Mixta", "C1"}, {"U3", "Mixta", "C2"}}) +
      Records("EMPLEADOS", {{"E1", "01/09/2010", "P", "García", "López", "Ana"},
                            {"E2", "01/09/2011", "P", "Bravo", "Bueno", "Blas"},
                            {"E3", "01/09/2012", "P", "Cano", "Cruz", "Carla"},
                            {"E1", "01/09/2010", "P", "García", "León", "Ana"}}));
}

class Activities : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(work);
    WriteBytes(dir / "s.xml", School());
    WriteBytes(dir / "base.xml", "<SERVICIO><BLOQUE_DATOS/></SERVICIO>");
    RunExport(dir / "s.xml", work);
    // What Horavia adds of its own: subjects that are no Séneca subjects.
    Table asignomt(work, "ASIGNOMT");
    asignomt.Open();
    for (const auto& [code, name] : {std::pair{"GU", "Guardia"}, std::pair{"EXT", "Actividades extraescolares"},
                                     std::pair{"CCP", "Comisión pedagógica"}}) {
      asignomt.Append();
      asignomt.SetFieldText("COD", code);
      asignomt.SetFieldText("NOMBRE", Utf8ToAnsi(name));
      asignomt.Post();
    }
    WriteBytes(work / kActivityList, "# la lista de la jefatura\nTUT = 2\nREF = refuerzo  de LENGUA\n");
  }
  // The code a table gives the row whose field has the value.
  std::string CodeOf(const char* table, const char* key, const std::string& value, const char* code = "ABREV") {
    Table t(work, table);
    t.Open();
    for (t.First(); !t.Eof(); t.Next()) {
      if (t.FieldText(key) == Utf8ToAnsi(value)) return t.FieldText(code);
    }
    return "?";
  }
  std::string Subject(const std::string& name, const std::string& course) {
    Table t(work, "ASIGNOMT");
    t.Open();
    for (t.First(); !t.Eof(); t.Next()) {
      if (t.FieldText("NOMBRE") == Utf8ToAnsi(name) && t.FieldText("MATERIA") == course) return t.FieldText("COD");
    }
    return "?";
  }
  RunReport Import() { return RunImport(dir / "s.xml", work, dir / "base.xml"); }
  // Each activity group of the file as its datos: X_UNIDAD|X_OFERTAMATRIG|X_MATERIAOMG|X_ACTIVIDAD, by teacher group.
  std::vector<std::vector<std::string>> Written(const RunReport& report) {
    XmlDocument doc;
    doc.Load(platform::PathFromUtf8(report.salida));
    std::vector<std::vector<std::string>> groups;
    const XmlNodeList teachers = doc.SelectNodes("/SERVICIO/BLOQUE_DATOS/grupo_datos/grupo_datos");
    for (size_t t = 0; t < teachers.Length(); ++t) {
      std::vector<std::string> lessons;
      const XmlNodeList activities = teachers.Item(t).SelectNodes("grupo_datos");
      for (size_t a = 0; a < activities.Length(); ++a) {
        std::string line;
        for (const char* name : {"X_UNIDAD", "X_OFERTAMATRIG", "X_MATERIAOMG", "X_ACTIVIDAD"}) {
          line += (std::string(name) == "X_UNIDAD" ? "" : "|") +
                  activities.Item(a).SelectSingleNode(std::string("dato[@nombre_dato=\"") + name + "\"]").Text();
        }
        lessons.push_back(line);
      }
      groups.push_back(lessons);
    }
    return groups;
  }
  static std::vector<std::string> Kinds(const RunReport& report) {
    std::vector<std::string> kinds;
    for (const auto& finding : report.hallazgos) kinds.push_back(finding.tipo);
    return kinds;
  }

  TempDir dir;
  fs::path work = dir / "HTEMP";
};

// One lesson of Blas at a time: what goes to Séneca and what is told.
TEST_F(Activities, EveryHourGoesAsWhatItIs) {
  const std::string u1 = CodeOf("GRUPOST", "UNIDAD", "U1"), u3 = CodeOf("GRUPOST", "UNIDAD", "U3");
  const std::string blas = CodeOf("PROFT", "X_EMPLEADO", "E2");
  const struct {
    const char* what;
    std::string asig, unit;
    int slot;
    std::string written;  // X_UNIDAD|X_OFERTAMATRIG|X_MATERIAOMG|X_ACTIVIDAD
    std::vector<std::string> kinds;
  } cases[] = {
      {"a subject of the unit's course", Subject("Matemáticas", "C1"), u1, 1, "U1|C1|M1|1", {}},
      {"the same-named subject of another course",
       Subject("Matemáticas", "C2"),
       u1,
       1,
       "U1|C1|M1|1",
       {"materia_cambiada"}},
      {"a subject the unit's course lacks", Subject("Música", "C2"), u1, 1, "U1|C2|M4|1", {"materia_de_otro_curso"}},
      {"either course of a mixed unit", Subject("Matemáticas", "C2"), u3, 1, "U3|C2|M2|1", {}},
      {"a subject named as an activity", "GU", u1, 1, "|||25", {"actividad_asignada"}},
      {"a code the list names by number", "TUT", u1, 1, "U1|||2", {"actividad_asignada"}},
      {"a code the list names by name", "REF", u1, 1, "U1|||60", {"actividad_asignada"}},
      {"an activity outside the regular timetable",
       "EXT",
       "",
       1,
       "|||33",
       {"actividad_asignada", "actividad_no_regular"}},
      {"neither a subject nor an activity", "CCP", u1, 1, "U1|||1", {"actividad_desconocida"}},
      {"a code no table has", "ZZ", u1, 1, "U1|||1", {"actividad_desconocida", "materia_desconocida"}},
      {"a class on the break", Subject("Lengua", "C1"), u1, 2, "U1|C1|M3|1", {"clase_en_recreo"}},
      {"a guard duty on the break", "GU", "", 2, "|||25", {"actividad_asignada"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    testing::WriteSoluc(work, {{blas, "1", std::to_string(c.slot), "A1", c.unit, c.asig}});
    const RunReport report = Import();
    EXPECT_EQ(Written(report)[1], std::vector<std::string>{c.written});
    std::vector<std::string> kinds = Kinds(report);
    std::erase_if(kinds,
                  [](const std::string& kind) { return kind == "profesor_sin_horario" || kind == "profesor_unido"; });
    EXPECT_EQ(kinds, c.kinds) << report.Details();
  }
}

// Ana's post is two rows of PROFT: one group with the lessons of both codes,
// numbered on; her hours count them all; Carla has no timetable at all.
TEST_F(Activities, APostUnderTwoCodesIsOneTimetableAndEachTeachersHoursAreCounted) {
  const std::string ana = CodeOf("PROFT", "NOMBRE", "Ana García López"),
                    ana2 = CodeOf("PROFT", "NOMBRE", "Ana García León");
  const std::string blas = CodeOf("PROFT", "X_EMPLEADO", "E2"), u1 = CodeOf("GRUPOST", "UNIDAD", "U1");
  const std::string lengua = Subject("Lengua", "C1");
  testing::WriteSoluc(work, {{ana, "1", "1", "A1", u1, lengua},
                             {blas, "1", "4", "A1", u1, lengua},
                             {ana2, "2", "3", "A1", u1, lengua},
                             {ana2, "2", "1", "", "", "GU"},
                             {ana, "3", "1", "", "", "EXT"},
                             {blas, "2", "4", "A1", u1, lengua},
                             {blas, "3", "4", "A1", u1, lengua},
                             {blas, "4", "4", "A1", u1, lengua},
                             {blas, "5", "4", "A1", u1, lengua},
                             {blas, "6", "4", "A1", u1, lengua}});
  const RunReport report = Import();
  const auto written = Written(report);
  ASSERT_EQ(written.size(), 3u);  // Ana, Blas, Carla
  EXPECT_EQ(written[0], (std::vector<std::string>{"U1|C1|M3|1", "|||33", "U1|C1|M3|1", "|||25"}));
  XmlDocument doc;
  doc.Load(platform::PathFromUtf8(report.salida));
  EXPECT_EQ(doc.SelectNodes("/SERVICIO/BLOQUE_DATOS/grupo_datos").Item(0).Attribute("registros"), "3");
  EXPECT_EQ(doc.SelectNodes("/SERVICIO/BLOQUE_DATOS/grupo_datos/grupo_datos/grupo_datos").Item(3).Attribute("seq"),
            "ACTIVIDAD_4");
  ASSERT_EQ(report.horas.size(), 3u);
  EXPECT_EQ((std::vector<long>{report.horas[0].minutos_clase, report.horas[0].minutos_guardia,
                               report.horas[0].minutos_otras, report.horas[0].minutos_no_regulares}),
            (std::vector<long>{60 + 55, 60, 0, 60}));
  EXPECT_EQ(report.horas[1].minutos_clase, 6 * 300);
  EXPECT_EQ((std::vector<size_t>{report.profesores, report.clases, report.guardias, report.otras}),
            (std::vector<size_t>{3, 8, 1, 1}));
  const auto kinds = Kinds(report);
  for (const char* kind : {"profesor_unido", "mas_de_25_horas", "profesor_sin_horario"}) {
    EXPECT_EQ(std::count(kinds.begin(), kinds.end(), kind), 1) << kind;
  }
  EXPECT_NE(report.Summary().find("3 profesores: 8 clases, 1 guardia y 1 otra actividad."), std::string::npos)
      << report.Summary();
  EXPECT_NE(report.Details().find("Ana García López: 2 h 55 min (1 h 55 min de clase, 1 h de guardia, 0 h de otras "
                                  "actividades); y 1 h fuera del horario regular"),
            std::string::npos)
      << report.Details();
  EXPECT_NE(report.Json().find("\"minutos_clase\": 1800"), std::string::npos);
}

// A list that does not parse stops nothing: each bad line is told with its
// number, the rest applies.
TEST_F(Activities, EachBadLineOfTheListIsToldAndTheRestApplies) {
  WriteBytes(work / kActivityList,
             "TUT = 2\nsin signo\nXX = 99\nTUT = Guardia\n\xE1rbol = 2\nL = 25\n = 2\nREF = 60\n");
  const std::string blas = CodeOf("PROFT", "X_EMPLEADO", "E2"), u1 = CodeOf("GRUPOST", "UNIDAD", "U1");
  testing::WriteSoluc(work, {{blas, "1", "1", "A1", u1, "TUT"},
                             {blas, "1", "3", "A1", u1, "REF"},
                             {blas, "2", "1", "A1", u1, Subject("Lengua", "C1")}});
  const RunReport report = Import();
  EXPECT_EQ(Written(report)[1], (std::vector<std::string>{"U1|||2", "U1|||60", "U1|C1|M3|1"}));
  std::vector<std::string> told;
  for (const auto& finding : report.hallazgos) {
    if (finding.tipo == "linea_de_actividades") told.push_back(std::to_string(finding.fila) + " " + finding.mensaje);
  }
  const std::vector<std::pair<long, const char*>> expected = {
      {2, "le falta «=» entre el código y la actividad"},
      {3, "el archivo de Séneca no tiene la actividad «99»; tiene 1 Docencia, 2 Tutoría lectiva, 25 Guardia"},
      {4, "el código «TUT» ya está en la línea 1"},
      {5, "no está escrita en UTF-8"},
      {7, "le falta el código o la actividad"},
      {6, "«L» es una materia de Séneca: sus clases van como Docencia"},
  };
  ASSERT_EQ(told.size(), expected.size()) << report.Details();
  for (size_t k = 0; k < expected.size(); ++k) {
    EXPECT_EQ(told[k].rfind(std::to_string(expected[k].first) + " «Enlazor-actividades.txt», línea " +
                                std::to_string(expected[k].first),
                            0),
              0u)
        << told[k];
    EXPECT_NE(told[k].find(expected[k].second), std::string::npos) << told[k];
  }
}

#ifndef _WIN32
TEST_F(Activities, AListThatIsNoFileIsToldAndNotRead) {
  fs::remove(work / kActivityList);
  fs::create_directory(dir / "otra");
  WriteBytes(dir / "otra" / kActivityList, "TUT = 2\n");
  fs::create_symlink(dir / "otra" / kActivityList, work / kActivityList);
  testing::WriteSoluc(work, {{CodeOf("PROFT", "X_EMPLEADO", "E2"), "1", "1", "", "", "TUT"}});
  const RunReport report = Import();
  EXPECT_EQ(Written(report)[1], std::vector<std::string>{"|||1"});
  EXPECT_NE(report.Details().find("«Enlazor-actividades.txt»: no es un archivo normal"), std::string::npos);
}
#endif

// Without what the export keeps, or with it damaged or of another year, the
// import goes on as it always did, and one finding says why.
TEST_F(Activities, WithoutTheKeptSenecaDataTheImportGoesOnAsAlwaysAndSaysWhy) {
  const fs::path kept = work / (std::string(kSenecaKept) + ".XML");
  const std::string good = ReadBytes(kept);
  const std::string otherYear = std::string(good).replace(good.find(">2026<"), 6, ">2025<");
  const struct {
    const char* what;
    std::string bytes;  // empty: no file
    const char* kind;
    const char* said;
  } cases[] = {
      {"missing", "", "sin_datos_de_seneca", "son de una versión anterior o de otro programa"},
      {"damaged", "<SERVICIO><BLOQUE", "datos_de_seneca_no_validos", "no se pueden leer"},
      {"of another year", otherYear, "datos_de_seneca_no_validos", "son del curso «2025»"},
  };
  const std::string blas = CodeOf("PROFT", "X_EMPLEADO", "E2");
  // A class on the break too: without Séneca's slots it is not looked for.
  testing::WriteSoluc(work, {{blas, "1", "1", "", "", "GU"}, {blas, "1", "2", "", "", Subject("Lengua", "C1")}});
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove(kept);
    if (!c.bytes.empty()) WriteBytes(kept, c.bytes);
    const RunReport report = Import();
    EXPECT_EQ(Written(report)[1][0], "|||1");
    const auto kinds = Kinds(report);
    EXPECT_EQ(std::count(kinds.begin(), kinds.end(), c.kind), 1);
    EXPECT_EQ(std::count(kinds.begin(), kinds.end(), "clase_en_recreo"), 0);
    EXPECT_EQ(std::count(kinds.begin(), kinds.end(), "actividad_asignada"), 0);
    EXPECT_NE(report.Details().find(c.said), std::string::npos) << report.Details();
  }
}

}  // namespace
}  // namespace enlazor
