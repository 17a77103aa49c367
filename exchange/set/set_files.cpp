#include "exchange/set/set_files.h"

#include <algorithm>

#include "exchange/failure.h"
#include "exchange/platform/platform.h"

namespace enlazor {
namespace {

using platform::PathToUtf8;

std::string ReadSmallFile(const fs::path& path) {
  int error = 0;
  platform::File file = platform::File::OpenForReading(path, error);
  std::string text;
  char piece[4096];
  for (size_t n; file.IsOpen() && text.size() < (1 << 20) && (n = file.Read(piece, sizeof piece, path)) > 0;) {
    text.append(piece, n);
  }
  return text;
}

}  // namespace

std::vector<fs::path> TableFiles(const fs::path& folder, const char* table) {
  auto files = platform::FindAllNoCase(folder, std::string(table) + ".DBF");
  for (auto& index : platform::FindAllNoCase(folder, std::string(table) + ".MDX")) files.push_back(std::move(index));
  return files;
}

void CheckFolderIsOurs(const fs::path& folder, const fs::path& work) {
  std::error_code ec;
  if (!fs::exists(fs::symlink_status(folder, ec)) || platform::IsPlainFolderBeside(folder, work)) return;
  throw Failure(
      Format("'%s' no es una carpeta de Enlazor: es un archivo o un enlace, o está en otro disco. "
             "Cámbiele el nombre o quítela de la carpeta de trabajo y repita la orden",
             {PathToUtf8(folder)}));
}

std::string FieldsText(const Fields& fields) {
  std::string text = "Tablas de trabajo de Horavia que sustituyó Enlazor\n";
  for (const auto& [key, value] : fields) {
    std::string line = value;
    std::replace(line.begin(), line.end(), '\n', ' ');
    text += key + ": " + line + "\n";
  }
  return text;
}

Fields ParseFields(std::string_view text) {
  Fields fields;
  for (size_t at = 0; at < text.size();) {
    const size_t end = std::min(text.find('\n', at), text.size());
    std::string_view line = text.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const size_t colon = line.find(": ");
    if (colon != std::string_view::npos) fields.emplace_back(line.substr(0, colon), line.substr(colon + 2));
    at = end + 1;
  }
  return fields;
}

Fields ReadFields(const fs::path& path) { return ParseFields(ReadSmallFile(path)); }

std::string FieldOf(const Fields& fields, std::string_view key) {
  for (const auto& [name, value] : fields) {
    if (name == key) return value;
  }
  return {};
}

}  // namespace enlazor
