#include "exchange/set/copies.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "exchange/codec.h"
#include "exchange/dates.h"
#include "exchange/dbf/table.h"
#include "exchange/failure.h"
#include "exchange/platform/platform.h"

namespace enlazor {
namespace {

using platform::PathToUtf8;

// More copies than any work folder will see; a description that says more
// was not written by a run, and its copy sorts as the oldest.
constexpr uint64_t kLargestSequence = 1'000'000'000'000'000;

// A copy being removed takes this name first: plainly no copy to a list or a restore.
constexpr std::string_view kBeingRemoved = ".quitando-";

// "2026-12-09 22:40:12" as a folder name Windows accepts: "2026-12-09 22.40.12".
std::string FolderNameOf(std::string fecha) {
  std::replace(fecha.begin(), fecha.end(), ':', '.');
  fecha.erase(std::remove_if(fecha.begin(), fecha.end(), [](char c) { return c == '/' || c == '\\'; }), fecha.end());
  return fecha.empty() ? "copia" : fecha;
}

// What a table of a copy's folder holds: its rows, or what keeps it from
// being restored.
std::string CheckTable(const fs::path& folder, const char* table, std::vector<TableRows>& tablas) {
  const auto files = platform::FindAllNoCase(folder, std::string(table) + ".DBF");
  if (files.size() > 1) {
    return TableTitle(table) + " está dos veces, '" + PathToUtf8(files[0].filename()) + "' y '" +
           PathToUtf8(files[1].filename()) + "'";
  }
  if (platform::FindAllNoCase(folder, std::string(table) + ".MDX").size() > 1) {
    return "el índice de " + TableTitle(table) + " está dos veces";
  }
  if (!platform::IsPlainFile(files[0])) return TableTitle(table) + " no es un archivo normal";
  if (!platform::PathFits(files[0])) return "la ruta de " + TableTitle(table) + " es demasiado larga para el sistema";
  try {
    tablas.push_back({table, CountRows(files[0])});
  } catch (const Failure& failure) {
    return TableTitle(table) + " no se puede leer (" + failure.what() + ")";
  }
  return {};
}

// What the copy's folder holds, and whether it makes a whole set.
void CheckTables(CopyInfo& copy) {
  std::vector<std::string> missing, problems;
  for (const char* table : kWorkTables) {
    if (platform::FindAllNoCase(copy.folder, std::string(table) + ".DBF").empty()) {
      missing.push_back(TableTitle(table));
      continue;
    }
    if (std::string problem = CheckTable(copy.folder, table, copy.tablas); !problem.empty())
      problems.push_back(std::move(problem));
  }
  if (!missing.empty())
    problems.insert(problems.begin(), (missing.size() == 1 ? "falta " : "faltan ") + Enumerated(missing));
  for (const auto& problem : problems) copy.falta += (copy.falta.empty() ? "" : "; ") + problem;
}

// A copy as its folder and its description give it.
CopyInfo Describe(const fs::path& folder) {
  CopyInfo copy;
  copy.folder = folder;
  copy.name = ValidUtf8(PathToUtf8(folder.filename()));
  try {
    const Fields fields = ReadFields(folder / kDescription);
    copy.fecha = FieldOf(fields, "fecha");
    copy.orden = FieldOf(fields, "orden");
    copy.archivo = FieldOf(fields, "archivo");
    const std::string sequence = FieldOf(fields, "secuencia");
    std::from_chars(sequence.data(), sequence.data() + sequence.size(), copy.secuencia);
    if (copy.secuencia > kLargestSequence) copy.secuencia = 0;  // no run made it: the order is unknown
  } catch (const Failure& failure) {
    copy.falta = "no se puede leer (" + std::string(failure.what()) + ")";
  }
  return copy;
}

// A copy's folder name in the order copies were made: its date, then the
// number FreeName added, compared as a number ("... (10)" after "... (9)").
std::pair<std::string, unsigned long> NameOrder(const std::string& name) {
  const size_t open = name.rfind(" (");
  if (open == std::string::npos || name.back() != ')') return {name, 1};
  unsigned long n = 0;
  const auto [end, ec] = std::from_chars(name.data() + open + 2, name.data() + name.size() - 1, n);
  if (ec != std::errc() || end != name.data() + name.size() - 1) return {name, 1};
  return {name.substr(0, open), n};
}

// The folder name under root that nothing has yet: name, "name (2)", ...
fs::path FreeName(const fs::path& root, const std::string& name) {
  fs::path copy = root / name;
  std::error_code ec;
  for (int n = 2; fs::exists(fs::symlink_status(copy, ec)); ++n) copy = root / (name + " (" + std::to_string(n) + ")");
  return copy;
}

// True when every file a set may hold is reachable inside the folder.
bool SetFits(const fs::path& folder) {
  for (const char* member : kSetMembers) {
    if (!platform::PathFits(folder / (std::string(member) + MemberExtension(member)))) return false;
  }
  return platform::PathFits(folder / kDescription);
}

// Empties a copy's folder of what a copy holds, the description first, and removes it.
void EmptyAndRemove(const fs::path& folder) {
  platform::DeleteFileQuietly(folder / kDescription);
  for (const char* member : kSetMembers) {
    for (const auto& file : MemberFiles(folder, member)) platform::DeleteFileQuietly(file);
  }
  platform::RemoveAbandonedTemporaries(folder);
  platform::RemoveEmptyFolder(folder);
}

}  // namespace

std::string CopyInfo::When() const { return fecha.empty() ? name : SenecaFormOf(fecha); }

std::string CopyInfo::Before() const {
  if (orden == "restaurar") return "antes de volver a poner las tablas " + archivo;
  const std::string file = PathToUtf8(platform::PathFromUtf8(archivo).filename());
  return "antes de exportar " + (file.empty() ? std::string("un archivo de Séneca") : file);
}

long CopyInfo::Rows(std::string_view table) const {
  for (const auto& kept : tablas) {
    if (kept.tabla == table) return static_cast<long>(kept.filas);
  }
  return -1;
}

std::string CopyInfo::Line() const {
  if (!Whole()) return When() + "  " + Before() + "  incompleta: " + falta;
  auto rows = [this](const char* table) {
    return TableTitle(table) + ": " + Counted(static_cast<size_t>(Rows(table)), "fila", "filas");
  };
  return When() + "  " + Before() + "  " + rows("PROFT") + ", " + rows("ASIGT");
}

std::string CopiesJson(const fs::path& workDir, const std::vector<CopyInfo>& copies) {
  std::string out = "{\n  \"orden\": \"copias\",\n  \"carpeta\": " + JsonString(PathToUtf8(workDir / kCopiesFolder)) +
                    ",\n  \"copias\": [";
  for (size_t k = 0; k < copies.size(); ++k) {
    const CopyInfo& copy = copies[k];
    out += std::string(k ? "," : "") + "\n    {\"numero\": " + std::to_string(k + 1) +
           ", \"fecha\": " + JsonString(copy.fecha) + ", \"orden\": " + JsonString(copy.orden) +
           ", \"archivo\": " + JsonString(copy.archivo) + ", \"carpeta\": " + JsonString(PathToUtf8(copy.folder)) +
           ", \"completa\": " + (copy.Whole() ? "true" : "false") +
           ", \"falta\": " + (copy.Whole() ? std::string("null") : JsonString(copy.falta)) +
           ", \"tablas\": " + TablesJson(copy.tablas) + "}";
  }
  return out + (copies.empty() ? "]\n}\n" : "\n  ]\n}\n");
}

std::string Stamp() { return SortableDateTime(platform::Now()); }

std::string NoCopiesText(const fs::path& workDir) {
  return "No hay copias de tablas anteriores en '" + PathToUtf8(workDir / kCopiesFolder) + "'.";
}

std::vector<CopyInfo> ListCopies(const fs::path& workDir) {
  std::vector<CopyInfo> copies = ListCopiesUnread(workDir);
  for (CopyInfo& copy : copies) CheckCopy(copy);
  return copies;
}

std::vector<CopyInfo> ListCopiesUnread(const fs::path& workDir) {
  const fs::path root = workDir / kCopiesFolder;
  CheckFolderIsOurs(root, workDir);
  std::vector<CopyInfo> copies;
  for (const auto& entry : platform::ListFolder(root)) {
    if (PathToUtf8(entry.filename()).rfind(kBeingRemoved, 0) == 0) continue;
    if (!platform::IsPlainFolderBeside(entry, workDir) || !platform::FileExists(entry / kDescription)) continue;
    copies.push_back(Describe(entry));
  }
  std::sort(copies.begin(), copies.end(), [](const CopyInfo& a, const CopyInfo& b) {
    return a.secuencia != b.secuencia ? a.secuencia > b.secuencia : NameOrder(a.name) > NameOrder(b.name);
  });
  return copies;
}

void CheckCopy(CopyInfo& copy) {
  if (!copy.Whole()) return;  // its description could not be read
  try {
    CheckTables(copy);
  } catch (const Failure& failure) {
    copy.falta = "no se puede leer (" + std::string(failure.what()) + ")";
  }
}

uint64_t NextSequence(const fs::path& workDir) {
  uint64_t last = 0;
  for (const auto& copy : ListCopiesUnread(workDir)) last = std::max(last, copy.secuencia);
  return last + 1;
}

fs::path KeepAsCopy(const fs::path& aside, const fs::path& workDir) {
  const fs::path root = workDir / kCopiesFolder;
  CheckFolderIsOurs(root, workDir);
  if (const int error = platform::MakeFolder(root)) {
    throw Failure(Format("No se puede crear la carpeta '%s': %s", {PathToUtf8(root), platform::ErrorText(error)}));
  }
  CheckFolderIsOurs(root, workDir);
  const Fields fields = ReadFields(aside / kDescription);
  fs::path copy = FreeName(root, FolderNameOf(FieldOf(fields, "fecha")));
  if (!SetFits(copy)) copy = FreeName(root, FieldOf(fields, "secuencia").substr(0, 20));
  if (!SetFits(copy)) {
    throw Failure(
        Format("No se puede guardar la copia en '%s': la ruta de sus tablas sería demasiado larga para el "
               "sistema. Use una carpeta de trabajo de ruta más corta",
               {PathToUtf8(root)}));
  }
  if (const int error = platform::MoveReplacing(aside, copy)) {
    throw Failure(Format("No se puede guardar la copia '%s': %s", {PathToUtf8(copy), platform::ErrorText(error)}));
  }
  platform::SyncFolder(root);
  return copy;
}

void RemoveCopy(const CopyInfo& copy, const fs::path& workDir) {
  try {
    if (!platform::IsPlainFolderBeside(copy.folder, workDir)) return;
    const fs::path going =
        copy.folder.parent_path() / (std::string(kBeingRemoved) + PathToUtf8(copy.folder.filename()));
    EmptyAndRemove(platform::MoveReplacing(copy.folder, going) == 0 ? going : copy.folder);
  } catch (const Failure&) {
    // What is left is removed by the next pruning.
  }
}

void PruneCopies(const fs::path& workDir) {
  try {
    const auto copies = ListCopiesUnread(workDir);
    for (size_t k = kKeptCopies; k < copies.size(); ++k) RemoveCopy(copies[k], workDir);
    for (const auto& entry : platform::ListFolder(workDir / kCopiesFolder)) {
      if (PathToUtf8(entry.filename()).rfind(kBeingRemoved, 0) == 0 && platform::IsPlainFolderBeside(entry, workDir))
        EmptyAndRemove(entry);
    }
  } catch (const Failure&) {
    // Pruning again at the next command.
  }
}

void CheckCopiesCanBeMade(const fs::path& workDir, const char* command) {
  const fs::path root = workDir / kCopiesFolder;
  CheckFolderIsOurs(root, workDir);
  int error = platform::MakeFolder(root);
  if (error == 0) error = platform::CanWriteFile(root / kDescription);
  if (error == 0) return;
  throw Refusal(
      Format("No se puede %s: las tablas de trabajo actuales no se podrían guardar como copia en '%s' (%s), y la "
             "orden no se podría deshacer. Resuelva eso y repita la orden; las tablas de trabajo no han cambiado.",
             {command, PathToUtf8(root), platform::ErrorText(error)}));
}

}  // namespace enlazor
