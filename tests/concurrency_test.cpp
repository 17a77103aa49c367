// Two processes on one work directory never interleave: the second fails at
// once naming what is in use, and neither damages a table or an output.
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <thread>

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
using testing::Snapshot;
using testing::TempDir;
using testing::WriteBytes;

using testing::kDone;
using testing::Outcome;

// Another program: work() runs in a child process; Wait() gives its exit status.
class OtherProcess {
 public:
  explicit OtherProcess(const std::function<int()>& work) {
    pid_ = fork();
    if (pid_ == 0) _exit(work());
  }
  ~OtherProcess() { Wait(); }
  int Wait() {
    if (pid_ > 0) {
      waitpid(pid_, &status_, 0);
      pid_ = 0;
    }
    return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
  }

 private:
  pid_t pid_ = 0;
  int status_ = 0;
};

bool WaitFor(const std::function<bool()>& condition) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < deadline) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return false;
}

// True while another process holds the table: a shared lock is refused.
bool InUse(const fs::path& dir, const char* table) {
  int error = 0;
  auto file = platform::File::Open(dir / (std::string(table) + ".DBF"), error, false);
  return error == 0 && !file.TryLock(platform::File::Lock::Shared);
}

std::string School(int teachers) {
  std::vector<std::vector<std::string>> people;
  for (int i = 0; i < teachers; ++i) {
    const auto letter = [&](int k) { return std::string(1, static_cast<char>('A' + k % 26)); };
    people.push_back({std::to_string(5030000 + i), "01/09/2010", "P", letter(i / 26) + "pellido",
                      letter(i / 676) + "tro", letter(i) + "ombre"});
  }
  return testing::SenecaDocument(
      testing::Group("MATERIAS", {{"1", "2", "Lengua"}}) + testing::Group("EMPLEADOS", people) +
      testing::Group("DEPENDENCIAS", {{"A1", "Aula"}}) + testing::Group("UNIDADES", {{"U1", "1º ESO A"}}) +
      testing::Group("TRAMOS_HORARIOS", {{"T1", "1", "0800", "0900"}, {"T2", "2", "0900", "1000"}}));
}

class Concurrency : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(work);
    WriteBytes(dir / "small.xml", School(3));
    WriteBytes(dir / "big.xml", School(60000));
    WriteBytes(dir / "base.xml", "<SERVICIO><BLOQUE_DATOS/></SERVICIO>");
    WriteBytes(dir / "a.xml", "a");
    WriteBytes(dir / "b.xml", "b");
  }
  // A timetable for every teacher of the last export: enough lessons for an import to take a while.
  void Timetable(int lessonsPerTeacher) {
    Table proft(work, "PROFT");
    proft.Open();
    Table soluc(work, "SOLUC");
    testing::DefineSoluc(soluc);
    soluc.CreateTable();
    soluc.Open();
    for (proft.First(); !proft.Eof(); proft.Next()) {
      for (int k = 0; k < lessonsPerTeacher; ++k) {
        soluc.Append();
        soluc.SetFieldText("PROF", proft.FieldText("ABREV"));
        soluc.SetFieldText("DIA", std::to_string(k % 5 + 1));
        soluc.SetFieldText("HORA", std::to_string(k % 2 + 1));
        soluc.SetFieldText("AULA", "A1");
        soluc.Post();
      }
    }
  }
  bool OutputIsWhole(const char* name) {
    const std::string bytes = testing::ReadBytes(dir / name);
    return bytes.rfind("<?xml", 0) == 0 && bytes.size() > 20 && bytes.substr(bytes.size() - 12) == "</SERVICIO>\n";
  }

  TempDir dir;
  fs::path work = dir / "HTEMP";
};

