// The part of the platform layer that is the same on every system.
#include "exchange/platform/platform.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <memory>
#include <random>

#include "exchange/failure.h"
#include "exchange/platform/platform_internal.h"

namespace enlazor::platform {
namespace {

// The fault planned for each kind of call, and the calls counted since the last reset.
struct Plan {
  long nth = 0;  // 0: none
  Fault fault = Fault::IoError;
  bool lasting = false;
};
std::array<Plan, kCallKinds> g_plans{};
std::array<std::atomic<long>, kCallKinds> g_calls{};
std::atomic<long> g_injected{0};
std::atomic<bool> g_poweredOff{false};  // a power cut happened: nothing more reaches the disk

}  // namespace

namespace internal {

bool SameNameNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto x = static_cast<unsigned char>(a[i]);
    const auto y = static_cast<unsigned char>(b[i]);
    if (std::tolower(x) != std::tolower(y)) return false;
  }
  return true;
}

void RaiseRead(const fs::path& path, int error) {
  throw Failure(Format("No se puede leer el archivo '%s': %s", {PathToUtf8(path), ErrorText(error)}));
}

void RaiseWrite(const fs::path& path, int error) {
  throw Failure(Format("No se puede escribir el archivo '%s': %s", {PathToUtf8(path), ErrorText(error)}));
}

void RaiseReplace(const fs::path& path, int error) {
  throw Failure(Format("No se puede sustituir el archivo '%s': %s", {PathToUtf8(path), ErrorText(error)}));
}

std::string ErrnoText(int error) {
  switch (error) {
    case ENOENT:
      return "no existe el archivo o la carpeta";
    case EACCES:
    case EPERM:
      return "permiso denegado";
    case ENOSPC:
      return "no queda espacio en el disco";
    case EROFS:
      return "el disco es de solo lectura";
    case EISDIR:
      return "es una carpeta";
    case ENOTDIR:
      return "una parte de la ruta no es una carpeta";
    case EIO:
      return "error de entrada/salida";
    case ENAMETOOLONG:
      return "el nombre es demasiado largo";
    case EEXIST:
      return "ya existe un archivo con ese nombre";
    case ESPIPE:
      return "no es un archivo normal (una tubería o un dispositivo)";
    case ELOOP:
      return "es un enlace, y Enlazor no sigue enlaces ahí";
    case ETXTBSY:
    case EBUSY:
      return "está en uso";
    case EMFILE:
    case ENFILE:
      return "hay demasiados archivos abiertos";
    case EFBIG:
      return "el archivo es demasiado grande";
    case ENOMEM:
      return "memoria insuficiente";
    case EXDEV:
      return "está en otro disco";
    case EAGAIN:
      return "está bloqueado por otro programa";
#ifdef EDQUOT
    case EDQUOT:
      return "se ha superado la cuota de disco";
#endif
    default:
      return Format("error del sistema %s", {std::to_string(error)});
  }
}

fs::path Normal(const fs::path& path) {
  std::error_code ec;
  const fs::path full = fs::absolute(path, ec);
  const fs::path normal = fs::weakly_canonical(ec ? path : full, ec);
  return ec ? full.lexically_normal() : normal;
}

}  // namespace internal

namespace {

using internal::SameNameNoCase;

constexpr std::string_view kTemporaryPrefix = ".enlazor-";
constexpr std::string_view kTemporarySuffix = ".tmp";

// A temporary name beside target: the process's number, so that a leftover of
// a killed run can be told, and random digits no other program can foresee.
// Its length does not depend on the target's, so any legal target name works.
fs::path TemporaryName(const fs::path& folder) {
  static std::random_device device;
  const uint64_t random = (static_cast<uint64_t>(device()) << 32) | device();
  char digits[17];
  std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(random));
  return folder / (std::string(kTemporaryPrefix) + std::to_string(internal::CurrentProcessId()) + "-" + digits +
                   std::string(kTemporarySuffix));
}

// The process number in a temporary's name, or 0 when the name is not one of ours.
uint64_t TemporaryOwner(const std::string& name) {
  if (name.rfind(kTemporaryPrefix, 0) != 0 || name.size() < kTemporaryPrefix.size() + kTemporarySuffix.size() + 18 ||
      name.compare(name.size() - kTemporarySuffix.size(), kTemporarySuffix.size(), kTemporarySuffix) != 0) {
    return 0;
  }
  const size_t start = kTemporaryPrefix.size();
  const size_t dash = name.find('-', start);
  if (dash == std::string::npos || dash == start || dash - start > 19) return 0;
  const std::string digits = name.substr(start, dash - start);
  if (digits.find_first_not_of("0123456789") != std::string::npos) return 0;
  return std::stoull(digits);
}

