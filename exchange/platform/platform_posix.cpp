// The platform layer on Linux and other POSIX systems, where Horavia runs
// under Wine.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "exchange/failure.h"
#include "exchange/platform/platform.h"
#include "exchange/platform/platform_internal.h"

namespace enlazor::platform {
namespace {

std::vector<std::string> SplitWindowsPath(std::string_view path) {
  std::vector<std::string> parts;
  std::string current;
  for (const char c : path) {
    if (c == '\\' || c == '/') {
      if (!current.empty()) parts.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) parts.push_back(current);
  return parts;
}

fs::path WineDrive(char letter) {
  const char* prefix = std::getenv("WINEPREFIX");
  const char* home = std::getenv("HOME");
  const fs::path wine = prefix && *prefix ? fs::path(prefix) : fs::path(home ? home : "/") / ".wine";
  const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
  const fs::path device = wine / "dosdevices" / std::string{lower, ':'};
  std::error_code ec;
  if (fs::is_directory(device, ec) || lower != 'c') return device;
  return wine / "drive_c";
}

int Fd(intptr_t handle) { return static_cast<int>(handle); }

size_t FileSize(int fd, const fs::path& name) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) internal::RaiseRead(name, errno);
  if (!S_ISREG(st.st_mode)) internal::RaiseRead(name, ESPIPE);
  return static_cast<size_t>(st.st_size);
}

// Reads up to size bytes from the start; returns how many there were.
size_t ReadInto(int fd, char* data, size_t size, const fs::path& name) {
  if (const int error = internal::Injected(Call::Read)) internal::RaiseRead(name, error);
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pread(fd, data + done, size - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) internal::RaiseRead(name, errno);
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

}  // namespace

namespace internal {

uint64_t CurrentProcessId() { return static_cast<uint64_t>(::getpid()); }

int IsFolderError() { return EISDIR; }

int NotAFile(const fs::path& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode)) return 0;
  return S_ISDIR(st.st_mode) ? EISDIR : ESPIPE;
}
int AccessDeniedError() { return EACCES; }

int FaultError(Fault fault) {
  switch (fault) {
    case Fault::FullDisk:
      return ENOSPC;
    case Fault::AccessDenied:
      return EACCES;
    case Fault::InUse:
      return EBUSY;
    default:
      return EIO;
  }
}

}  // namespace internal

fs::path MapWindowsPath(std::string_view windowsPath) {
  const bool hasDrive =
      windowsPath.size() >= 2 && windowsPath[1] == ':' && std::isalpha(static_cast<unsigned char>(windowsPath[0]));
  if (!hasDrive) return PathFromUtf8(windowsPath);
  fs::path result = WineDrive(windowsPath[0]);
  for (const auto& part : SplitWindowsPath(windowsPath.substr(2))) result = FindNoCase(result, part);
  return result;
}

std::vector<std::string> CommandLine(int argc, char** argv) { return std::vector<std::string>(argv + 1, argv + argc); }

size_t FileNameStart(std::string_view path) {
  const size_t cut = path.find_last_of('/');
  return cut == std::string_view::npos ? 0 : cut + 1;
}

void PrintText(bool toError, std::string_view utf8) {
  std::FILE* stream = toError ? stderr : stdout;
  std::fwrite(utf8.data(), 1, utf8.size(), stream);
  std::fflush(stream);
}

int64_t ModifiedTime(const fs::path& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return 0;
  return static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

bool SameFile(const fs::path& a, const fs::path& b) {
  struct stat x {
  }, y{};
  if (::stat(a.c_str(), &x) == 0 && ::stat(b.c_str(), &y) == 0) return x.st_dev == y.st_dev && x.st_ino == y.st_ino;
  return internal::Normal(a) == internal::Normal(b);
}

bool IsPlainFile(const fs::path& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool PathFits(const fs::path& path) {
  const fs::path full = internal::Normal(path);
  if (full.native().size() >= PATH_MAX) return false;
  for (const auto& part : full) {
    if (part.native().size() > NAME_MAX) return false;
  }
  return true;
}

bool IsPlainFolderBeside(const fs::path& path, const fs::path& other) {
  struct stat mine {
  }, theirs{};
  return ::lstat(path.c_str(), &mine) == 0 && S_ISDIR(mine.st_mode) && ::stat(other.c_str(), &theirs) == 0 &&
         mine.st_dev == theirs.st_dev;
}

int MakeFolder(const fs::path& path) {
  if (const int error = internal::Injected(Call::MakeFolder)) return error;
  if (::mkdir(path.c_str(), 0777) == 0 || errno == EEXIST) return 0;
  return errno;
}

std::string ErrorText(int error) { return internal::ErrnoText(error); }

std::string ErrorText(const std::error_code& code) { return internal::ErrnoText(code.value()); }

int LastError() { return errno; }

// Holds are record locks here, taken after the file is open: opening never fails for them.
bool IsInUseError(int) { return false; }

LocalTime Now() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

File::~File() {
  if (IsOpen()) ::close(Fd(handle_));
}

File::File(File&& other) noexcept : handle_(other.handle_), writable_(other.writable_) { other.handle_ = kNoHandle; }

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    if (IsOpen()) ::close(Fd(handle_));
    handle_ = other.handle_;
    writable_ = other.writable_;
    other.handle_ = kNoHandle;
  }
  return *this;
}

