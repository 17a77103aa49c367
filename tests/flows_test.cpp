// The window's two commands from the click to the last message, as both
// windows (Qt and Windows) run them, with the dialogs answered by a script.
#include "app/flows.h"

#include <gtest/gtest.h>

#include "exchange/platform.h"
#include "import/import_run.h"
#include "scripted_ui.h"
#include "support.h"

namespace enlazor {
namespace {

namespace fs = std::filesystem;
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
  EXPECT_EQ(script.shown, (Shown{"mensaje: No existe archivo", "mensaje: No existe archivo"}));
  EXPECT_EQ(flows.ArchivoXML(), typed);
  EXPECT_EQ(script.offered, (Shown{"", typed}));
}

TEST_F(Flows, TheAtencionMessageComesOnlyWhenTheChosenFileExists) {
  script.answers = {Path("nohay.xml"), Sample()};
  flows.BImportarClick();
  flows.BImportarClick();
  EXPECT_EQ(script.shown, (Shown{"mensaje: No existe archivo", std::string("mensaje: ") + kAtencion}));
}

TEST_F(Flows, BothCommandsEndToEndWithTheFileChosenOnce) {
  script.answers = {Sample(), std::nullopt};
  flows.BExportarClick();
  ASSERT_EQ(script.shown.size(), 3u);
  EXPECT_EQ(script.shown[2].rfind("mensaje: Proceso finalizado | ", 0), 0u);  // the sample has findings
  Timetable({{"AGN", "1", "1", "2081400"}});
  script.shown.clear();
  script.answers = {std::nullopt};  // the import reuses the export's file and finds base.xml beside it
  flows.BImportarClick();
  EXPECT_EQ(script.shown, (Shown{"reloj", "cursor normal", "mensaje: Proceso Terminado"}));
  EXPECT_TRUE(fs::exists(dir / "sauce/ResultadoTemprahorario.xml"));
}

// No findings: the box as it always was; findings: a summary line and the list.
TEST_F(Flows, TheClosingMessageCarriesTheFindings) {
  WriteBytes(dir / "s.xml", testing::SenecaDocument(testing::Group("EMPLEADOS", {{"10", "", "", "García", "López", "Ana"}})));
  script.answers = {Path("s.xml")};
  flows.BExportarClick();
  WriteBytes(dir / "base.xml", "<SERVICIO><BLOQUE_DATOS/></SERVICIO>");
  Timetable({{"AGL", "1", "1", ""}, {"AGL", "0", "0", ""}});
  flows.BImportarClick();
  EXPECT_EQ(script.shown, (Shown{"reloj", "cursor normal", "mensaje: Proceso finalizado", "reloj", "cursor normal",
                                 "mensaje: Proceso Terminado | 2 avisos: 1 clase sin colocar, 1 clase con tramo desconocido. | "
                                 "detalles: Profesor «AGL»: 1 clase sin colocar (DIA 0) en SOLUC; no pasa a Séneca.\n"
                                 "Profesor «AGL», día 1, tramo 1 (SOLUC, fila 1): el tramo «11» no está en DIASHORAST; "
                                 "N_DIASEMANA, X_TRAMO, N_HORINI y N_HORFIN van vacíos a Séneca.\n"}));
}

TEST_F(Flows, AFailingRunIsReportedWithAFullStopAndTheCursorRestored) {
  WriteBytes(dir / "malo.xml", testing::SenecaDocument(testing::Group("TRAMOS_HORARIOS", {{"A", "1", "9:00", "1000"}})));
  script.answers = {Path("malo.xml")};
  flows.BExportarClick();
  EXPECT_EQ(script.shown, (Shown{"reloj", "cursor normal", "error: '9:00' no es un valor entero válido."}));
  EXPECT_TRUE(fs::is_empty(work()));
}

TEST_F(Flows, AMissingTemplateIsReportedWithTheFullPathTried) {
  script.answers = {Sample()};
  flows.BExportarClick();
  fs::remove(dir / "sauce/base.xml");
  script.shown.clear();
  flows.BImportarClick();
  ASSERT_EQ(script.shown.size(), 3u);
  EXPECT_EQ(script.shown[2], "error: No se puede leer el archivo XML '" + platform::PathToUtf8(dir / "sauce" / "base.xml") +
                                 "': no existe el archivo o la carpeta.");
}

TEST(Shell, ErrorReportAddsAFullStopAfterLettersAndDigits) {
  const std::pair<std::string, std::string> cases[] = {{"abc", "abc."}, {"abc.", "abc."},       {"(x)", "(x)"},
                                                       {"'x'", "'x'"},  {"a ", "a "},           {"", ""},
                                                       {"9", "9."},     {"válido", "válido."}, {"a/", "a/."}};
  for (const auto& [message, shown] : cases) EXPECT_EQ(WithFullStop(message), shown) << message;
}

TEST(Shell, ApplicationTitleComesFromTheExecutablesName) {
  const std::pair<std::string, std::string> cases[] = {{"/usr/bin/enlazor", "enlazor"},  {"DATOS.EXE", "Datos"},
                                                       {"datos.old.exe", "datos"},       {"Enlazor", "Enlazor"},
                                                       {"ÁRBOL.EXE", "Árbol"},           {"HORARIO€Ω.exe", "Horario€Ω"}};
  for (const auto& [path, title] : cases) EXPECT_EQ(ApplicationTitle(path), title) << path;
}

}  // namespace
}  // namespace enlazor