// A file of ours that nobody writes any more: its writer held it from the
// moment it made it, so a hold that can be taken now proves it abandoned. A
// process number would not: a Linux run's means nothing to a Wine run.
bool Abandoned(const fs::path& path, File& file) {
  int error = 0;
  file = File::Open(path, error, true);
  return file.IsOpen() && file.IsWritable() && file.TryLock(File::Lock::Exclusive);
}

}  // namespace

void RemoveAbandonedTemporaries(const fs::path& folder) {
  std::vector<fs::path> entries;
  try {
    entries = ListFolder(folder);
  } catch (const Failure&) {
    return;  // cleaning up is never worth failing for
  }
  for (const auto& entry : entries) {
    if (TemporaryOwner(PathToUtf8(entry.filename())) == 0) continue;
    File leftover;
    if (Abandoned(entry, leftover)) DeleteFileQuietly(entry);
  }
}

namespace {

// A new temporary file, held from the start: while it is, no run takes it for a leftover.
File CreateTemporary(const fs::path& folder, fs::path& name, const fs::path& target) {
  int error = 0;
  for (int attempt = 0; attempt < 16; ++attempt) {
    name = TemporaryName(folder);
    File file = File::CreateNew(name, error);
    if (file.IsOpen() && file.TryLock(File::Lock::Exclusive)) return file;
  }
  internal::RaiseWrite(target, error);
}

}  // namespace

namespace internal {

int Injected(Call call) {
  const size_t kind = static_cast<size_t>(call);
  const long n = ++g_calls[kind];
  if (g_poweredOff) return FaultError(Fault::IoError);
  const Plan& plan = g_plans[kind];
  if (plan.nth == 0 || n < plan.nth || (n > plan.nth && !plan.lasting)) return 0;
  ++g_injected;
  if (plan.fault != Fault::PowerCut) return FaultError(plan.fault);
  g_poweredOff = true;
  throw PowerCutForTesting();
}

}  // namespace internal

