// Everything this program asks of the operating system: where the Windows
// work directory lives, file tests, holds between processes and file writes.
// One implementation per system: platform_posix.cpp and platform_windows.cpp.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace enlazor::platform {

namespace fs = std::filesystem;

// Horavia's fixed work directory.
inline constexpr std::string_view kWorkDirectory = "C:\\HTEMP";

// A Windows path as this machine reaches it. On Windows it is used as it is;
// elsewhere Horavia runs under Wine, so "X:\A\B" goes through Wine's drive
// mapping and each component is matched without regard to case.
fs::path MapWindowsPath(std::string_view windowsPath);

// Paths and UTF-8 text: names with ñ, á or € must survive on both systems.
fs::path PathFromUtf8(std::string_view utf8);
std::string PathToUtf8(const fs::path& path);

// Writes UTF-8 text to the standard output (or error): a Windows console shows the accents.
void PrintText(bool toError, std::string_view utf8);
// The program's arguments after its name, in UTF-8: on Windows as the system
// hands them over (in UTF-16, whatever the code page), elsewhere argv itself.
std::vector<std::string> CommandLine(int argc, char** argv);
// Where a file's name starts in a path as the user wrote it: after the last
// separator this system knows ("\", "/" and the drive's ":" on Windows).
size_t FileNameStart(std::string_view path);

// True when something other than a folder exists at the path.
bool FileExists(const fs::path& path);
// Deletes a file (a link itself, never what it points to); the outcome is not looked at.
void DeleteFileQuietly(const fs::path& path);
// The entry of the folder whose name equals name without regard to case; the
// exact name is preferred. When none exists, folder / name.
fs::path FindNoCase(const fs::path& folder, std::string_view name);
// Every entry of the folder whose name equals name without regard to case.
std::vector<fs::path> FindAllNoCase(const fs::path& folder, std::string_view name);
// When the file was last written, in the file system's own precision (std::filesystem
// gives whole seconds on Windows); 0 when it cannot be read.
int64_t ModifiedTime(const fs::path& path);
// True when a file on a disk is at path, links followed: no folder, pipe or device.
bool IsDiskFile(const fs::path& path);
// True when path is a plain file itself: no link, folder, pipe or device.
bool IsPlainFile(const fs::path& path);
// True when the system can reach a file at this path: it is within the
// system's limit on the length of paths and of each name in them.
bool PathFits(const fs::path& path);
// True when path is a real folder (no link) on the same disk as other.
bool IsPlainFolderBeside(const fs::path& path, const fs::path& other);
// True when both paths name one file: the same file on disk when both exist,
// else the same full path (without regard to case where the system has none).
bool SameFile(const fs::path& a, const fs::path& b);
// 0 when a file can be written at target (nothing there yet, or a plain file,
// in a folder that takes new files); else the system's error code.
int CanWriteFile(const fs::path& target);
// True when path lies inside folder, following the links of both.
bool IsInside(const fs::path& path, const fs::path& folder);
// Creates a folder; a system error code on failure, 0 when made or already there.
int MakeFolder(const fs::path& path);
void RemoveEmptyFolder(const fs::path& path);

using ByteSink = std::function<void(std::string_view)>;

// A system error as a short Spanish text: every system error reaches the user
// through here, whether the system or the C++ runtime reported it.
std::string ErrorText(int error);
std::string ErrorText(const std::error_code& code);
// True when the error means another program has the file open in a way that excludes us.
bool IsInUseError(int error);
// The last system error of this thread.
int LastError();

// The local date and time: table headers, the names of kept copies, Séneca's dates.
struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};
LocalTime Now();

// Memory for a large text, in one block the system may back with huge pages:
// a school's tables fill hundreds of megabytes, and touching them page by
// small page costs more than writing them.
class LargeBlock {
 public:
  explicit LargeBlock(size_t size);
  ~LargeBlock();
  LargeBlock(LargeBlock&& other) noexcept;
  LargeBlock& operator=(LargeBlock&&) = delete;
  LargeBlock(const LargeBlock&) = delete;
  LargeBlock& operator=(const LargeBlock&) = delete;
  char* Data() const { return data_; }
  size_t Size() const { return size_; }

 private:
  char* data_ = nullptr;
  size_t size_ = 0;
};

// An open file, closed when the object goes. Holds are record locks over the
// whole file, the kind Horavia's database engine takes, so that Horavia (also
// under Wine) and Enlazor see each other's; they go with the file.
class File {
 public:
  enum class Lock { None, Shared, Exclusive };
  File() = default;
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // For reading; forWriting: for writing too where the file allows it (IsWritable tells).
  static File Open(const fs::path& path, int& error, bool forWriting);
  // For reading only, as a stream: pipes too; a folder is an error.
  static File OpenForReading(const fs::path& path, int& error);
  // A file that did not exist, never through a link.
  static File CreateNew(const fs::path& path, int& error);

