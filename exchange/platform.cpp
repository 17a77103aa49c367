#include "exchange/platform.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <csignal>

#include "exchange/codec.h"
#include "exchange/failure.h"

namespace enlazor::platform {
namespace {

long g_failAtWrite = 0;

bool SameNameNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto x = static_cast<unsigned char>(a[i]);
    const auto y = static_cast<unsigned char>(b[i]);
    if (std::tolower(x) != std::tolower(y)) return false;
  }
  return true;
}

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

[[noreturn]] void RaiseWrite(const fs::path& path, int error) {
  throw Failure(Format("No se puede escribir el archivo '%s': %s", {path.string(), ErrorText(error)}));
}

}  // namespace

fs::path MapWindowsPath(std::string_view windowsPath) {
#ifdef _WIN32
  return fs::path(windowsPath);
#else
  const bool hasDrive = windowsPath.size() >= 2 && windowsPath[1] == ':' &&
                        std::isalpha(static_cast<unsigned char>(windowsPath[0]));
  if (!hasDrive) return fs::path(windowsPath);
  fs::path result = WineDrive(windowsPath[0]);
  for (const auto& part : SplitWindowsPath(windowsPath.substr(2))) result = FindNoCase(result, part);
  return result;
#endif
}

bool FileExists(const fs::path& path) {
  std::error_code ec;
  const auto status = fs::status(path, ec);
  return !ec && fs::exists(status) && !fs::is_directory(status);
}

void DeleteFileQuietly(const fs::path& path) { ::unlink(path.c_str()); }

std::vector<fs::path> FindAllNoCase(const fs::path& folder, std::string_view name) {
  std::vector<fs::path> found;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (SameNameNoCase(it->path().filename().string(), name)) found.push_back(it->path());
  }
  return found;
}

fs::path FindNoCase(const fs::path& folder, std::string_view name) {
  const fs::path exact = folder / std::string(name);
  std::error_code ec;
  if (fs::exists(fs::symlink_status(exact, ec))) return exact;
  const auto found = FindAllNoCase(folder, name);
  return found.empty() ? exact : found.front();
}

std::string ErrorText(int error) {
  switch (error) {
    case ENOENT: return "no existe el archivo o la carpeta";
    case EACCES:
    case EPERM: return "permiso denegado";
    case ENOSPC: return "no queda espacio en el disco";
    case EROFS: return "el disco es de solo lectura";
    case EISDIR: return "es una carpeta";
    case ENOTDIR: return "una parte de la ruta no es una carpeta";
    case EDQUOT: return "se ha superado la cuota de disco";
    case EIO: return "error de entrada/salida";
    case ENAMETOOLONG: return "el nombre es demasiado largo";
    default: return Format("error del sistema %s", {std::to_string(error)});
  }
}

File::~File() {
  if (fd_ >= 0) ::close(fd_);
}

File::File(File&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

File File::Open(const fs::path& path, int& error) {
  int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0 && (errno == EACCES || errno == EROFS)) fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  error = fd < 0 ? errno : 0;
  return File(fd);
}

File File::Create(const fs::path& path, int& error) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  error = fd < 0 ? errno : 0;
  return File(fd);
}

File File::OpenFolder(const fs::path& path, int& error) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  error = fd < 0 ? errno : 0;
  return File(fd);
}