File File::Open(const fs::path& path, int& error, bool forWriting) {
  File file;
  if ((error = internal::Injected(Call::Open)) != 0) return file;
  file.handle_ = forWriting ? ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK) : -1;
  file.writable_ = file.handle_ >= 0;
  if (file.handle_ < 0 && (!forWriting || errno == EACCES || errno == EROFS || errno == EPERM)) {
    file.handle_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  }
  error = file.handle_ < 0 ? errno : 0;
  return file;
}

File File::OpenForReading(const fs::path& path, int& error) {
  File file;
  if ((error = internal::Injected(Call::Open)) != 0) return file;
  file.handle_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  error = file.handle_ < 0 ? errno : 0;
  struct stat st {};
  if (file.IsOpen() && ::fstat(Fd(file.handle_), &st) == 0 && S_ISDIR(st.st_mode)) {
    file = File();
    error = EISDIR;
  }
  return file;
}

File File::CreateNew(const fs::path& path, int& error) {
  File file;
  if ((error = internal::Injected(Call::Create)) != 0) return file;
  file.handle_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  file.writable_ = file.handle_ >= 0;
  error = file.handle_ < 0 ? errno : 0;
  return file;
}

bool File::IsRegular() const {
  struct stat st {};
  return ::fstat(Fd(handle_), &st) == 0 && S_ISREG(st.st_mode);
}

bool File::TryLock(Lock lock) {
  if (lock == Lock::None) return true;
  if (internal::Injected(Call::Lock) != 0) return false;
  // A write hold needs a file open for writing; a read-only table is held for reading.
  struct flock hold {};
  hold.l_type = lock == Lock::Exclusive && writable_ ? F_WRLCK : F_RDLCK;
  hold.l_whence = SEEK_SET;
  while (::fcntl(Fd(handle_), F_OFD_SETLK, &hold) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

size_t File::Read(char* data, size_t size, const fs::path& nameForMessages) {
  if (const int error = internal::Injected(Call::Read)) internal::RaiseRead(nameForMessages, error);
  for (;;) {
    const ssize_t n = ::read(Fd(handle_), data, size);
    if (n >= 0) return static_cast<size_t>(n);
    if (errno != EINTR) internal::RaiseRead(nameForMessages, errno);
  }
}

LargeBlock File::ReadAllLarge(size_t& size, const fs::path& nameForMessages) {
  LargeBlock block(std::max<size_t>(FileSize(Fd(handle_), nameForMessages), 1));
  size = ReadInto(Fd(handle_), block.Data(), block.Size(), nameForMessages);
  return block;
}

void File::ReadAt(void* data, size_t size, uint64_t offset, const fs::path& nameForMessages) const {
  if (const int error = internal::Injected(Call::Read)) internal::RaiseRead(nameForMessages, error);
  auto* bytes = static_cast<char*>(data);
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pread(Fd(handle_), bytes + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) internal::RaiseRead(nameForMessages, n < 0 ? errno : EIO);
    done += static_cast<size_t>(n);
  }
}

void File::WriteAt(const void* data, size_t size, uint64_t offset, const fs::path& nameForMessages) {
  if (const int error = internal::Injected(Call::Write)) internal::RaiseWrite(nameForMessages, error);
  const auto* bytes = static_cast<const unsigned char*>(data);
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pwrite(Fd(handle_), bytes + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) internal::RaiseWrite(nameForMessages, n < 0 ? errno : ENOSPC);
    done += static_cast<size_t>(n);
  }
}

void File::Sync(const fs::path& nameForMessages) {
  if (const int error = internal::Injected(Call::Sync)) internal::RaiseWrite(nameForMessages, error);
  if (::fsync(Fd(handle_)) != 0 && errno != EINVAL) internal::RaiseWrite(nameForMessages, errno);
}

bool File::IsAt(const fs::path& path) const {
  struct stat mine {
  }, there{};
  return ::fstat(Fd(handle_), &mine) == 0 && ::lstat(path.c_str(), &there) == 0 && mine.st_dev == there.st_dev &&
         mine.st_ino == there.st_ino;
}

LargeBlock::LargeBlock(size_t size) : size_(size) {
  void* memory = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) throw std::bad_alloc();
  ::madvise(memory, size, MADV_HUGEPAGE);
  data_ = static_cast<char*>(memory);
}

LargeBlock::~LargeBlock() {
  if (data_) ::munmap(data_, size_);
}

LargeBlock::LargeBlock(LargeBlock&& other) noexcept : data_(other.data_), size_(other.size_) {
  other.data_ = nullptr;
  other.size_ = 0;
}

int MoveReplacing(const fs::path& source, const fs::path& target) {
  if (const int error = internal::Injected(Call::Rename)) return error;
  return ::rename(source.c_str(), target.c_str()) == 0 ? 0 : errno;
}

void SyncFolder(const fs::path& folder) {
  if (internal::Injected(Call::Sync) != 0) return;
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace enlazor::platform
