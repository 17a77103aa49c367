#include "exchange/set/set_files.h"

#include <algorithm>

#include "exchange/codec.h"
#include "exchange/failure.h"
#include "exchange/platform/platform.h"

namespace enlazor {
namespace {

using platform::PathToUtf8;

std::string ReadSmallFile(const fs::path& path) {
  int error = 0;
  platform::File file = platform::File::OpenForReading(path, error);
  if (!file.IsOpen() && platform::FileExists(path)) {
    throw Failure(Format("No se puede leer el archivo '%s': %s", {PathToUtf8(path), platform::ErrorText(error)}));
  }
  std::string text;
  char piece[4096];
  for (size_t n; file.IsOpen() && text.size() < (1 << 20) && (n = file.Read(piece, sizeof piece, path)) > 0;) {
    text.append(piece, n);
  }
  return text;
}

}  // namespace

const char* MemberExtension(std::string_view member) { return member == kSenecaKept ? ".XML" : ".DBF"; }

std::vector<fs::path> MemberFiles(const fs::path& folder, std::string_view member) {
  const std::string main = std::string(member) + MemberExtension(member), index = std::string(member) + ".MDX";
  std::vector<fs::path> files, indexes;
  for (auto& entry : platform::ListFolder(folder)) {
    const std::string name = PathToUtf8(entry.filename());
    if (SameTextAnsi(name, main))
      files.push_back(std::move(entry));
    else if (member != kSenecaKept && SameTextAnsi(name, index))
      indexes.push_back(std::move(entry));
  }
  std::sort(files.begin(), files.end());
  std::sort(indexes.begin(), indexes.end());
  files.insert(files.end(), indexes.begin(), indexes.end());
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
    std::string line = ValidUtf8(value);
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
    if (colon != std::string_view::npos)
      fields.emplace_back(ValidUtf8(line.substr(0, colon)), ValidUtf8(line.substr(colon + 2)));
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