  bool IsOpen() const { return handle_ != kNoHandle; }
  bool IsWritable() const { return writable_; }
  bool IsRegular() const;
  // Takes the hold without waiting; false when another program holds a conflicting one.
  bool TryLock(Lock lock);
  // The next bytes of a stream; 0 at its end. A failure raises naming the path.
  size_t Read(char* data, size_t size, const fs::path& nameForMessages);
  // The whole file in a large block; size receives its length.
  LargeBlock ReadAllLarge(size_t& size, const fs::path& nameForMessages);
  // Reads size bytes at offset; a failure or a short file raises naming the path.
  void ReadAt(void* data, size_t size, uint64_t offset, const fs::path& nameForMessages) const;
  // Writes through the write seam; a failure raises naming the path.
  void WriteAt(const void* data, size_t size, uint64_t offset, const fs::path& nameForMessages);
  // Flushes the file to disk; a failure raises naming the path.
  void Sync(const fs::path& nameForMessages);
  // True when the folder entry at path still is this open file.
  bool IsAt(const fs::path& path) const;

 private:
  // The system's handle for the file: a descriptor, or a Windows HANDLE; -1 for none on both.
  static constexpr intptr_t kNoHandle = -1;
  intptr_t handle_ = kNoHandle;
  bool writable_ = false;
};

// Holds a folder against other Enlazor runs for as long as it lives: one
// command at a time builds in the staging folder. The hold is a record lock
// over a file inside the folder, the kind a Linux run, a Windows run and a
// Windows run under Wine all see (Wine takes LockFileEx as a POSIX record lock).
class FolderLock {
 public:
  // The file inside the folder that carries the hold.
  static constexpr const char* kFileName = ".bloqueo";
  // Takes the folder without waiting; a lock that holds nothing when another run has it.
  static FolderLock TryTake(const fs::path& folder, int& error);
  bool Held() const { return file_.IsOpen(); }
  // True while the folder at path is the one held (not removed and made anew meanwhile).
  bool IsAt(const fs::path& folder) const;
  // Lets the folder go and removes it when nothing but the hold's file is left in it.
  void ReleaseAndRemove(const fs::path& folder);

 private:
  File file_;
};

// Writes bytes that produce() hands to its sink a piece at a time into a new
// file beside target, under a name no other program can foresee, then puts it
// in place of target in one step: target is whole and new or as it was.
void WriteFileAtomically(const fs::path& target, const std::function<void(const ByteSink&)>& produce);
void WriteFileAtomically(const fs::path& target, std::string_view bytes);
// Replaces target by source in one step, flushed to disk; raises with a Spanish message.
void RenameReplace(const fs::path& source, const fs::path& target);
// Removes the temporary files of ours that runs cut short left in a folder:
// only those whose writer no longer holds them. Cleaning up: it never fails.
void RemoveAbandonedTemporaries(const fs::path& folder);
// Copies a file's bytes into a new file at target (never over an existing one), flushed to disk.
void CopyToNew(const fs::path& source, const fs::path& target);
// The same, giving the system's error code (0 when done) instead of raising.
int MoveReplacing(const fs::path& source, const fs::path& target);
void SyncFolder(const fs::path& folder);

// The folder's entries, in no particular order. A folder that does not exist
// has none; one that cannot be read raises naming it.
std::vector<fs::path> ListFolder(const fs::path& folder);

// The system calls tests can make fail, one table for every system, as a
// full disk, a refused permission, a failing disk or another program would:
// the n-th call of a kind from now on fails with the chosen fault and, when
// lasting, every call of that kind after it too. A power cut raises
// PowerCutForTesting there, which no run catches, and every later call
// fails until the next reset: nothing is undone or cleaned up, as when a
// process is killed.
enum class Call { Open, Create, Read, Write, Sync, Rename, Remove, MakeFolder, Lock, List };
inline constexpr size_t kCallKinds = 10;
enum class Fault { FullDisk, AccessDenied, IoError, InUse, PowerCut };
struct PowerCutForTesting {};
const char* CallName(Call call);
void FailCallForTesting(Call call, long nth, Fault fault = Fault::IoError, bool lasting = false);
// Forgets every planned fault and starts counting calls afresh.
void ResetCallsForTesting();
// The calls of a kind made since the last reset.
long CallsForTesting(Call call);
// The faults injected since the program started.
long FaultsInjectedForTesting();

}  // namespace enlazor::platform
