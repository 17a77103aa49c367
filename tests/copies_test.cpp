// Nothing a command does loses Horavia's work: every replaced set is kept as
// a copy, the ten newest stay, and a restore puts one back all or nothing and
// can itself be undone.
#include <gtest/gtest.h>

#include "exchange/dbf/table.h"
#include "exchange/failure.h"
#include "exchange/platform/platform.h"
#include "exchange/set/copies.h"
#include "exchange/set/work_set.h"
#include "export/export_run.h"
#include "export/restore_run.h"
#include "support.h"

namespace enlazor {
namespace {

namespace fs = std::filesystem;
using testing::Group;
using testing::Outcome;
using testing::SenecaDocument;
using testing::TempDir;
using testing::WriteBytes;

// The table files of a folder (data and index) with their bytes.
std::vector<std::pair<std::string, std::string>> Tables(const fs::path& folder) {
  auto files = testing::Tables(folder);
  std::erase_if(files, [](const auto& file) {
    const std::string ext = file.first.size() > 4 ? UpperAnsiText(file.first.substr(file.first.size() - 4)) : "";
    return ext != ".DBF" && ext != ".MDX";
  });
  return files;
}

std::string School(const std::string& subject) {
  return SenecaDocument(Group("MATERIAS", {{"1", "2", subject}}) +
                        Group("EMPLEADOS", {{"10", "01/09/2010", "P", "García", "López", "Ana"}}));
}

class Copies : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directory(work); }
  void Export(const std::string& name, const std::string& subject = "Lengua") {
    WriteBytes(dir / name, School(subject));
    RunExport(dir / name, work);
  }
  // Horavia's work since the export: an assignment in ASIGT.
  void Assign(const std::string& subject) {
    Table asigt(work, "ASIGT");
    asigt.Open();
    asigt.Append();
    asigt.SetFieldText("CASIG", subject);
    asigt.Post();
  }

  TempDir dir;
  fs::path work = dir / "HTEMP";
};

TEST_F(Copies, ARestoreGivesBackTheSetBeforeTheExportAndTheNextRestoreUndoesIt) {
  Export("a.xml");
  Assign("L");
  const auto beforeB = Tables(work);
  Export("b.xml", "Música");
  const auto afterB = Tables(work);
  ASSERT_NE(afterB, beforeB);
  const auto copies = ListCopies(work);
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_EQ(copies[0].Before(), "antes de exportar b.xml");
  EXPECT_EQ(copies[0].Rows("ASIGT"), 1);
  EXPECT_EQ(copies[0].Rows("PROFT"), 1);

  const RunReport restored = RunRestore(work, 1);
  EXPECT_EQ(Tables(work), beforeB);
  EXPECT_EQ(restored.orden, "restaurar");
  ASSERT_EQ(ListCopies(work).size(), 1u);  // the restored copy is live now; what it replaced is the copy
  EXPECT_EQ(Tables(ListCopies(work)[0].folder), afterB);
  EXPECT_EQ(ListCopies(work)[0].Before().rfind("antes de volver a poner las tablas del ", 0), 0u);

  RunRestore(work, 1);
  EXPECT_EQ(Tables(work), afterB);
}

TEST_F(Copies, TheTenNewestCopiesAreKept) {
  for (int n = 0; n <= 11; ++n) Export("e" + std::to_string(n) + ".xml");  // 12 exports replace 11 sets
  const auto copies = ListCopies(work);
  ASSERT_EQ(copies.size(), kKeptCopies);
  EXPECT_EQ(copies.front().archivo, platform::PathToUtf8(dir / "e11.xml"));
  EXPECT_EQ(copies.back().archivo, platform::PathToUtf8(dir / "e2.xml"));
  size_t folders = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(work / kCopiesFolder)) ++folders;
  EXPECT_EQ(folders, kKeptCopies);
}