bool File::TryLock(Lock lock) {
  if (lock == Lock::None) return true;
  const int op = (lock == Lock::Exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB;
  while (::flock(fd_, op) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

namespace {

size_t FileSize(int fd, const fs::path& name) {
  struct stat st{};
  if (::fstat(fd, &st) != 0) {
    throw Failure(Format("No se puede leer el archivo '%s': %s", {name.string(), ErrorText(errno)}));
  }
  return static_cast<size_t>(st.st_size);
}

// Reads up to size bytes from the start; returns how many there were.
size_t ReadInto(int fd, unsigned char* data, size_t size, const fs::path& name) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pread(fd, data + done, size - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw Failure(Format("No se puede leer el archivo '%s': %s", {name.string(), ErrorText(errno)}));
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

}  // namespace

std::string File::ReadAllText(const fs::path& nameForMessages) {
  const size_t size = FileSize(fd_, nameForMessages);
  std::string text;
  text.reserve(size);
  PreferHugePages(text.data(), size);
  text.resize(size);
  text.resize(ReadInto(fd_, reinterpret_cast<unsigned char*>(text.data()), size, nameForMessages));
  return text;
}

LargeBlock File::ReadAllLarge(size_t& size, const fs::path& nameForMessages) {
  LargeBlock block(std::max<size_t>(FileSize(fd_, nameForMessages), 1));
  size = ReadInto(fd_, reinterpret_cast<unsigned char*>(block.Data()), block.Size(), nameForMessages);
  return block;
}

void File::WriteAt(const void* data, size_t size, uint64_t offset, const fs::path& nameForMessages) {
  if (g_failAtWrite > 0 && --g_failAtWrite == 0) RaiseWrite(nameForMessages, ENOSPC);
  const auto* bytes = static_cast<const unsigned char*>(data);
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pwrite(fd_, bytes + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) RaiseWrite(nameForMessages, n < 0 ? errno : ENOSPC);
    done += static_cast<size_t>(n);
  }
}

void File::Sync() { ::fsync(fd_); }

bool File::IsAt(const fs::path& path) const {
  struct stat mine{}, there{};
  return ::fstat(fd_, &mine) == 0 && ::stat(path.c_str(), &there) == 0 && mine.st_dev == there.st_dev &&
         mine.st_ino == there.st_ino;
}

LargeBlock::LargeBlock(size_t size) : size_(size) {
  void* memory = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) throw Failure("Memoria insuficiente");
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

void PreferHugePages(void* data, size_t size) {
  constexpr uintptr_t kHuge = 2 << 20;
  const auto start = (reinterpret_cast<uintptr_t>(data) + kHuge - 1) & ~(kHuge - 1);
  const auto end = (reinterpret_cast<uintptr_t>(data) + size) & ~(kHuge - 1);
  if (end > start) ::madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
}

File TryLockFolder(const fs::path& folder, File::Lock lock) {
  int error = 0;
  File file = File::OpenFolder(folder, error);
  if (file.IsOpen() && !file.TryLock(lock)) return File();
  return file;
}

void WriteFileAtomically(const fs::path& target, std::string_view bytes) {
  WriteFileAtomically(target, [&](const ByteSink& sink) { sink(bytes); });
}

namespace {

// The temporary file beside target that this process writes: named after the
// process, so that one left by a process that was killed can be recognised.
fs::path TemporaryFor(const fs::path& target, pid_t pid) {
  return target.parent_path() / ("." + target.filename().string() + "." + std::to_string(pid) + ".tmp");
}

// Removes the temporary files of target left by processes that no longer run.
void RemoveLeftovers(const fs::path& target) {
  const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
  const std::string prefix = "." + target.filename().string() + ".";
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.rfind(prefix, 0) != 0 || name.size() < prefix.size() + 5 || name.substr(name.size() - 4) != ".tmp") continue;
    const std::string digits = name.substr(prefix.size(), name.size() - prefix.size() - 4);
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) continue;
    const pid_t pid = static_cast<pid_t>(std::stol(digits));
    if (::kill(pid, 0) != 0 && errno == ESRCH) ::unlink(it->path().c_str());
  }
}

}  // namespace

void WriteFileAtomically(const fs::path& target, const std::function<void(const ByteSink&)>& produce) {
  std::error_code ec;
  if (fs::is_directory(target, ec)) RaiseWrite(target, EISDIR);
  RemoveLeftovers(target);
  const fs::path temporary = TemporaryFor(target, ::getpid());
  const mode_t mask = ::umask(0);
  ::umask(mask);
  const int fd = ::open(temporary.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666 & ~mask);
  if (fd < 0) RaiseWrite(target, errno);
  try {
    File file(fd);
    uint64_t offset = 0;
    produce([&](std::string_view bytes) {
      file.WriteAt(bytes.data(), bytes.size(), offset, target);
      offset += bytes.size();
    });
    if (::fsync(fd) != 0) RaiseWrite(target, errno);
    RenameReplace(temporary, target);
  } catch (...) {
    ::unlink(temporary.c_str());
    throw;
  }
  SyncFolder(target.parent_path().empty() ? fs::path(".") : target.parent_path());
}

void RenameReplace(const fs::path& source, const fs::path& target) {
  if (::rename(source.c_str(), target.c_str()) != 0) {
    throw Failure(Format("No se puede sustituir el archivo '%s': %s", {target.string(), ErrorText(errno)}));
  }
}

void SyncFolder(const fs::path& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

void FailNthWriteForTesting(long n) { g_failAtWrite = n; }

}  // namespace enlazor::platform
