// No run loses data, mixes two sets of tables or reports a wrong result as
// success: interrupted and failed commits, links, characters XML cannot hold,
// templates of every kind, holds that Horavia under Wine can see.
#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <functional>
#include <thread>

#include <gtest/gtest.h>

#include "exchange/dbf/table.h"
#include "exchange/failure.h"
#include "exchange/platform/platform.h"
#include "exchange/set/copies.h"
#include "exchange/xml/xml.h"
#include "export/export_run.h"
#include "import/import_run.h"
#include "other_program.h"
#include "support.h"

namespace enlazor {
namespace {

namespace fs = std::filesystem;
using testing::Group;
using testing::Outcome;
using testing::ReadBytes;
using testing::SenecaDocument;
using testing::Snapshot;
using testing::TempDir;
using testing::WriteBytes;
using Files = std::vector<std::pair<std::string, std::string>>;

const std::string kOld = SenecaDocument(Group("MATERIAS", {{"1", "2", "Lengua"}}) +
                                        Group("EMPLEADOS", {{"10", "01/09/2010", "P", "García", "López", "Ana"}}) +
                                        Group("TRAMOS_HORARIOS", {{"T1", "1", "0800", "0900"}}));
const std::string kNew =
    SenecaDocument(Group("MATERIAS", {{"5", "6", "Música"}, {"7", "8", "Inglés"}}) +
                   Group("EMPLEADOS", {{"20", "02/09/2011", "P", "Gil", "Luna", "Antonio"}}) +
                   Group("DEPENDENCIAS", {{"A1", "Aula"}}) + Group("UNIDADES", {{"U1", "1º ESO A"}}) +
                   Group("TRAMOS_HORARIOS", {{"T2", "1", "0900", "1000"}}));

// Only the seven tables of a work folder, by name.
Files TablesOf(const fs::path& folder) {
  Files tables;
  for (const auto& [name, bytes] : Snapshot(folder)) {
    if (name.size() > 4 && name.substr(name.size() - 4) == ".DBF" && name != "SOLUC.DBF")
      tables.emplace_back(name, bytes);
  }
  return tables;
}

class Integrity : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(work);
    WriteBytes(dir / "old.xml", kOld);
    WriteBytes(dir / "new.xml", kNew);
    WriteBytes(dir / "base.xml", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><SERVICIO><BLOQUE_DATOS/></SERVICIO>");
    WriteBytes(dir / "horario.xml", "x");
    fs::create_directory(dir / "N");
    RunExport(dir / "new.xml", dir / "N");
    newSet = TablesOf(dir / "N");
    RunExport(dir / "old.xml", work);
    oldSet = TablesOf(work);
    ASSERT_NE(oldSet, newSet);
  }
  void Soluc(const std::vector<std::vector<std::string>>& rows) { testing::WriteSoluc(work, rows); }
  std::string Import() {
    return Outcome([&] { RunImport(dir / "horario.xml", work, dir / "base.xml"); });
  }
  std::string Export(const char* file = "new.xml") {
    return Outcome([&] { RunExport(dir / file, work); });
  }
  // Runs an export of the new set cut short at its n-th rename; true when it was.
  bool ExportDyingAtRename(long n) {
    testing::FailAt(platform::Call::Rename, n, platform::Fault::PowerCut);
    try {
      RunExport(dir / "new.xml", work);
    } catch (const platform::PowerCutForTesting&) {
      platform::ResetCallsForTesting();
      return true;
    }
    platform::ResetCallsForTesting();
    return false;
  }
  fs::path Staged(const char* name = "") { return *name ? work / kStagingFolder / name : work / kStagingFolder; }