// A copy that is no whole set is listed as such, with what it lacks, and is
// never restored: the description does not count, the folder does.
TEST_F(Copies, ACopyIsRestoredOnlyWhole) {
  const std::vector<std::pair<const char*, std::function<void(const fs::path&)>>> damages = {
      {"falta Profesorado (PROFT)", [](const fs::path& copy) { fs::remove(copy / "PROFT.DBF"); }},
      {"faltan Curso escolar (CURSOACAD) y Asignaciones (ASIGT)",
       [](const fs::path& copy) {
         fs::remove(copy / "CURSOACAD.DBF");
         fs::remove(copy / "ASIGT.DBF");
       }},
#ifndef _WIN32  // one name, whatever its letter case, and no links here
      {"Aulas (AULAT) está dos veces",
       [](const fs::path& copy) { fs::copy_file(copy / "AULAT.DBF", copy / "aulat.dbf"); }},
      {"Aulas (AULAT) no es un archivo normal",
       [](const fs::path& copy) {
         fs::rename(copy / "AULAT.DBF", copy / "aulat.bak");
         fs::create_symlink(copy / "aulat.bak", copy / "AULAT.DBF");
       }},
#endif
      {"Unidades (GRUPOST) no se puede leer", [](const fs::path& copy) { WriteBytes(copy / "GRUPOST.DBF", "no"); }},
  };
  for (const auto& [lack, damage] : damages) {
    SCOPED_TRACE(lack);
    fs::remove_all(work);
    fs::create_directory(work);
    Export("a.xml");
    Export("b.xml", "Música");
    const auto live = Tables(work);
    damage(ListCopies(work)[0].folder);
    const CopyInfo copy = ListCopies(work)[0];
    EXPECT_FALSE(copy.Whole());
    EXPECT_NE(copy.falta.find(lack), std::string::npos) << copy.falta;
    EXPECT_NE(copy.Line().find("incompleta: " + copy.falta), std::string::npos);
    const std::string refused = Outcome([&] { RunRestore(work, 1); });
    EXPECT_NE(refused.find("no se puede restaurar: " + copy.falta), std::string::npos) << refused;
    EXPECT_EQ(Tables(work), live);
  }
}

// What the export kept of the Séneca file belongs to its set: the copy keeps
// it, a restore puts it back, and a copy made before it existed leaves the
// restored set without one, never with another set's.
TEST_F(Copies, TheKeptSenecaDataTravelsWithItsSet) {
  const fs::path kept = std::string(kSenecaKept) + ".XML";
  Export("a.xml", "Lengua");
  const std::string ofA = testing::ReadBytes(work / kept);
  Export("b.xml", "Música");
  ASSERT_NE(testing::ReadBytes(work / kept), ofA);
  EXPECT_EQ(testing::ReadBytes(ListCopies(work)[0].folder / kept), ofA);
  RunRestore(work, 1);
  EXPECT_EQ(testing::ReadBytes(work / kept), ofA);
  fs::remove(ListCopies(work)[0].folder / kept);  // as a copy an earlier version made
  RunRestore(work, 1);
  EXPECT_FALSE(fs::exists(work / kept));
  EXPECT_EQ(testing::ReadBytes(ListCopies(work)[0].folder / kept), ofA);
}

// A description that says the largest number there is gives no number that
// wraps round: the copy just made is never the one pruned.
TEST_F(Copies, SequenceNumbersNeverWrapRound) {
  Export("a.xml");
  Export("b.xml");
  const fs::path description = ListCopies(work)[0].folder / kDescription;
  std::string text = testing::ReadBytes(description);
  text.replace(text.find("secuencia: 1"), 12, "secuencia: 18446744073709551615");
  WriteBytes(description, text);
  for (int n = 0; n < 12; ++n) {
    WriteBytes(dir / "c.xml", School("Materia " + std::to_string(n)));
    const RunReport report = RunExport(dir / "c.xml", work);
    const auto copies = ListCopies(work);
    EXPECT_LE(copies.size(), kKeptCopies);
    EXPECT_TRUE(std::any_of(copies.begin(), copies.end(),
                            [&](const CopyInfo& c) { return platform::PathToUtf8(c.folder) == report.copia; }))
        << "exportación " << n;
  }
}

