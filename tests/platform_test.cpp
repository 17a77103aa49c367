#include "exchange/platform.h"

#include <cstdlib>

#include <gtest/gtest.h>

#include "support.h"

namespace enlazor {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

class WinePrefix {
 public:
  explicit WinePrefix(const fs::path& prefix) {
    const char* old = std::getenv("WINEPREFIX");
    if (old) old_ = old;
    setenv("WINEPREFIX", prefix.c_str(), 1);
  }
  ~WinePrefix() {
    if (old_.empty()) unsetenv("WINEPREFIX");
    else setenv("WINEPREFIX", old_.c_str(), 1);
  }

 private:
  std::string old_;
};

TEST(Platform, MapsWindowsPathsThroughWinesDrives) {
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

TEST(Platform, FindsNamesWithoutRegardToCasePreferringTheExactOne) {
  TempDir dir;
  testing::WriteBytes(dir / "soluc.dbf", "x");
  EXPECT_EQ(platform::FindNoCase(dir.path(), "SOLUC.DBF"), dir / "soluc.dbf");
  testing::WriteBytes(dir / "SOLUC.DBF", "x");
  EXPECT_EQ(platform::FindNoCase(dir.path(), "SOLUC.DBF"), dir / "SOLUC.DBF");
  EXPECT_EQ(platform::FindAllNoCase(dir.path(), "Soluc.Dbf").size(), 2u);
  EXPECT_EQ(platform::FindNoCase(dir.path(), "PROFT.DBF"), dir / "PROFT.DBF");
}

}  // namespace
}  // namespace enlazor
