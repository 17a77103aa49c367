// The window's two commands from the click to the last message, as both
// windows (Qt and Windows) run them, with the dialogs answered by a script.
#include "app/flows.h"

#include <gtest/gtest.h>

#include "exchange/dbf/table.h"
#include "exchange/failure.h"
#include "exchange/platform/platform.h"
#include "exchange/set/copies.h"
#include "export/export_run.h"
#include "import/import_run.h"
#include "scripted_ui.h"
#include "support.h"

namespace enlazor {
namespace {

namespace fs = std::filesystem;

// The line a box adds when the dialog was cancelled and the earlier choice served.
const std::string kReused = "No se eligió ningún archivo en el diálogo: se ha usado el de la vez anterior.";
using testing::Script;
using testing::ScriptedUi;
using testing::TempDir;
using testing::WriteBytes;
using Shown = std::vector<std::string>;

class Flows : public ::testing::Test {
 protected:
  Flows() : ui(script), flows(work(), ui) {}
  ~Flows() override { fs::current_path(savedCwd); }
  fs::path work() {
    fs::create_directories(dir / "HTEMP");
    return dir / "HTEMP";
  }
  // The sample school in a folder of its own, beside its template.
  std::string Sample() {
    const fs::path source = std::getenv("ENLAZOR_SOURCE") ? std::getenv("ENLAZOR_SOURCE") : ".";
    fs::create_directories(dir / "sauce");
    testing::CopyOver(source / "samples/seneca-ies-enlazor.xml", dir / "sauce/horario.xml");
    testing::CopyOver(source / "samples/base.xml", dir / "sauce/base.xml");
    return platform::PathToUtf8(dir / "sauce/horario.xml");
  }
  std::string Path(const std::string& name) { return platform::PathToUtf8(dir / name); }
  void Timetable(const std::vector<std::vector<std::string>>& rows) { testing::WriteSoluc(work(), rows); }