// "restaurar 1" puts back the copy the list called 1, even when the restore's
// own start first keeps the set an interrupted export left aside.
TEST_F(Copies, ARestoreActsOnTheCopyNumberedAsListed) {
  Export("a.xml");
  const auto setA = Tables(work);
  Export("b.xml", "Música");
  // An export cut short at its last rename, which makes the copy of what it replaced.
  const fs::path saved = dir / "guardada";
  fs::copy(work, saved, fs::copy_options::recursive);
  platform::ResetCallsForTesting();
  Export("c.xml", "Inglés");
  const long renames = platform::CallsForTesting(platform::Call::Rename);
  fs::remove_all(work);
  fs::copy(saved, work, fs::copy_options::recursive);
  testing::FailAt(platform::Call::Rename, renames, platform::Fault::PowerCut);
  EXPECT_THROW(Export("c.xml", "Inglés"), platform::PowerCutForTesting);
  platform::ResetCallsForTesting();
  ASSERT_EQ(ListCopies(work).size(), 1u);  // the set of b.xml waits in the staging folder
  ASSERT_EQ(ListCopies(work)[0].Before(), "antes de exportar b.xml");
  RunRestore(work, 1);
  EXPECT_EQ(Tables(work), setA);
}

// A copy's description written by another system, with a name in another
// encoding, still lists, and reads with replacement characters.
TEST_F(Copies, ANameInAnotherEncodingListsWithReplacementCharacters) {
  Export("a.xml");
  Export("b.xml");
  const fs::path description = ListCopies(work)[0].folder / kDescription;
  std::string text = testing::ReadBytes(description);
  const size_t at = text.find("archivo: ") + 9;
  text.replace(at, text.find('\n', at) - at, "/datos/\xE1rbol.xml");
  WriteBytes(description, text);
  const auto copies = ListCopies(work);
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_EQ(copies[0].Before(), "antes de exportar \xEF\xBF\xBDrbol.xml");
  EXPECT_NE(copies[0].Line().find("\xEF\xBF\xBDrbol.xml"), std::string::npos);
  RunRestore(work, 1);
}

