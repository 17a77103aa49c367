// Test helper: another program that holds a work table, as Enlazor's store
// does or as Horavia's database engine does, until its standard input ends.
//   hold_table DIR TABLE enlazor-shared|enlazor-exclusive|horavia   prints "listo" once held
//   hold_table DIR TABLE probe     exit 0 when Horavia's exclusive hold could be taken, 1 when not
//   hold_table DIR NAME archivo    holds the file DIR/NAME as Enlazor holds a temporary file it writes
//   hold_table DIR - carpeta       holds DIR as a command holds the staging folder
#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <iostream>
#include <string>

#include "exchange/dbf/table.h"
#include "exchange/platform/platform.h"

namespace {

// Horavia opens a table for itself alone: on Windows with no sharing and a
// lock over the file; under Wine that lock is a POSIX record lock.
bool HoldLikeHoravia(const std::filesystem::path& file) {
#ifdef _WIN32
  const HANDLE handle =
      ::CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  OVERLAPPED whole{};
  return ::LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD, &whole) != 0;
#else
  const int fd = ::open(file.c_str(), O_RDWR);
  struct flock lock {};
  lock.l_type = F_WRLCK;
  return fd >= 0 && ::fcntl(fd, F_SETLK, &lock) == 0;
#endif
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  const std::filesystem::path dir = enlazor::platform::PathFromUtf8(argv[1]);
  const std::string table = argv[2], how = argv[3];
  const std::filesystem::path file = enlazor::platform::FindNoCase(dir, table + ".DBF");
  if (how == "probe") return HoldLikeHoravia(file) ? 0 : 1;
  std::unique_ptr<enlazor::Table> ours;
  enlazor::platform::File held;
  enlazor::platform::FolderLock folder;
  try {
    int error = 0;
    if (how == "archivo") {
      held = enlazor::platform::File::Open(dir / enlazor::platform::PathFromUtf8(table), error, true);
      if (!held.IsOpen() || !held.TryLock(enlazor::platform::File::Lock::Exclusive)) return 1;
    } else if (how == "carpeta") {
      enlazor::platform::MakeFolder(dir);
      folder = enlazor::platform::FolderLock::TryTake(dir, error);
      if (!folder.Held()) return 1;
    } else if (how == "horavia") {
      if (!HoldLikeHoravia(file)) return 1;
    } else {
      ours = std::make_unique<enlazor::Table>(
          dir, table, how == "enlazor-exclusive" ? enlazor::Table::Use::Exclusive : enlazor::Table::Use::Shared);
      ours->Open();
    }
  } catch (const std::exception& failure) {
    std::cerr << failure.what() << "\n";
    return 1;
  }
  std::cout << "listo" << std::endl;
  std::string line;
  std::getline(std::cin, line);
  return 0;
}