TEST_F(Concurrency, ASecondExportFailsAtOnceWhileTheFirstRuns) {
  RunExport(dir / "small.xml", work);
  const std::string busy = "Otra orden de Enlazor (una exportación) está en curso en la carpeta de trabajo '" +
                           work.string() + "'. Espere a que termine y repita la orden.";
  std::string outcome;
  // A loaded machine may let the first run end before the second starts: then try again.
  for (int attempt = 0; attempt < 5 && outcome != busy; ++attempt) {
    OtherProcess first([&] { return Outcome([&] { RunExport(dir / "big.xml", work); }) == kDone ? 0 : 1; });
    ASSERT_TRUE(WaitFor([&] {  // the first run holds its staging folder
      int error = 0;
      return fs::exists(work / kStagingFolder / ".orden") &&
             !platform::FolderLock::TryTake(work / kStagingFolder, error).Held() && error == 0;
    }));
    outcome = Outcome([&] { RunExport(dir / "small.xml", work); });
    EXPECT_TRUE(outcome == busy || outcome == kDone) << outcome;
    EXPECT_EQ(first.Wait(), 0);
  }
  EXPECT_EQ(outcome, busy);
  Table proft(work, "PROFT");
  proft.Open();
  EXPECT_EQ(proft.RowCount(), 60000u);  // the first run's complete set
  EXPECT_FALSE(fs::exists(work / kStagingFolder));
}

TEST_F(Concurrency, AnExportCannotReplaceTablesAnImportIsReading) {
  RunExport(dir / "big.xml", work);
  Timetable(4);
  const auto before = Snapshot(work);
  OtherProcess import(
      [&] { return Outcome([&] { RunImport(dir / "a.xml", work, dir / "base.xml"); }) == kDone ? 0 : 1; });
  ASSERT_TRUE(WaitFor([&] { return InUse(work, "SOLUC"); }));
  const std::string outcome = Outcome([&] { RunExport(dir / "small.xml", work); });
  // Caught on the school year the import holds until it has its tables, or on the first of those.
  EXPECT_TRUE(outcome == "La tabla '" + (work / "CURSOACAD.DBF").string() +
                             "' está en uso por otro programa: cierre Horavia y repita la orden" ||
              outcome == "La tabla '" + (work / "ASIGNOMT.DBF").string() +
                             "' está en uso por otro programa: cierre Horavia y repita la orden")
      << outcome;
  EXPECT_EQ(import.Wait(), 0);
  EXPECT_EQ(Snapshot(work), before);
  EXPECT_TRUE(OutputIsWhole("ResultadoTempraa.xml"));
}

TEST_F(Concurrency, ASecondImportFailsWhileTheFirstHoldsTheTables) {
  RunExport(dir / "big.xml", work);
  Timetable(4);
  OtherProcess first(
      [&] { return Outcome([&] { RunImport(dir / "a.xml", work, dir / "base.xml"); }) == kDone ? 0 : 1; });
  ASSERT_TRUE(WaitFor([&] { return InUse(work, "SOLUC"); }));
  EXPECT_EQ(Outcome([&] { RunImport(dir / "b.xml", work, dir / "base.xml"); }),
            "La tabla '" + (work / "SOLUC.DBF").string() +
                "' está en uso por otro programa: cierre Horavia y repita la orden");
  EXPECT_EQ(first.Wait(), 0);
  EXPECT_TRUE(OutputIsWhole("ResultadoTempraa.xml"));
  EXPECT_FALSE(fs::exists(dir / "ResultadoTemprab.xml"));
}

TEST_F(Concurrency, AnImportWaitsForNobodyWhileAnotherProgramHoldsSoluc) {
  RunExport(dir / "small.xml", work);
  Timetable(2);
  int release[2];
  ASSERT_EQ(pipe(release), 0);
  OtherProcess horavia([&] {
    Table soluc(work, "SOLUC", Table::Use::Exclusive);
    soluc.Open();
    char c;
    return read(release[0], &c, 1) == 1 ? 0 : 1;
  });
  ASSERT_TRUE(WaitFor([&] { return InUse(work, "SOLUC"); }));
  EXPECT_EQ(Outcome([&] { RunImport(dir / "a.xml", work, dir / "base.xml"); }),
            "La tabla '" + (work / "SOLUC.DBF").string() +
                "' está en uso por otro programa: cierre Horavia y repita la orden");
  EXPECT_FALSE(fs::exists(dir / "ResultadoTempraa.xml"));
  ASSERT_EQ(write(release[1], "x", 1), 1);
  EXPECT_EQ(horavia.Wait(), 0);
  EXPECT_EQ(Outcome([&] { RunImport(dir / "a.xml", work, dir / "base.xml"); }), kDone);
  EXPECT_TRUE(OutputIsWhole("ResultadoTempraa.xml"));
}

}  // namespace
}  // namespace enlazor
