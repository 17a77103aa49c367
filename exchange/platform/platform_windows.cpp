// The platform layer on Windows, where Horavia's work directory is C:\HTEMP
// itself. Wide-character calls throughout: names with ñ, á, º or € work.
// Holds are taken as Horavia's database engine takes them: share modes that
// deny writers while a table is read, and LockFileEx over the whole file.
#include <windows.h>

#include <cstdio>
#include <cwctype>

#include "exchange/failure.h"
#include "exchange/platform/platform.h"
#include "exchange/platform/platform_internal.h"

namespace enlazor::platform {
namespace {

HANDLE H(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }
intptr_t Handle(HANDLE handle) { return reinterpret_cast<intptr_t>(handle); }

int Error() { return static_cast<int>(::GetLastError()); }

OVERLAPPED At(uint64_t offset) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return at;
}

// The disk and the file number of a path's own entry (a link is not followed).
bool Identity(const fs::path& path, BY_HANDLE_FILE_INFORMATION& info) {
  const HANDLE handle =
      ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const bool ok = ::GetFileInformationByHandle(handle, &info) != 0;
  ::CloseHandle(handle);
  return ok;
}

bool SameFile(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
  return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
         a.nFileIndexLow == b.nFileIndexLow;
}

std::wstring WideFromUtf8(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int size = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(size), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), size);
  return wide;
}

}  // namespace