  fs::path savedCwd = fs::current_path();
  TempDir dir;
  Script script;
  ScriptedUi ui;
  CommandFlows flows;
};

TEST_F(Flows, ACancelledFirstDialogTouchesNothing) {
  flows.BExportarClick();
  flows.BImportarClick();
  EXPECT_EQ(script.shown, (Shown{"mensaje: No existe archivo", "mensaje: No existe archivo"}));
  EXPECT_TRUE(fs::is_empty(work()));
  EXPECT_TRUE(flows.ArchivoXML().empty());
}

TEST_F(Flows, ATypedNameThatDoesNotExistIsKeptAndOfferedAgain) {
  const std::string typed = Path("nohay.xml");
  script.answers = {typed, std::nullopt};
  flows.BImportarClick();
  flows.BExportarClick();
  EXPECT_EQ(script.shown, (Shown{"mensaje: No existe archivo", "mensaje: No existe archivo\n" + kReused}));
  EXPECT_EQ(flows.ArchivoXML(), typed);
  EXPECT_EQ(script.offered, (Shown{"", typed}));
}

TEST_F(Flows, TheAtencionMessageComesOnlyWhenTheChosenFileExists) {
  script.answers = {Path("nohay.xml"), Sample()};
  flows.BImportarClick();
  flows.BImportarClick();
  EXPECT_EQ(script.shown, (Shown{"mensaje: No existe archivo", std::string("mensaje: ") + kAtencion}));
}

// Each closing box keeps its first line and names the file the command used
// or wrote, so that a command started by "Cancelar" can be seen for what it is.
TEST_F(Flows, BothCommandsEndToEndWithTheFileChosenOnce) {
  const std::string chosen = Sample();
  script.answers = {chosen, std::nullopt};
  flows.BExportarClick();
  ASSERT_EQ(script.shown.size(), 3u);
  EXPECT_EQ(script.shown[2].rfind("mensaje: Proceso finalizado\nArchivo de Séneca: " + chosen + " | ", 0), 0u);
  Timetable({{"AGN", "1", "1", "2081400"}});
  script.shown.clear();
  script.answers = {std::nullopt};  // the import reuses the export's file and finds base.xml beside it
  flows.BImportarClick();
  ASSERT_EQ(script.shown.size(), 3u);
  EXPECT_EQ(script.shown[2].rfind(
                "mensaje: Proceso Terminado\nArchivo para Séneca: " + Path("sauce/ResultadoTemprahorario.xml") + "\n" +
                    kReused + " | 80 profesores: 1 clase, ",
                0),
            0u)
      << script.shown[2];
  EXPECT_TRUE(fs::exists(dir / "sauce/ResultadoTemprahorario.xml"));
}

// No findings: the box as it always was; findings: a summary line and the list.
TEST_F(Flows, TheClosingMessageCarriesTheFindings) {
  WriteBytes(dir / "s.xml",
             testing::SenecaDocument(testing::Group("EMPLEADOS", {{"10", "", "", "García", "López", "Ana"}})));
  script.answers = {Path("s.xml")};
  flows.BExportarClick();
  WriteBytes(dir / "base.xml", "<SERVICIO><BLOQUE_DATOS/></SERVICIO>");
  Timetable({{"AGL", "1", "1", ""}, {"AGL", "0", "0", ""}});
  flows.BImportarClick();
  EXPECT_EQ(script.shown,
            (Shown{"reloj", "cursor normal", "mensaje: Proceso finalizado\nArchivo de Séneca: " + Path("s.xml"),
                   "reloj", "cursor normal",
                   "mensaje: Proceso Terminado\nArchivo para Séneca: " + Path("ResultadoTempras.xml") + "\n" + kReused +
                       " | 1 profesor: 1 clase, 0 guardias y 0 otras actividades. 2 avisos para revisar (1 clase "
                       "sin colocar, 1 clase con tramo desconocido). | detalles: Para revisar:\nClases sin colocar "
                       "(1):\n  Horario de Horavia (SOLUC), fila 2: una clase del profesor «AGL» está sin colocar en "
                       "Horavia; no pasa a Séneca.\nClases con tramo desconocido (1):\n  Horario de Horavia (SOLUC), "
                       "fila 1: profesor «AGL», día 1, tramo 1: el tramo «11» no está en Días y tramos (DIASHORAST); "
                       "N_DIASEMANA, X_TRAMO, N_HORINI y N_HORFIN van vacíos a Séneca.\n\nHoras de cada profesor en "
                       "el horario regular, en el orden de Profesorado (PROFT):\n  AGL  Ana García López: 0 h (0 h "
                       "de clase, 0 h de guardia, 0 h de otras actividades)\n | botón: Mostrar el archivo"}));
}

// An October re-export says what changed against September's set: two
// teachers gone, three come, a unit added, and Horavia's assignments that are
// now only in the copy.
TEST_F(Flows, AReExportSaysWhatChanged) {
  const std::string chosen = Sample();
  script.answers = {chosen};
  flows.BExportarClick();
  Table asigt(work(), "ASIGT");
  asigt.Open();
  for (int k = 0; k < 5; ++k) {
    asigt.Append();
    asigt.SetFieldText("CASIG", "M");
    asigt.Post();
  }
  asigt.Close();
  const fs::path source = std::getenv("ENLAZOR_SOURCE") ? std::getenv("ENLAZOR_SOURCE") : ".";
  testing::CopyOver(source / "samples/seneca-ies-enlazor-octubre.xml", dir / "sauce/octubre.xml");
  script.answers = {Path("sauce/octubre.xml")};
  script.shown.clear();
  flows.BExportarClick();
  ASSERT_EQ(script.shown.size(), 3u);
  EXPECT_NE(
      script.shown[2].find("\nRespecto a las tablas sustituidas:\n  Profesorado: 3 nuevos (Luis Pardo Vega, Eva "
                           "Soto Rey y Raúl Mena Gil) y 2 que ya no están (Carmen Romero Iglesias y Dolores "
                           "Vázquez Díaz).\n  Unidades: 1 nueva (2º Bachillerato C).\n  sin cambios en materias y "
                           "aulas. | "),
      std::string::npos)
      << script.shown[2];
  EXPECT_NE(script.shown[2].find("Asignaciones (ASIGT): 5 asignaciones de Horavia de las tablas sustituidas ya no "
                                 "están en las tablas de trabajo"),
            std::string::npos);
  EXPECT_NE(script.shown[2].find("1 tabla de asignaciones que queda en la copia"), std::string::npos);
}

// A set of another school year, or of another school, is said plainly.
TEST_F(Flows, AReExportSaysWhenTheReplacedSetWasOfAnotherYearOrSchool) {
  auto school = [](const char* year, const char* teacher) {
    return testing::SenecaDocument(std::string("<grupo_datos seq=\"ANNO_ACADEMICO\"><dato>") + year +
                                   "</dato><dato>15/09</dato><dato>22/06</dato></grupo_datos>" +
                                   testing::Group("EMPLEADOS", {{teacher, "", "", "Gil", "Luna", "Ana"}}));
  };
  const std::pair<std::string, std::string> cases[] = {
      {school("2026", "10"), "\n  eran de otro curso, el «2025».\n  los mismos profesores"},
      {school("2025", "99"),
       "\n  no tienen ningún profesor, materia, aula ni unidad en común con estas: eran de otro "
       "centro."},
  };
  for (const auto& [next, said] : cases) {
    fs::remove_all(work());
    work();
    WriteBytes(dir / "a.xml", school("2025", "10"));
    WriteBytes(dir / "b.xml", next);
    script.answers = {Path("a.xml"), Path("b.xml")};
    flows.BExportarClick();
    script.shown.clear();
    flows.BExportarClick();
    ASSERT_EQ(script.shown.size(), 3u) << script.shown[0];
    EXPECT_NE(script.shown[2].find("Respecto a las tablas sustituidas:" + said), std::string::npos) << script.shown[2];
  }
}

// A replaced table that cannot be read is not compared, rather than have all
// its teachers look gone or new; the rest still are.
TEST_F(Flows, AReExportComparesOnlyTheTablesItCouldRead) {
  script.answers = {Sample()};
  flows.BExportarClick();
  WriteBytes(work() / "PROFT.DBF", "no es una tabla");
  script.shown.clear();
  flows.BExportarClick();
  ASSERT_EQ(script.shown.size(), 3u);
  EXPECT_NE(script.shown[2].find("\nRespecto a las tablas sustituidas:\n  Profesorado: no se ha podido leer una de las "
                                 "dos tablas; no se compara.\n  sin cambios en materias, aulas y unidades. | "),
            std::string::npos)
      << script.shown[2];
}

// "Mostrar el archivo" in the import's box shows the file for Séneca in its folder.
TEST_F(Flows, TheImportsBoxShowsTheFileForSeneca) {
  script.answers = {Sample()};
  flows.BExportarClick();
  Timetable({{"AGN", "1", "1", "2081400"}});
  script.shown.clear();
  script.extraPressed = {true};
  flows.BImportarClick();
  ASSERT_EQ(script.shown.size(), 4u);
  EXPECT_NE(script.shown[2].find(" | botón: Mostrar el archivo"), std::string::npos);
  EXPECT_EQ(script.shown[3], "mostrar: " + Path("sauce/ResultadoTemprahorario.xml"));
}

TEST_F(Flows, AFailingRunIsReportedWithAFullStopAndTheCursorRestored) {
  WriteBytes(dir / "malo.xml",
             testing::SenecaDocument(testing::Group("TRAMOS_HORARIOS", {{"A", "1", "9:00", "1000"}})));
  script.answers = {Path("malo.xml")};
  flows.BExportarClick();
  EXPECT_EQ(script.shown, (Shown{"reloj", "cursor normal", "error: '9:00' no es un valor entero válido."}));
  EXPECT_TRUE(fs::is_empty(work()));
}

TEST_F(Flows, WithoutATemplateTheImportMakesOneAndSaysSo) {
  script.answers = {Sample()};
  flows.BExportarClick();
  fs::remove(dir / "sauce/base.xml");
  Timetable({{"AGN", "1", "1", "2081400"}});
  script.shown.clear();
  flows.BImportarClick();
  ASSERT_EQ(script.shown.size(), 3u);
  EXPECT_NE(script.shown[2].find("; 1 plantilla generada. | "), std::string::npos) << script.shown[2];
  EXPECT_FALSE(fs::exists(dir / "sauce/base.xml"));
}

// "Deshacer" in the export's closing box puts back what the export replaced,
// once the user confirms it; without the confirmation nothing changes.
TEST_F(Flows, DeshacerPutsBackTheTablesTheExportReplaced) {
  WriteBytes(dir / "a.xml", testing::SenecaDocument(testing::Group("MATERIAS", {{"1", "2", "Lengua"}})));
  WriteBytes(dir / "b.xml", testing::SenecaDocument(testing::Group("MATERIAS", {{"1", "2", "Música"}})));
  script.answers = {Path("a.xml")};
  flows.BExportarClick();
  EXPECT_EQ(script.shown.back().find("botón"), std::string::npos);  // the first export replaced nothing
  for (const bool confirm : {false, true}) {
    RunExport(dir / "a.xml", work());
    const auto before = testing::Tables(work());
    script.answers = {Path("b.xml")};
    script.extraPressed = {true};
    script.confirmed = {confirm};
    script.shown.clear();
    flows.BExportarClick();
    ASSERT_GE(script.shown.size(), 4u);
    EXPECT_NE(script.shown[2].find(" | botón: Deshacer"), std::string::npos);
    EXPECT_EQ(script.shown[3].rfind("pregunta: ¿Deshacer la exportación y volver a poner las tablas que había antes? "
                                    "Son la copia del ",
                                    0),
              0u)
        << script.shown[3];
    EXPECT_EQ(testing::Tables(work()) == before, confirm);
  }
  EXPECT_EQ(script.shown.back().rfind("mensaje: Tablas restauradas\nCopia puesta de nuevo: ", 0), 0u)
      << script.shown.back();
}

TEST_F(Flows, RecuperarListsTheCopiesAndRestoresTheOneChosen) {
  flows.RecuperarClick();
  EXPECT_EQ(script.shown, (Shown{"mensaje: No hay copias de tablas anteriores en '" +
                                 platform::PathToUtf8(work() / kCopiesFolder) + "'."}));
  WriteBytes(dir / "a.xml", testing::SenecaDocument(testing::Group("MATERIAS", {{"1", "2", "Lengua"}})));
  for (int n = 0; n < 3; ++n) RunExport(dir / "a.xml", work());
  const auto copies = ListCopies(work());
  ASSERT_EQ(copies.size(), 2u);
  script.shown.clear();
  script.copyChosen = {std::nullopt, 1, 1};
  script.confirmed = {false, true};
  for (int click = 0; click < 3; ++click) flows.RecuperarClick();
  const std::string listed = "copias:\n1.  " + copies[0].Line() + "\n2.  " + copies[1].Line();
  const std::string question =
      "pregunta: ¿Volver a poner las tablas de la copia del " + copies[1].When() +
      " (antes de exportar a.xml)? Las tablas actuales se guardarán como otra copia. [Restaurar]";
  ASSERT_EQ(script.shown.size(), 8u);
  EXPECT_EQ(Shown(script.shown.begin(), script.shown.begin() + 7),
            (Shown{listed, listed, question, listed, question, "reloj", "cursor normal"}));
  EXPECT_EQ(script.shown[7].rfind("mensaje: Tablas restauradas\n", 0), 0u);
  EXPECT_FALSE(fs::exists(copies[1].folder));  // put back: its tables are the live ones now
}

TEST_F(Flows, TheFileDialogOpensInTheExchangeFolderWhenThereIsOne) {
  flows.BExportarClick();
  fs::create_directory(work() / "sauce");
  flows.BExportarClick();
  EXPECT_EQ(script.folders, (Shown{Path("HTEMP"), platform::PathToUtf8(work() / "sauce")}));
}

#ifndef _WIN32
// The current folder removed under the window (a dialog cancelled, the last
// file's folder deleted meanwhile): the import still finds its way, in Spanish.
TEST_F(Flows, PosixAVanishedCurrentFolderStopsNothing) {
  script.answers = {Sample()};
  flows.BExportarClick();
  Timetable({{"AGN", "1", "1", "2081400"}});
  fs::create_directory(dir / "ida");
  fs::current_path(dir / "ida");
  fs::remove(dir / "ida");
  script.shown.clear();
  flows.BImportarClick();  // cancelled: the export's file again
  ASSERT_EQ(script.shown.size(), 3u);
  EXPECT_EQ(script.shown[2].rfind("mensaje: Proceso Terminado\n", 0), 0u) << script.shown[2];
}
#endif

TEST(Shell, ErrorReportAddsAFullStopAfterLettersAndDigits) {
  const std::pair<std::string, std::string> cases[] = {{"abc", "abc."}, {"abc.", "abc."},      {"(x)", "(x)"},
                                                       {"'x'", "'x'"},  {"a ", "a "},          {"", ""},
                                                       {"9", "9."},     {"válido", "válido."}, {"a/", "a/."}};
  for (const auto& [message, shown] : cases) EXPECT_EQ(WithFullStop(message), shown) << message;
}

TEST(Shell, ApplicationTitleComesFromTheExecutablesName) {
  const std::pair<std::string, std::string> cases[] = {{"/usr/bin/enlazor", "enlazor"}, {"DATOS.EXE", "Datos"},
                                                       {"datos.old.exe", "datos"},      {"Enlazor", "Enlazor"},
                                                       {"ÁRBOL.EXE", "Árbol"},          {"HORARIO€Ω.exe", "Horario€Ω"}};
  for (const auto& [path, title] : cases) EXPECT_EQ(ApplicationTitle(path), title) << path;
}

}  // namespace
}  // namespace enlazor
