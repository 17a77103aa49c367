#include "exchange/set/copies.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "exchange/dbf/table.h"
#include "exchange/failure.h"
#include "exchange/platform/platform.h"

namespace enlazor {
namespace {

using platform::PathToUtf8;

// "2026-12-09 22:40:12" as a folder name Windows accepts: "2026-12-09 22.40.12".
std::string FolderNameOf(std::string fecha) {
  std::replace(fecha.begin(), fecha.end(), ':', '.');
  fecha.erase(std::remove_if(fecha.begin(), fecha.end(), [](char c) { return c == '/' || c == '\\'; }), fecha.end());
  return fecha.empty() ? "copia" : fecha;
}

// Rows of each table in a copy's folder; a table that cannot be read is left out.
std::vector<TableRows> CountRows(const fs::path& folder) {
  std::vector<TableRows> rows;
  for (const char* table : kWorkTables) {
    if (platform::FindAllNoCase(folder, std::string(table) + ".DBF").empty()) continue;
    try {
      Table kept(folder, table, Table::Use::Shared);
      kept.Open();
      rows.push_back({table, kept.RowCount()});
    } catch (const Failure&) {
    }
  }
  return rows;
}

CopyInfo Describe(const fs::path& folder, const Fields& fields) {
  CopyInfo copy;
  copy.folder = folder;
  copy.name = PathToUtf8(folder.filename());
  copy.fecha = FieldOf(fields, "fecha");
  copy.orden = FieldOf(fields, "orden");
  copy.archivo = FieldOf(fields, "archivo");
  const std::string sequence = FieldOf(fields, "secuencia");
  std::from_chars(sequence.data(), sequence.data() + sequence.size(), copy.secuencia);
  for (const char* table : kWorkTables) {
    const std::string rows = FieldOf(fields, std::string("filas ") + table);
    size_t count = 0;
    if (!rows.empty() && std::from_chars(rows.data(), rows.data() + rows.size(), count).ec == std::errc()) {
      copy.tablas.push_back({table, count});
    }
  }
  if (copy.tablas.empty()) copy.tablas = CountRows(folder);
  return copy;
}

}  // namespace

std::string CopyInfo::When() const {
  // "2026-12-09 22:40:12" -> "09/12/2026 22:40:12"
  if (fecha.size() < 10 || fecha[4] != '-' || fecha[7] != '-') return fecha.empty() ? name : fecha;
  return fecha.substr(8, 2) + "/" + fecha.substr(5, 2) + "/" + fecha.substr(0, 4) + fecha.substr(10);
}

std::string CopyInfo::Before() const {
  if (orden == "restaurar") return "antes de restaurar la copia " + archivo;
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
  auto rows = [this](const char* table) {
    const long count = Rows(table);
    return std::string(table) + ": " +
           (count < 0 ? std::string("no está") : Counted(static_cast<size_t>(count), "fila", "filas"));
  };
  return When() + "  " + Before() + "  " + rows("PROFT") + ", " + rows("ASIGT");
}

std::string Stamp() {
  const platform::LocalTime now = platform::Now();
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", now.year, now.month, now.day, now.hour, now.minute,
                now.second);
  return text;
}

std::string NoCopiesText(const fs::path& workDir) {
  return "No hay copias de tablas anteriores en '" + PathToUtf8(workDir / kCopiesFolder) + "'.";
}

std::vector<CopyInfo> ListCopies(const fs::path& workDir) {
  const fs::path root = workDir / kCopiesFolder;
  CheckFolderIsOurs(root, workDir);
  std::vector<CopyInfo> copies;
  std::error_code ec;
  for (fs::directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
    if (!platform::IsPlainFolderBeside(it->path(), workDir) || !platform::FileExists(it->path() / kDescription))
      continue;
    copies.push_back(Describe(it->path(), ReadFields(it->path() / kDescription)));
  }
  std::sort(copies.begin(), copies.end(), [](const CopyInfo& a, const CopyInfo& b) {
    return a.secuencia != b.secuencia ? a.secuencia > b.secuencia : a.name > b.name;
  });
  return copies;
}

uint64_t NextSequence(const fs::path& workDir) {
  uint64_t last = 0;
  for (const auto& copy : ListCopies(workDir)) last = std::max(last, copy.secuencia);
  return last + 1;
}

fs::path KeepAsCopy(const fs::path& aside, const fs::path& workDir) {
  const fs::path root = workDir / kCopiesFolder;
  CheckFolderIsOurs(root, workDir);
  if (const int error = platform::MakeFolder(root)) {
    throw Failure(Format("No se puede crear la carpeta '%s': %s", {PathToUtf8(root), platform::ErrorText(error)}));
  }
  CheckFolderIsOurs(root, workDir);
  Fields fields = ReadFields(aside / kDescription);
  const std::string name = FolderNameOf(FieldOf(fields, "fecha"));
  fs::path copy = root / name;
  std::error_code ec;
  for (int n = 2; fs::exists(fs::symlink_status(copy, ec)); ++n) copy = root / (name + " (" + std::to_string(n) + ")");
  if (const int error = platform::MoveReplacing(aside, copy)) {
    throw Failure(Format("No se puede guardar la copia '%s': %s", {PathToUtf8(copy), platform::ErrorText(error)}));
  }
  platform::SyncFolder(root);
  // The rows make the description whole; without them the list counts them itself.
  for (const auto& [table, rows] : CountRows(copy)) fields.emplace_back("filas " + table, std::to_string(rows));
  try {
    platform::WriteFileAtomically(copy / kDescription, FieldsText(fields));
  } catch (const Failure&) {
  }
  return copy;
}

void RemoveCopy(const CopyInfo& copy, const fs::path& workDir) {
  if (!platform::IsPlainFolderBeside(copy.folder, workDir)) return;
  for (const char* table : kWorkTables) {
    for (const auto& file : TableFiles(copy.folder, table)) platform::DeleteFileQuietly(file);
  }
  platform::DeleteFileQuietly(copy.folder / kDescription);
  platform::RemoveEmptyFolder(copy.folder);
}

void PruneCopies(const fs::path& workDir) {
  const auto copies = ListCopies(workDir);
  for (size_t k = kKeptCopies; k < copies.size(); ++k) RemoveCopy(copies[k], workDir);
}

}  // namespace enlazor