namespace internal {

uint64_t CurrentProcessId() { return ::GetCurrentProcessId(); }

int IsFolderError() { return ERROR_DIRECTORY; }

// CON, NUL, COM1 and their kind answer in every folder and with any
// extension; opening them to look is not enough, as CON does not open at all
// for a program without a console.
bool IsDeviceName(const fs::path& path) {
  std::wstring stem = path.filename().wstring();
  stem = stem.substr(0, stem.find(L'.'));
  while (!stem.empty() && stem.back() == L' ') stem.pop_back();
  for (wchar_t& c : stem) c = static_cast<wchar_t>(::towupper(c));
  if (stem == L"CON" || stem == L"PRN" || stem == L"AUX" || stem == L"NUL" || stem == L"CONIN$" || stem == L"CONOUT$")
    return true;
  return stem.size() == 4 && (stem.starts_with(L"COM") || stem.starts_with(L"LPT")) && ::iswdigit(stem[3]);
}

// What answers to a name may be no file on a disk: a device, a pipe, a folder.
int NotAFile(const fs::path& path) {
  if (IsDeviceName(path)) return ERROR_BAD_DEV_TYPE;
  const HANDLE handle = ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return 0;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool disk = ::GetFileType(handle) == FILE_TYPE_DISK;
  const bool folder =
      disk && ::GetFileInformationByHandle(handle, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  ::CloseHandle(handle);
  return !disk ? ERROR_INVALID_FUNCTION : folder ? ERROR_DIRECTORY : 0;
}
int AccessDeniedError() { return ERROR_ACCESS_DENIED; }

int FaultError(Fault fault) {
  switch (fault) {
    case Fault::FullDisk:
      return ERROR_DISK_FULL;
    case Fault::AccessDenied:
      return ERROR_ACCESS_DENIED;
    case Fault::InUse:
      return ERROR_SHARING_VIOLATION;
    default:
      return ERROR_WRITE_FAULT;
  }
}

}  // namespace internal

fs::path MapWindowsPath(std::string_view windowsPath) { return PathFromUtf8(windowsPath); }

void PrintText(bool toError, std::string_view utf8) {
  const HANDLE stream = ::GetStdHandle(toError ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
  DWORD mode = 0, written = 0;
  if (::GetConsoleMode(stream, &mode)) {
    const std::wstring wide = WideFromUtf8(utf8);
    ::WriteConsoleW(stream, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
  } else {
    ::WriteFile(stream, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
  }
}

std::vector<std::string> CommandLine(int, char**) {
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::vector<std::string> args;
  for (int i = 1; wide && i < count; ++i) args.push_back(PathToUtf8(fs::path(wide[i])));
  ::LocalFree(wide);
  return args;
}

size_t FileNameStart(std::string_view path) {
  const size_t cut = path.find_last_of("\\:/");
  return cut == std::string_view::npos ? 0 : cut + 1;
}

int64_t ModifiedTime(const fs::path& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return static_cast<int64_t>(data.ftLastWriteTime.dwHighDateTime) << 32 | data.ftLastWriteTime.dwLowDateTime;
}

bool SameFile(const fs::path& a, const fs::path& b) {
  BY_HANDLE_FILE_INFORMATION x{}, y{};
  if (Identity(a, x) && Identity(b, y)) return SameFile(x, y);
  return internal::SameNameNoCase(PathToUtf8(internal::Normal(a)), PathToUtf8(internal::Normal(b)));
}

bool IsPlainFile(const fs::path& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) &&
         !(attributes & FILE_ATTRIBUTE_REPARSE_POINT) && !internal::IsDeviceName(path);
}

// Without the long-path prefix, which Horavia's engine does not use, a path
// ends before MAX_PATH characters with its terminating NUL.
bool PathFits(const fs::path& path) { return internal::Normal(path).native().size() < MAX_PATH; }

bool IsPlainFolderBeside(const fs::path& path, const fs::path& other) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
      (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    return false;
  }
  BY_HANDLE_FILE_INFORMATION mine{}, theirs{};
  return Identity(path, mine) && Identity(other, theirs) && mine.dwVolumeSerialNumber == theirs.dwVolumeSerialNumber;
}

int MakeFolder(const fs::path& path) {
  if (const int error = internal::Injected(Call::MakeFolder)) return error;
  if (::CreateDirectoryW(path.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS) return 0;
  return Error();
}

bool IsInUseError(int error) { return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION; }

std::string ErrorText(int error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return "no existe el archivo o la carpeta";
    case ERROR_ACCESS_DENIED:
      return "permiso denegado";
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return "está en uso por otro programa";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return "no queda espacio en el disco";
    case ERROR_WRITE_PROTECT:
      return "el disco es de solo lectura";
    case ERROR_WRITE_FAULT:
    case ERROR_READ_FAULT:
      return "error de entrada/salida";
    case ERROR_DIRECTORY:
      return "es una carpeta";
    case ERROR_FILENAME_EXCED_RANGE:
      return "el nombre es demasiado largo";
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return "ya existe un archivo con ese nombre";
    case ERROR_NOT_SAME_DEVICE:
      return "está en otro disco";
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return "memoria insuficiente";
    case ERROR_INVALID_NAME:
      return "el nombre no es válido";
    case ERROR_CANT_RESOLVE_FILENAME:
      return "es un enlace, y Enlazor no sigue enlaces ahí";
    case ERROR_BROKEN_PIPE:
    case ERROR_INVALID_FUNCTION:
    case ERROR_BAD_DEV_TYPE:
      return "no es un archivo normal (una tubería o un dispositivo)";
    default:
      return Format("error del sistema %s", {std::to_string(error)});
  }
}

// The runtime's own errors come as errno values; the system's as its codes.
std::string ErrorText(const std::error_code& code) {
  return code.category() == std::system_category() ? ErrorText(code.value()) : internal::ErrnoText(code.value());
}

int LastError() { return Error(); }

LocalTime Now() {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

File::~File() {
  if (IsOpen()) ::CloseHandle(H(handle_));
}

File::File(File&& other) noexcept : handle_(other.handle_), writable_(other.writable_) { other.handle_ = kNoHandle; }

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    if (IsOpen()) ::CloseHandle(H(handle_));
    handle_ = other.handle_;
    writable_ = other.writable_;
    other.handle_ = kNoHandle;
  }
  return *this;
}

// Other programs may read a table while it is open here, never write it; it
// may be renamed, which is how a set of tables is put in place.
File File::Open(const fs::path& path, int& error, bool forWriting) {
  constexpr DWORD kShare = FILE_SHARE_READ | FILE_SHARE_DELETE;
  File file;
  if ((error = internal::Injected(Call::Open)) != 0) return file;
  if (forWriting) {
    file.handle_ = Handle(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, kShare, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
  }
  file.writable_ = file.IsOpen();
  if (!file.IsOpen() && (!forWriting || ::GetLastError() == ERROR_ACCESS_DENIED)) {
    file.handle_ = Handle(
        ::CreateFileW(path.c_str(), GENERIC_READ, kShare, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  }
  error = file.IsOpen() ? 0 : Error();
  return file;
}

File File::OpenForReading(const fs::path& path, int& error) {
  File file;
  if ((error = internal::Injected(Call::Open)) != 0) return file;
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    error = ERROR_DIRECTORY;
    return file;
  }
  file.handle_ =
      Handle(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  error = file.IsOpen() ? 0 : Error();
  return file;
}

File File::CreateNew(const fs::path& path, int& error) {
  File file;
  if ((error = internal::Injected(Call::Create)) != 0) return file;
  // CREATE_NEW fails on any existing entry, a link included: nothing is followed.
  file.handle_ = Handle(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                      nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  file.writable_ = file.IsOpen();
  error = file.IsOpen() ? 0 : Error();
  return file;
}

bool File::IsRegular() const {
  BY_HANDLE_FILE_INFORMATION info{};
  return ::GetFileType(H(handle_)) == FILE_TYPE_DISK && ::GetFileInformationByHandle(H(handle_), &info) &&
         !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool File::TryLock(Lock lock) {
  if (lock == Lock::None) return true;
  if (internal::Injected(Call::Lock) != 0) return false;
  OVERLAPPED whole = At(0);
  const DWORD flags = LOCKFILE_FAIL_IMMEDIATELY | (lock == Lock::Exclusive && writable_ ? LOCKFILE_EXCLUSIVE_LOCK : 0);
  return ::LockFileEx(H(handle_), flags, 0, MAXDWORD, MAXDWORD, &whole) != 0;
}

size_t File::Read(char* data, size_t size, const fs::path& nameForMessages) {
  if (const int error = internal::Injected(Call::Read)) internal::RaiseRead(nameForMessages, error);
  DWORD got = 0;
  if (::ReadFile(H(handle_), data, static_cast<DWORD>(std::min<size_t>(size, 1 << 30)), &got, nullptr)) return got;
  if (::GetLastError() == ERROR_BROKEN_PIPE || ::GetLastError() == ERROR_HANDLE_EOF) return 0;
  internal::RaiseRead(nameForMessages, Error());
}

void File::ReadAt(void* data, size_t size, uint64_t offset, const fs::path& nameForMessages) const {
  if (const int error = internal::Injected(Call::Read)) internal::RaiseRead(nameForMessages, error);
  auto* bytes = static_cast<char*>(data);
  for (size_t done = 0; done < size;) {
    OVERLAPPED at = At(offset + done);
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(std::min<size_t>(size - done, 1 << 30));
    if (!::ReadFile(H(handle_), bytes + done, want, &got, &at) || got == 0) {
      internal::RaiseRead(nameForMessages, got == 0 ? ERROR_HANDLE_EOF : Error());
    }
    done += got;
  }
}

LargeBlock File::ReadAllLarge(size_t& size, const fs::path& nameForMessages) {
  LARGE_INTEGER length{};
  if (!IsRegular() || !::GetFileSizeEx(H(handle_), &length)) {
    internal::RaiseRead(nameForMessages, ERROR_INVALID_FUNCTION);
  }
  LargeBlock block(std::max<size_t>(static_cast<size_t>(length.QuadPart), 1));
  size = static_cast<size_t>(length.QuadPart);
  if (size > 0) ReadAt(block.Data(), size, 0, nameForMessages);
  return block;
}

void File::WriteAt(const void* data, size_t size, uint64_t offset, const fs::path& nameForMessages) {
  if (const int error = internal::Injected(Call::Write)) internal::RaiseWrite(nameForMessages, error);
  const auto* bytes = static_cast<const char*>(data);
  for (size_t done = 0; done < size;) {
    OVERLAPPED at = At(offset + done);
    DWORD put = 0;
    const DWORD want = static_cast<DWORD>(std::min<size_t>(size - done, 1 << 30));
    if (!::WriteFile(H(handle_), bytes + done, want, &put, &at) || put == 0) {
      internal::RaiseWrite(nameForMessages, put == 0 && ::GetLastError() == 0 ? ERROR_DISK_FULL : Error());
    }
    done += put;
  }
}

void File::Sync(const fs::path& nameForMessages) {
  if (const int error = internal::Injected(Call::Sync)) internal::RaiseWrite(nameForMessages, error);
  if (writable_ && !::FlushFileBuffers(H(handle_))) internal::RaiseWrite(nameForMessages, Error());
}

bool File::IsAt(const fs::path& path) const {
  BY_HANDLE_FILE_INFORMATION mine{}, there{};
  return ::GetFileInformationByHandle(H(handle_), &mine) && Identity(path, there) && SameFile(mine, there);
}

LargeBlock::LargeBlock(size_t size) : size_(size) {
  data_ = static_cast<char*>(::VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  if (!data_) throw std::bad_alloc();
}

LargeBlock::~LargeBlock() {
  if (data_) ::VirtualFree(data_, 0, MEM_RELEASE);
}

LargeBlock::LargeBlock(LargeBlock&& other) noexcept : data_(other.data_), size_(other.size_) {
  other.data_ = nullptr;
  other.size_ = 0;
}

int MoveReplacing(const fs::path& source, const fs::path& target) {
  if (const int error = internal::Injected(Call::Rename)) return error;
  return ::MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ? 0
                                                                                                           : Error();
}

// Moves are written through to the disk as they are made.
void SyncFolder(const fs::path&) { internal::Injected(Call::Sync); }

}  // namespace enlazor::platform
