#include "exchange/platform/platform.h"

#ifndef _WIN32
#include <unistd.h>
#endif

#include <cstdlib>

#include <gtest/gtest.h>

#include "other_program.h"
#include "support.h"

namespace enlazor {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

#ifndef _WIN32
class WinePrefix {
 public:
  explicit WinePrefix(const fs::path& prefix) {
    const char* old = std::getenv("WINEPREFIX");
    if (old) old_ = old;
    setenv("WINEPREFIX", prefix.c_str(), 1);
  }
  ~WinePrefix() {
    if (old_.empty())
      unsetenv("WINEPREFIX");
    else
      setenv("WINEPREFIX", old_.c_str(), 1);
  }

 private:
  std::string old_;
};

// Where a report may be written, checked before a run: never a folder or a
// device (Windows has NUL, CON, COM1... in every folder, with any extension), nor a folder that is not there.
TEST(Platform, OnlyAPlainFileInAFolderThatTakesOneCanBeWritten) {
  TempDir dir;
  testing::WriteBytes(dir / "existe.json", "{}");
  const std::pair<fs::path, bool> cases[] = {
      {dir / "nuevo.json", true},
      {dir / "existe.json", true},
      {dir.path(), false},
      {dir / "no-hay" / "r.json", false},
#ifdef _WIN32
      {"NUL", false},
      {"CON", false},
      {dir / "NUL", false},
      {dir / "con.json", false},
      {dir / "Com1 .txt", false},
      {"CONOUT$", false},
      {dir / "consola.json", true},
#else
      {"/dev/null", false},
#endif
  };
  for (const auto& [path, writable] : cases) EXPECT_EQ(platform::CanWriteFile(path) == 0, writable) << path.string();
  EXPECT_FALSE(fs::exists(dir / "nuevo.json"));  // the check leaves nothing behind
}

TEST(Platform, PosixMapsWindowsPathsThroughWinesDrives) {
  TempDir dir;
  fs::create_directories(dir / "drive_c/HTemp/Sauce");
  WinePrefix prefix(dir.path());
  EXPECT_EQ(platform::MapWindowsPath("C:\\HTEMP"), dir / "drive_c/HTemp");
  EXPECT_EQ(platform::MapWindowsPath("c:\\htemp\\sauce"), dir / "drive_c/HTemp/Sauce");
  EXPECT_EQ(platform::MapWindowsPath("C:\\HTEMP\\nuevo"), dir / "drive_c/HTemp/nuevo");
  EXPECT_EQ(platform::MapWindowsPath("/ya/es/posix"), fs::path("/ya/es/posix"));
  fs::create_directories(dir / "dosdevices");
  fs::create_directory_symlink(dir / "drive_c", dir / "dosdevices/c:");
  fs::create_directories(dir / "discod");
  fs::create_directory_symlink(dir / "discod", dir / "dosdevices/d:");
  EXPECT_EQ(platform::MapWindowsPath("C:\\HTEMP"), dir / "dosdevices/c:/HTemp");
  EXPECT_EQ(platform::MapWindowsPath("D:\\x"), dir / "dosdevices/d:/x");
}
#endif

TEST(Platform, AFolderCountsAsNoFile) {
  TempDir dir;
  testing::WriteBytes(dir / "a.xml", "x");
  fs::create_directory(dir / "b.xml");
  EXPECT_TRUE(platform::FileExists(dir / "a.xml"));
  EXPECT_FALSE(platform::FileExists(dir / "b.xml"));
  EXPECT_FALSE(platform::FileExists(dir / "c.xml"));
  EXPECT_FALSE(platform::FileExists(""));
  platform::DeleteFileQuietly(dir / "c.xml");  // nothing to delete: no failure
}

#ifndef _WIN32
// Windows' own file names are without regard to case: there is nothing to find.
TEST(Platform, PosixFindsNamesWithoutRegardToCasePreferringTheExactOne) {
  TempDir dir;
  testing::WriteBytes(dir / "soluc.dbf", "x");
  EXPECT_EQ(platform::FindNoCase(dir.path(), "SOLUC.DBF"), dir / "soluc.dbf");
  testing::WriteBytes(dir / "SOLUC.DBF", "x");
  EXPECT_EQ(platform::FindNoCase(dir.path(), "SOLUC.DBF"), dir / "SOLUC.DBF");
  EXPECT_EQ(platform::FindAllNoCase(dir.path(), "Soluc.Dbf").size(), 2u);
  EXPECT_EQ(platform::FindNoCase(dir.path(), "PROFT.DBF"), dir / "PROFT.DBF");
}
#endif

TEST(Platform, ANewFileNeverGoesOverAnotherFile) {
  TempDir dir;
  testing::WriteBytes(dir / "objetivo", "no tocar");
  int error = 0;
  EXPECT_FALSE(platform::File::CreateNew(dir / "objetivo", error).IsOpen());
  EXPECT_NE(error, 0);
  EXPECT_EQ(testing::ReadBytes(dir / "objetivo"), "no tocar");
}

#ifndef _WIN32
// Wine has no links to make; Windows' CREATE_NEW fails on them all the same.
TEST(Platform, PosixANewFileNeverGoesThroughALink) {
  TempDir dir;
  testing::WriteBytes(dir / "objetivo", "no tocar");
  fs::create_symlink(dir / "objetivo", dir / "enlace");
  for (const char* name : {"enlace", "objetivo"}) {
    int error = 0;
    EXPECT_FALSE(platform::File::CreateNew(dir / name, error).IsOpen()) << name;
    EXPECT_NE(error, 0);
  }
  EXPECT_EQ(testing::ReadBytes(dir / "objetivo"), "no tocar");
}
#endif

// A name of 250 bytes is legal; the temporary beside it must not make it fail.
TEST(Platform, SavesUnderAnyLegalNameThroughTemporariesNobodyCanForesee) {
  TempDir dir;
  const fs::path target = dir / (std::string(246, 'n') + ".xml");
  platform::WriteFileAtomically(target, "uno");
  platform::WriteFileAtomically(target, "dos");
  EXPECT_EQ(testing::ReadBytes(target), "dos");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

#ifndef _WIN32
// A leftover temporary is removed only when nobody holds it: its writer holds
// it from the start, whatever process number its name carries (a Linux run's
// means nothing to a Wine run, and the reverse).
TEST(Platform, PosixSaveRemovesOnlyTemporariesNobodyHolds) {
  TempDir dir;
  const std::string abandoned = ".enlazor-999999999-0123456789abcdef.tmp";
  const std::string written = ".enlazor-999999998-0123456789abcdef.tmp";  // a live run elsewhere
  const std::string other = ".enlazor-999999999-otro.txt";
  for (const auto& name : {abandoned, written, other}) testing::WriteBytes(dir / name, "medio");
  testing::OtherProgram writer({testing::Helper("hold_table"), platform::PathToUtf8(dir.path()), written, "archivo"});
  ASSERT_EQ(writer.ReadLine(), "listo");
  platform::WriteFileAtomically(dir / "out.xml", "<S/>");
  EXPECT_FALSE(fs::exists(dir / abandoned));
  EXPECT_TRUE(fs::exists(dir / written));
  EXPECT_TRUE(fs::exists(dir / other));
}

TEST(Platform, PosixSaveIntoAReadOnlyFolderFailsAndKeepsTheOldFile) {
  TempDir dir;
  testing::WriteBytes(dir / "out.xml", "antiguo");
  fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read |
                                  fs::perms::others_exec | fs::perms::group_read | fs::perms::group_exec);
  // Root ignores folder permissions: the save runs as an ordinary user then.
  const pid_t child = fork();
  if (child == 0) {
    if (geteuid() == 0 && setuid(65534) != 0) _exit(3);
    const std::string outcome = testing::Outcome([&] { platform::WriteFileAtomically(dir / "out.xml", "nuevo"); });
    _exit(outcome == "No se puede escribir el archivo '" + (dir / "out.xml").string() + "': permiso denegado" ? 0 : 2);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(testing::ReadBytes(dir / "out.xml"), "antiguo");
}
#endif

}  // namespace
}  // namespace enlazor