#ifndef _WIN32
// A restore whose replaced set could not be kept would not be undone: it does not run.
TEST_F(Copies, ARestoreThatCouldNotKeepTheSetItReplacesDoesNotRun) {
  Export("a.xml");
  Export("b.xml", "Música");
  const auto live = Tables(work);
  for (const auto& entry : fs::recursive_directory_iterator(dir.path())) fs::permissions(entry.path(), fs::perms::all);
  fs::permissions(dir.path(), fs::perms::all);
  fs::permissions(work / kCopiesFolder, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  const std::string outcome = testing::OutcomeAsOrdinaryUser([&] { RunRestore(work, 1); });
  fs::permissions(work / kCopiesFolder, fs::perms::all);
  EXPECT_EQ(outcome,
            "No se puede restaurar la copia: las tablas de trabajo actuales no se podrían guardar como copia en '" +
                (work / kCopiesFolder).string() +
                "' (permiso denegado), y la orden no se podría deshacer. Resuelva eso y repita la orden; las "
                "tablas de trabajo no han cambiado.");
  EXPECT_EQ(Tables(work), live);
}

// In a work folder whose path is near the system's limit, a copy whose date
// would make a path too long is named by its number, and restores.
TEST_F(Copies, ACopyNearThePathLimitTakesAShorterNameAndRestores) {
  fs::path deep = dir.path();
  const size_t target = 4044;  // the staging folder's longest file fits; a copy named by its date does not
  while (deep.native().size() + 201 < target) deep /= std::string(200, 'p');
  deep /= std::string(target - deep.native().size() - 1, 'q');
  ASSERT_EQ(deep.native().size(), target);
  fs::create_directories(deep);
  work = deep;
  Export("a.xml");
  const auto setA = Tables(work);
  Export("b.xml", "Música");
  const auto copies = ListCopies(work);
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_TRUE(copies[0].Whole()) << copies[0].falta;
  EXPECT_EQ(copies[0].name, "1");
  RunRestore(work, 1);
  EXPECT_EQ(Tables(work), setA);
}
#endif

// Killed at any rename of a restore, the next run finishes it or the old set
// stays; both sets are still somewhere, whole.
TEST_F(Copies, AKillAtAnyRenameOfARestoreNeverLeavesAMixedSet) {
  Export("a.xml");
  Assign("L");
  const auto setA = Tables(work);
  Export("b.xml", "Música");
  const auto setB = Tables(work);
  long n = 1;
  for (;; ++n) {
    testing::FailAt(platform::Call::Rename, n, platform::Fault::PowerCut);
    const bool cut = Outcome([&] {
                       try {
                         RunRestore(work, 1);
                       } catch (const platform::PowerCutForTesting&) {
                         throw Failure("corte");
                       }
                     }) == "corte";
    platform::ResetCallsForTesting();
    if (!cut) break;
    FinishPendingSet(work);
    const auto live = Tables(work);
    ASSERT_TRUE(live == setA || live == setB) << "rename " << n;
    bool otherKept = false;
    for (const auto& copy : ListCopies(work))
      otherKept = otherKept || Tables(copy.folder) == (live == setA ? setB : setA);
    EXPECT_TRUE(otherKept) << "rename " << n;
    if (live == setA) RunRestore(work, 1);  // back to B for the next round
    while (ListCopies(work).size() > 1) RemoveCopy(ListCopies(work).back(), work);
  }
  EXPECT_GT(n, 15);
  EXPECT_EQ(Tables(work), setA);
}

TEST_F(Copies, RefusalsLeaveEverythingAsItWas) {
  Export("a.xml");
  const auto tables = Tables(work);
  EXPECT_EQ(Outcome([&] { RunRestore(work, 1); }),
            "No hay copias de tablas anteriores en '" + platform::PathToUtf8(work / kCopiesFolder) + "'.");
  Export("b.xml");
  EXPECT_EQ(Outcome([&] { RunRestore(work, 2); }),
            "No hay copia número 2: hay 1 copia (de la 1, la más reciente, a la 1).");
  EXPECT_EQ(Outcome([&] {
              RunRestore(work, std::string("1999-01-01 00.00.00"));
            }).rfind("La copia '1999-01-01 00.00.00' ya no", 0),
            0u);
  EXPECT_THROW(RunRestore(work, 0), Refusal);
  EXPECT_EQ(Tables(work), tables);
}

// The copies folder must be ours: a file or a link there stops an export
// before any table is touched.
TEST_F(Copies, ACopiesFolderThatIsAFileOrALinkIsRefused) {
  Export("a.xml");
  const auto tables = Tables(work);
  TempDir elsewhere;
  const std::function<void()> makers[] = {
      [&] { WriteBytes(work / kCopiesFolder, "un archivo"); },
#ifndef _WIN32
      [&] { fs::create_directory_symlink(elsewhere.path(), work / kCopiesFolder); },
#endif
  };
  for (const auto& make : makers) {
    fs::remove_all(work / kCopiesFolder);
    make();
    WriteBytes(dir / "b.xml", School("Música"));
    const std::string outcome = Outcome([&] { RunExport(dir / "b.xml", work); });
    EXPECT_EQ(outcome.rfind("'" + platform::PathToUtf8(work / kCopiesFolder) + "' no es una carpeta de Enlazor", 0), 0u)
        << outcome;
    EXPECT_EQ(Tables(work), tables);
    EXPECT_TRUE(fs::is_empty(elsewhere.path()));
  }
}

}  // namespace
}  // namespace enlazor
