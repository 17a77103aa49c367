// Everything this program asks of the operating system: where the Windows
// work directory lives, file tests, locks between processes and file writes.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace enlazor::platform {

namespace fs = std::filesystem;

// Horavia's fixed work directory.
inline constexpr std::string_view kWorkDirectory = "C:\\HTEMP";

// A Windows path as this machine reaches it. On Windows it is used as it is;
// elsewhere Horavia runs under Wine, so "X:\A\B" goes through Wine's drive
// mapping and each component is matched without regard to case.
fs::path MapWindowsPath(std::string_view windowsPath);

// True when something other than a folder exists at the path.
bool FileExists(const fs::path& path);
// Deletes a file; the outcome is not looked at.
void DeleteFileQuietly(const fs::path& path);
// The entry of the folder whose name equals name without regard to case; the
// exact name is preferred. When none exists, folder / name.
fs::path FindNoCase(const fs::path& folder, std::string_view name);
// Every entry of the folder whose name equals name without regard to case.
std::vector<fs::path> FindAllNoCase(const fs::path& folder, std::string_view name);

using ByteSink = std::function<void(std::string_view)>;

// A system error as a short Spanish text.
std::string ErrorText(int error);

// Memory for a large text, in one block the system may back with huge pages:
// a school's timetables fill hundreds of megabytes, and touching them page by
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

// An open file, closed when the object goes. Locks are advisory locks between
// processes, released with the file.
class File {
 public:
  enum class Lock { None, Shared, Exclusive };
  File() = default;
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Opens for reading, and for writing where the file allows it; -1 error code on failure.
  static File Open(const fs::path& path, int& error);
  static File Create(const fs::path& path, int& error);
  static File OpenFolder(const fs::path& path, int& error);

  bool IsOpen() const { return fd_ >= 0; }
  // Takes the lock without waiting; false when another process holds a conflicting one.
  bool TryLock(Lock lock);
  // The whole file as a string, backed by huge pages where it is large.
  std::string ReadAllText(const fs::path& nameForMessages);
  // The whole file in a large block; size receives its length.
  LargeBlock ReadAllLarge(size_t& size, const fs::path& nameForMessages);
  // Writes through the write seam; a failure raises naming the path.
  void WriteAt(const void* data, size_t size, uint64_t offset, const fs::path& nameForMessages);
  void Sync();
  // True when the folder entry at path still is this open file.
  bool IsAt(const fs::path& path) const;

 private:
  explicit File(int fd) : fd_(fd) {}
  friend void WriteFileAtomically(const fs::path&, const std::function<void(const ByteSink&)>&);
  int fd_ = -1;
};

// Asks the system to back a large buffer, not yet touched, with huge pages.
void PreferHugePages(void* data, size_t size);

// Holds a lock on a folder for as long as the returned file lives; a closed
// file when another process holds a conflicting lock. The export holds the
// work directory exclusively while it moves its tables into place, the import
// shares it while it takes its tables, so neither sees half of the other.
File TryLockFolder(const fs::path& folder, File::Lock lock);

// Writes the bytes to a new file beside target, then renames it over the
// target: the target is either whole and new or as it was before.
void WriteFileAtomically(const fs::path& target, std::string_view bytes);
// The same for bytes that produce() hands to its sink a piece at a time.
void WriteFileAtomically(const fs::path& target, const std::function<void(const ByteSink&)>& produce);
// Replaces target by source in one step; raises with a Spanish message.
void RenameReplace(const fs::path& source, const fs::path& target);
void SyncFolder(const fs::path& folder);

// The test seam for failing writes: the n-th write from now on fails as a full
// disk would (0 turns it off).
void FailNthWriteForTesting(long n);

}  // namespace enlazor::platform