  TempDir dir;
  fs::path work = dir / "HTEMP";
  Files oldSet, newSet;
};

// Killed at each rename of its commit, an export leaves the old set or a set
// the next run of either command completes: no reader ever sees a mixed one.
TEST_F(Integrity, AKillAtAnyRenameOfTheCommitNeverLetsARunReadAMixedSet) {
  long n = 1;
  for (; ExportDyingAtRename(n); ++n) {
    const bool pending = fs::exists(Staged("COMPLETO"));
    const Files rightAfter = TablesOf(work);
    if (!pending) {
      EXPECT_TRUE(rightAfter == oldSet || rightAfter == newSet) << "rename " << n;
    }
    for (const bool byImport : {false, true}) {
      SCOPED_TRACE(std::string(byImport ? "import" : "export") + " after rename " + std::to_string(n));
      if (byImport) {
        Soluc({{"AGL", "1", "1", "A1"}});
        EXPECT_EQ(Import(), testing::kDone);
        fs::remove(work / "SOLUC.DBF");
      } else {
        EXPECT_NE(Export("nada.xml"), testing::kDone);  // no such file: refused before anything
      }
      EXPECT_EQ(TablesOf(work), pending && byImport ? newSet : rightAfter);
      if (byImport && pending) {
        EXPECT_FALSE(fs::exists(Staged()));
      }
      if (byImport && TablesOf(work) == newSet) {  // the set it replaced is kept whole
        const auto copies = ListCopies(work);
        ASSERT_EQ(copies.size(), 1u);
        EXPECT_EQ(TablesOf(copies[0].folder), oldSet);
      }
    }
    fs::remove_all(work);
    fs::create_directory(work);
    RunExport(dir / "old.xml", work);
  }
  EXPECT_GT(n, 15);  // the mark's rename and two moves per table were all reached
}

// A live table that cannot be replaced: every table stays as it was, the
// message says which and why, and the next export works.
TEST_F(Integrity, AFailingMoveUndoesTheCommitAndNamesTheTable) {
  long n = 1;
  for (;; ++n) {
    testing::FailAt(platform::Call::Rename, n);
    const std::string outcome = Export();
    platform::ResetCallsForTesting();
    if (outcome == testing::kDone) break;
    EXPECT_EQ(TablesOf(work), oldSet) << outcome;
    EXPECT_FALSE(fs::exists(Staged()));
    if (n > 2) {  // after the running command's note and the mark
      EXPECT_NE(outcome.find("No se puede sustituir la tabla '" + platform::PathToUtf8(work)), std::string::npos)
          << outcome;
      EXPECT_NE(outcome.find("error de entrada/salida. Las tablas de trabajo quedan como estaban"), std::string::npos);
    }
  }
  EXPECT_GT(n, 15);
  EXPECT_EQ(TablesOf(work), newSet);
}

#ifndef _WIN32
TEST_F(Integrity, PosixAReadOnlyLiveTableIsNotReplaced) {
  // Everything open to an ordinary user but GRUPOST, which is read-only.
  for (const auto& entry : fs::recursive_directory_iterator(dir.path())) fs::permissions(entry, fs::perms::all);
  fs::permissions(dir.path(), fs::perms::all);
  fs::permissions(work / "GRUPOST.DBF", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  const pid_t child = fork();
  if (child == 0) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(3);
    const std::string expected = "No se puede sustituir la tabla '" + (work / "GRUPOST.DBF").string() +
                                 "': es de solo lectura o está protegida contra cambios";
    _exit(Export() == expected ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(TablesOf(work), oldSet);
}
#endif

// A table changed after an interruption is never overwritten without a word.
TEST_F(Integrity, ATableChangedSinceTheInterruptionStopsBothCommandsUntilTheUserActs) {
  ASSERT_TRUE(ExportDyingAtRename(3));  // the mark is written and the first table set aside
  ASSERT_TRUE(fs::exists(Staged("COMPLETO")));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));  // a later moment, not the same clock tick
  Table proft(work, "PROFT");                                  // Horavia adds a teacher meanwhile
  proft.Open();
  proft.Append();
  proft.SetFieldText("ABREV", "NUE");
  proft.Post();
  proft.Close();
  const auto before = Snapshot(work);
  const std::string changed =
      "La tabla '" + (work / "PROFT.DBF").string() + "' ha cambiado después de que se interrumpiera una exportación";
  for (const auto& outcome : {Import(), Export("old.xml")}) {
    EXPECT_EQ(outcome.rfind(changed, 0), 0u) << outcome;
    EXPECT_EQ(Snapshot(work), before);
  }
  fs::rename(work / "PROFT.DBF", dir / "PROFT-guardada.DBF");  // what the message tells the user to do
  EXPECT_EQ(Export("nada.xml"), "No existe archivo");
  Soluc({});
  EXPECT_EQ(Import(), testing::kDone);
  EXPECT_EQ(TablesOf(work), newSet);
}

// The check compares what each table was for equality, whatever the clocks
// say: a clock that was ahead at the cut, an edit of the same size with its
// time put back, a mark that recorded nothing (when in doubt, refuse).
TEST_F(Integrity, FinishingAnInterruptedSetTrustsNoClock) {
  const auto markAhead = [&] {
    fs::last_write_time(Staged("COMPLETO"), fs::file_time_type::clock::now() + std::chrono::hours(1));
  };
  const auto addTeacher = [&] {
    Table proft(work, "PROFT");
    proft.Open();
    proft.Append();
    proft.SetFieldText("ABREV", "NUE");
    proft.Post();
  };
  const auto sameSizeEdit = [&] {
    const auto when = fs::last_write_time(work / "PROFT.DBF");
    std::string bytes = ReadBytes(work / "PROFT.DBF");
    bytes[bytes.size() - 10] ^= 1;
    WriteBytes(work / "PROFT.DBF", bytes);
    fs::last_write_time(work / "PROFT.DBF", when);
  };
  const auto recordNothing = [&] {
    const std::string mark = ReadBytes(Staged("COMPLETO"));
    WriteBytes(Staged("COMPLETO"), mark.substr(0, mark.find("vivo: ")));
  };
  const struct {
    const char* what;
    std::vector<std::function<void()>> meanwhile;
    bool finished;
  } cases[] = {
      {"nothing changed, the clock ahead", {markAhead}, true},
      {"a teacher added, the clock ahead", {markAhead, addTeacher}, false},
      {"an edit of the same size, its time put back", {sameSizeEdit}, false},
      {"a mark that recorded nothing", {recordNothing}, false},
  };
  for (const auto& c : cases) {
    fs::remove_all(work);
    fs::create_directory(work);
    RunExport(dir / "old.xml", work);
    ASSERT_TRUE(ExportDyingAtRename(3)) << c.what;
    for (const auto& change : c.meanwhile) change();
    const auto before = TablesOf(work);
    const std::string outcome = Export("nada.xml") == "No existe archivo" ? Import() : "?";
    EXPECT_EQ(outcome.find("ha cambiado después de que se interrumpiera") == std::string::npos, c.finished)
        << c.what << ": " << outcome;
    if (!c.finished) {
      EXPECT_EQ(TablesOf(work), before) << c.what;
    }
  }
}

// A finishing that fails is undone as a failed commit is, and says which
// interrupted command it was finishing and where its tables are.
TEST_F(Integrity, AFailedFinishingIsUndoneAndNamesTheInterruptedExport) {
  ASSERT_TRUE(ExportDyingAtRename(4));
  const auto before = Snapshot(work);
  testing::FailAt(platform::Call::Rename, 3);
  const std::string outcome = Import();
  platform::ResetCallsForTesting();
  EXPECT_EQ(outcome.rfind("No se ha podido terminar la exportación interrumpida (del ", 0), 0u) << outcome;
  EXPECT_NE(outcome.find("de '" + platform::PathToUtf8(dir / "new.xml") + "')"), std::string::npos) << outcome;
  EXPECT_NE(outcome.find("Las tablas de trabajo quedan como estaban."), std::string::npos) << outcome;
  EXPECT_EQ(Snapshot(work), before);
  Soluc({});
  EXPECT_EQ(Import(), testing::kDone);
  EXPECT_EQ(TablesOf(work), newSet);
}

// One table in two spellings (proft.dbf beside PROFT.DBF, possible under Wine
// on a Linux disk): every command refuses before it touches anything.
TEST_F(Integrity, PosixATableInTwoSpellingsStopsEveryCommand) {
#ifdef _WIN32
  GTEST_SKIP() << "a Windows disk cannot hold both names";
#endif
  testing::CopyOver(work / "PROFT.DBF", work / "proft.dbf");
  Soluc({});
  const auto before = Snapshot(work);
  for (const auto& outcome : {Export(), Import()}) {
    EXPECT_EQ(outcome.rfind("La carpeta de trabajo tiene dos archivos de la tabla PROFT, '", 0), 0u) << outcome;
    EXPECT_EQ(Snapshot(work), before);
  }
}

// The staging folder must be a folder of ours: never a file, never a link.
TEST_F(Integrity, TheStagingFolderIsOursAndNothingOfOthersInItIsDeleted) {
  const std::string notOurs = "'" + platform::PathToUtf8(Staged()) + "' no es una carpeta de Enlazor";
  WriteBytes(Staged(), "un archivo");  // once "error del sistema 17"
  EXPECT_EQ(Export().rfind(notOurs, 0), 0u);
  EXPECT_EQ(ReadBytes(Staged()), "un archivo");
  fs::remove(Staged());
  fs::create_directory(Staged());
  WriteBytes(Staged("nota.txt"), "de otro");
  EXPECT_EQ(Export(), testing::kDone);
  EXPECT_EQ(ReadBytes(Staged("nota.txt")), "de otro");
  EXPECT_EQ(TablesOf(work), newSet);
}

#ifndef _WIN32
// Wine makes no links; on Windows a junction is refused by the same check.
TEST_F(Integrity, PosixTheStagingFolderIsNeverALink) {
  TempDir documents;
  WriteBytes(documents / "carta.txt", "mía");
  fs::create_directory_symlink(documents.path(), Staged());
  EXPECT_EQ(Export().rfind("'" + Staged().string() + "' no es una carpeta de Enlazor", 0), 0u);
  EXPECT_EQ(ReadBytes(documents / "carta.txt"), "mía");
  EXPECT_EQ(TablesOf(work), oldSet);
}
#endif

TEST_F(Integrity, AChosenFileInsideTheStagingFolderIsRefusedAndKept) {
  fs::create_directory(Staged());
  WriteBytes(Staged("PROFT.DBF"), kNew);
  const std::string inside = "El archivo '" + Staged("PROFT.DBF").string() + "' está dentro de la carpeta '";
  EXPECT_EQ(Outcome([&] { RunExport(Staged("PROFT.DBF"), work); }).rfind(inside, 0), 0u);
  EXPECT_EQ(Outcome([&] { RunImport(Staged("PROFT.DBF"), work, dir / "base.xml"); }).rfind(inside, 0), 0u);
  EXPECT_EQ(ReadBytes(Staged("PROFT.DBF")), kNew);
  EXPECT_THROW(RunExport(Staged("PROFT.DBF"), work), Refusal);
}

// A control character in a table value would make a file Séneca refuses.
TEST_F(Integrity, ACharacterXmlCannotHoldStopsTheImportNamingTableRowAndField) {
  Soluc({{"AGL", "1", "1", "A1"}, {"AGL", "1", "1", std::string("B\x01")}});
  const std::string soluc = "La tabla '" + platform::PathToUtf8(work / "SOLUC.DBF") +
                            "', fila 2, campo AULA, tiene un carácter de control (código 1)";
  EXPECT_EQ(Import().rfind(soluc, 0), 0u) << Import();
  Soluc({});
  {
    Table proft(work, "PROFT");
    proft.Open();
    proft.Append();
    proft.SetFieldText("X_EMPLEADO", std::string("12\0"
                                                 "5",
                                                 4));
    proft.Post();
  }
  const std::string proft = "La tabla '" + platform::PathToUtf8(work / "PROFT.DBF") +
                            "', fila 2, campo X_EMPLEADO, tiene un carácter de control (código 0)";
  EXPECT_EQ(Import().rfind(proft, 0), 0u) << Import();
  EXPECT_FALSE(fs::exists(dir / "ResultadoTemprahorario.xml"));
}

// Whatever the template, the output is read back by a conforming parser with
// the timetable where it belongs; absurd depth is refused.
TEST_F(Integrity, EveryTemplateGivesAnOutputAConformingParserReads) {
  Soluc({{"AGL", "1", "1", "A1"}});
  auto utf16be = [](const std::string& ascii) {
    std::string out = "\xFE\xFF";
    for (const char c : ascii) out += std::string{'\0', c};
    return out;
  };
  std::string deep = "<SERVICIO><BLOQUE_DATOS>";
  for (int i = 0; i < 120; ++i) deep += "<x>";
  const struct {
    const char* what;
    std::string bytes;
    std::string outcome;
  } cases[] = {
      {"UTF-16BE", utf16be("<?xml version=\"1.0\" encoding=\"UTF-16BE\"?><SERVICIO><BLOQUE_DATOS/></SERVICIO>"),
       testing::kDone},
      {"UTF-8 mark, other label",
       "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><SERVICIO><BLOQUE_DATOS/></SERVICIO>",
       testing::kDone},
      {"marker in CDATA", "<SERVICIO><BLOQUE_DATOS><![CDATA[<?enlazor-texto 0?>]]></BLOQUE_DATOS></SERVICIO>",
       testing::kDone},
      {"too deep", deep, ": los elementos se anidan a más de 100 niveles"},
  };
  for (const auto& c : cases) {
    WriteBytes(dir / "base.xml", c.bytes);
    const std::string outcome = Import();
    if (c.outcome != testing::kDone) {
      EXPECT_NE(outcome.find(c.outcome), std::string::npos) << outcome;
    } else {
      EXPECT_EQ(outcome, c.outcome) << c.what;
    }
    if (c.outcome != testing::kDone) continue;
    XmlDocument output;
    output.Load(dir / "ResultadoTemprahorario.xml");
    const XmlNode bloque = output.SelectNodes("/SERVICIO/BLOQUE_DATOS").Item(0);
    EXPECT_EQ(bloque.SelectNodes("grupo_datos[@seq=\"HORARIOS_REGULARES\"]/grupo_datos/grupo_datos/dato").Length(), 11u)
        << c.what;
  }
}

#ifndef _WIN32
TEST_F(Integrity, PosixATableThatIsAPipeOrAFolderSaysSo) {
  Soluc({});
  fs::remove(work / "SOLUC.DBF");
  ASSERT_EQ(mkfifo((work / "SOLUC.DBF").c_str(), 0600), 0);
  EXPECT_EQ(Import(), "La tabla '" + (work / "SOLUC.DBF").string() +
                          "' no es un archivo normal: Enlazor lee y escribe las tablas como archivos del disco");
}
#endif

#ifndef _WIN32
TEST_F(Integrity, PosixAnExportReadsFromAPipe) {
  ASSERT_EQ(mkfifo((dir / "tuberia.xml").c_str(), 0600), 0);
  std::thread writer([&] { WriteBytes(dir / "tuberia.xml", kNew); });
  EXPECT_EQ(Outcome([&] { RunExport(dir / "tuberia.xml", work); }), testing::kDone);
  writer.join();
  EXPECT_EQ(TablesOf(work), newSet);
}
#endif

// Whatever reports a failure (the system, the C++ runtime), the user reads it in Spanish.
TEST(Failures, EveryFailureIsToldInSpanish) {
  const auto missing = std::make_error_code(std::errc::no_such_file_or_directory);
  const std::pair<std::function<std::string()>, std::string> cases[] = {
      {[] { return FailureText(std::bad_alloc()); },
       "Memoria insuficiente para terminar la orden. Cierre otros programas y repítala"},
      {[&] { return FailureText(fs::filesystem_error("x", fs::path("base.xml"), missing)); },
       "Error del sistema con 'base.xml': no existe el archivo o la carpeta"},
      {[] {
         return FailureText(
             fs::filesystem_error("x", fs::path("a"), std::make_error_code(std::errc::no_space_on_device)));
       },
       "Error del sistema con 'a': no queda espacio en el disco"},
  };
  for (const auto& [text, spanish] : cases) EXPECT_EQ(text(), spanish);
}

// Horavia holds a table as its engine does (under Wine that is a POSIX record
// lock): our runs must see it, and Horavia must see our holds.
TEST_F(Integrity, HoldsAreSeenBothWaysWithAProgramHoldingTablesAsHoraviaDoes) {
  Soluc({{"AGL", "1", "1", "A1"}});
  const std::string inUse = "La tabla '" + platform::PathToUtf8(work / "AULAT.DBF") +
                            "' está en uso por otro programa: cierre Horavia y repita la orden";
  {
    testing::OtherProgram horavia({testing::Helper("hold_table"), platform::PathToUtf8(work), "AULAT", "horavia"});
    ASSERT_EQ(horavia.ReadLine(), "listo");
    EXPECT_EQ(Import(), inUse);
    EXPECT_EQ(Export(), inUse);
  }
  EXPECT_EQ(TablesOf(work), oldSet);
  Table ours(work, "AULAT", Table::Use::Shared);
  ours.Open();
  testing::OtherProgram probe({testing::Helper("hold_table"), platform::PathToUtf8(work), "AULAT", "probe"});
  EXPECT_EQ(probe.Wait(), 1);  // refused while we hold the table
  ours.Close();
  testing::OtherProgram again({testing::Helper("hold_table"), platform::PathToUtf8(work), "AULAT", "probe"});
  EXPECT_EQ(again.Wait(), 0);
}

}  // namespace
}  // namespace enlazor
