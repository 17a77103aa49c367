// Helpers shared by the tests: a temporary folder, whole-file reading and
// writing, and small inline Séneca documents.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <algorithm>
#include <vector>

#include "exchange/codec.h"
#include "exchange/table.h"

namespace enlazor::testing {

namespace fs = std::filesystem;

class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "enlazor-test-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
  }
  ~TempDir() {
    std::error_code ec;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
  }
  const fs::path& path() const { return path_; }
  fs::path operator/(const std::string& name) const { return path_ / name; }

 private:
  fs::path path_;
};

// What an action ends with: the failure's message, or kDone.
inline const char* const kDone = "<sin fallo>";
inline std::string Outcome(const std::function<void()>& action) {
  try {
    action();
  } catch (const std::exception& failure) {
    return failure.what();
  }
  return kDone;
}

inline std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

inline void WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

// Every file of a folder with its bytes, sorted by name.
inline std::vector<std::pair<std::string, std::string>> Snapshot(const fs::path& folder) {
  std::vector<std::pair<std::string, std::string>> files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    files.emplace_back(entry.path().filename().string(),
                       entry.is_directory() ? std::string("<carpeta>") : ReadBytes(entry.path()));
  }
  std::sort(files.begin(), files.end());
  return files;
}

// The fields of a timetable solution SOLUC as Horavia leaves them, on a table object about to be created.
inline void DefineSoluc(Table& soluc) {
  for (const char* name : {"PROF", "AULA", "CODGRUPO", "ASIG"}) soluc.AddField({name, FieldType::Text, 4});
  soluc.AddField({"DIA", FieldType::Integer, 0});
  soluc.AddField({"HORA", FieldType::Integer, 0});
}

// A Séneca export whose BLOQUE_DATOS holds the given groups (UTF-8).
inline std::string SenecaDocument(const std::string& groups) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<SERVICIO modulo=\"HORARIOS\" tipo=\"E\"><BLOQUE_DATOS>" + groups +
         "</BLOQUE_DATOS></SERVICIO>\n";
}

// A record group of the given seq, one record per entry, each a list of dato texts.
inline std::string Group(const std::string& seq, const std::vector<std::vector<std::string>>& records) {
  std::string xml = "<grupo_datos seq=\"" + seq + "\">";
  for (const auto& record : records) {
    xml += "<grupo_datos>";
    for (const auto& value : record) xml += "<dato nombre_dato=\"X\">" + value + "</dato>";
    xml += "</grupo_datos>";
  }
  return xml + "</grupo_datos>";
}

}  // namespace enlazor::testing