fs::path PathFromUtf8(std::string_view utf8) {
  return fs::path(std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

std::string PathToUtf8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

bool FileExists(const fs::path& path) {
  std::error_code ec;
  const auto status = fs::status(path, ec);
  return !ec && fs::exists(status) && !fs::is_directory(status);
}

bool IsDiskFile(const fs::path& path) { return FileExists(path) && internal::NotAFile(path) == 0; }

void DeleteFileQuietly(const fs::path& path) {
  std::error_code ec;
  if (!fs::is_directory(fs::symlink_status(path, ec)) && internal::Injected(Call::Remove) == 0) fs::remove(path, ec);
}

void RemoveEmptyFolder(const fs::path& path) {
  std::error_code ec;
  if (fs::is_directory(fs::symlink_status(path, ec)) && internal::Injected(Call::Remove) == 0) fs::remove(path, ec);
}

std::vector<fs::path> ListFolder(const fs::path& folder) {
  auto raise = [&](const std::string& why) {
    throw Failure(Format("No se puede leer la carpeta '%s': %s", {PathToUtf8(folder), why}));
  };
  if (const int error = internal::Injected(Call::List)) raise(ErrorText(error));
  std::vector<fs::path> entries;
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  if (ec == std::errc::no_such_file_or_directory || ec == std::errc::not_a_directory) return entries;
  for (fs::directory_iterator end; !ec && it != end; it.increment(ec)) entries.push_back(it->path());
  if (ec) raise(ErrorText(ec));
  return entries;
}

std::vector<fs::path> FindAllNoCase(const fs::path& folder, std::string_view name) {
  std::vector<fs::path> found;
  for (auto& entry : ListFolder(folder)) {
    if (SameNameNoCase(PathToUtf8(entry.filename()), name)) found.push_back(std::move(entry));
  }
  return found;
}

fs::path FindNoCase(const fs::path& folder, std::string_view name) {
  const fs::path exact = folder / PathFromUtf8(name);
  std::error_code ec;
  if (fs::exists(fs::symlink_status(exact, ec))) return exact;
  const auto found = FindAllNoCase(folder, name);
  return found.empty() ? exact : found.front();
}

bool IsInside(const fs::path& path, const fs::path& folder) {
  std::error_code ec;
  const fs::path file = fs::weakly_canonical(fs::absolute(path, ec), ec);
  const fs::path base = fs::weakly_canonical(fs::absolute(folder, ec), ec);
  if (ec || base.empty()) return false;
  auto f = file.begin();
  for (auto b = base.begin(); b != base.end(); ++b, ++f) {
    if (f == file.end() || !SameNameNoCase(PathToUtf8(*f), PathToUtf8(*b))) return false;
  }
  return f != file.end();
}

void RenameReplace(const fs::path& source, const fs::path& target) {
  if (const int error = MoveReplacing(source, target)) internal::RaiseReplace(target, error);
}

void WriteFileAtomically(const fs::path& target, std::string_view bytes) {
  WriteFileAtomically(target, [&](const ByteSink& sink) { sink(bytes); });
}

void WriteFileAtomically(const fs::path& target, const std::function<void(const ByteSink&)>& produce) {
  std::error_code ec;
  if (fs::is_directory(target, ec)) internal::RaiseWrite(target, internal::IsFolderError());
  const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
  RemoveAbandonedTemporaries(folder);
  fs::path temporary;
  try {
    File file = CreateTemporary(folder, temporary, target);
    uint64_t offset = 0;
    produce([&](std::string_view bytes) {
      file.WriteAt(bytes.data(), bytes.size(), offset, target);
      offset += bytes.size();
    });
    file.Sync(target);
    file = File();
    RenameReplace(temporary, target);
  } catch (...) {
    if (!temporary.empty()) DeleteFileQuietly(temporary);
    throw;
  }
  SyncFolder(folder);
}

void CopyToNew(const fs::path& source, const fs::path& target) {
  int error = 0;
  File from = File::OpenForReading(source, error);
  if (!from.IsOpen()) internal::RaiseRead(source, error);
  File to = File::CreateNew(target, error);
  if (!to.IsOpen()) internal::RaiseWrite(target, error);
  constexpr size_t kPiece = 256 << 10;
  std::unique_ptr<char[]> buffer(new char[kPiece]);
  uint64_t offset = 0;
  for (size_t n; (n = from.Read(buffer.get(), kPiece, source)) > 0; offset += n)
    to.WriteAt(buffer.get(), n, offset, target);
  to.Sync(target);
}

FolderLock FolderLock::TryTake(const fs::path& folder, int& error) {
  const fs::path path = folder / kFileName;
  FolderLock lock;
  lock.file_ = File::Open(path, error, true);
  if (!lock.file_.IsOpen() && !IsInUseError(error)) lock.file_ = File::CreateNew(path, error);
  if (!lock.file_.IsOpen() && !IsInUseError(error)) lock.file_ = File::Open(path, error, true);  // made meanwhile
  if (!lock.file_.IsOpen()) {
    if (IsInUseError(error)) error = 0;  // another run has it open, and holds it
    return lock;
  }
  error = 0;
  // A hold for reading would let a second run in: the file must take one for writing.
  if (!lock.file_.IsWritable() || !lock.file_.IsRegular()) error = internal::AccessDeniedError();
  if (error != 0 || !lock.file_.TryLock(File::Lock::Exclusive)) lock.file_ = File();
  return lock;
}

bool FolderLock::IsAt(const fs::path& folder) const { return Held() && file_.IsAt(folder / kFileName); }

// The hold's file goes first, while it is held: a run that opened it before
// then finds, once it holds it, that it is no longer the folder's.
void FolderLock::ReleaseAndRemove(const fs::path& folder) {
  if (!Held()) return;
  DeleteFileQuietly(folder / kFileName);
  file_ = File();
  RemoveEmptyFolder(folder);
}

int CanWriteFile(const fs::path& target) {
  if (const int error = internal::NotAFile(target)) return error;
  const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
  const fs::path probe = TemporaryName(folder);
  int error = 0;
  File file = File::CreateNew(probe, error);
  if (!file.IsOpen()) return error;
  file = File();
  DeleteFileQuietly(probe);
  return 0;
}

const char* CallName(Call call) {
  static constexpr const char* kNames[kCallKinds] = {"abrir",     "crear",  "leer",          "escribir", "volcar",
                                                     "renombrar", "borrar", "crear carpeta", "bloquear", "listar"};
  return kNames[static_cast<size_t>(call)];
}

void FailCallForTesting(Call call, long nth, Fault fault, bool lasting) {
  g_plans[static_cast<size_t>(call)] = {nth, fault, lasting};
}

void ResetCallsForTesting() {
  g_plans = {};
  for (auto& calls : g_calls) calls = 0;
  g_poweredOff = false;
}

long CallsForTesting(Call call) { return g_calls[static_cast<size_t>(call)]; }

long FaultsInjectedForTesting() { return g_injected; }

}  // namespace enlazor::platform
