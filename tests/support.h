// Helpers shared by the tests: a temporary folder, whole-file reading and
// writing, and small inline Séneca documents.
#pragma once

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "exchange/codec.h"
#include "exchange/dbf/table.h"
#include "exchange/platform/platform.h"

namespace enlazor::testing {

namespace fs = std::filesystem;

class TempDir {
 public:
  TempDir() {
    static std::random_device random;
    for (;;) {
      path_ = fs::temp_directory_path() / ("enlazor-test-" + std::to_string(random()));
      if (fs::create_directory(path_)) break;
    }
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

// From now on the n-th system call of the kind fails, counted afresh; 0 plans none.
inline void FailAt(platform::Call call, long n, platform::Fault fault = platform::Fault::IoError) {
  platform::ResetCallsForTesting();
  if (n > 0) platform::FailCallForTesting(call, n, fault);
}

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

#ifndef _WIN32
// Runs as an ordinary user in a child process, where root would ignore permissions.
inline std::string OutcomeAsOrdinaryUser(const std::function<void()>& run) {
  int channel[2];
  if (pipe(channel) != 0) return "pipe";
  const pid_t child = fork();
  if (child == 0) {
    close(channel[0]);
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(3);
    const std::string outcome = Outcome(run);
    (void)!write(channel[1], outcome.data(), outcome.size());
    _exit(0);
  }
  close(channel[1]);
  std::string outcome;
  char buffer[512];
  for (ssize_t n; (n = read(channel[0], buffer, sizeof buffer)) > 0;) outcome.append(buffer, static_cast<size_t>(n));
  close(channel[0]);
  waitpid(child, nullptr, 0);
  return outcome;
}
#endif

// A copy over whatever is at to (libstdc++'s overwrite_existing fails on Windows).
inline void CopyOver(const fs::path& from, const fs::path& to) {
  fs::remove(to);
  fs::copy_file(from, to);
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

// The files of a folder with their bytes, sorted by name, leaving out its
// folders (the kept copies, the staging folder).
inline std::vector<std::pair<std::string, std::string>> Tables(const fs::path& folder) {
  auto files = Snapshot(folder);
  std::erase_if(files, [](const auto& file) { return file.second == "<carpeta>"; });
  return files;
}

// The fields of a timetable solution SOLUC as Horavia leaves them, on a table object about to be created.
inline void DefineSoluc(Table& soluc) {
  for (const char* name : {"PROF", "AULA", "CODGRUPO", "ASIG"}) soluc.AddField({name, FieldType::Text, 4});
  soluc.AddField({"DIA", FieldType::Integer, 0});
  soluc.AddField({"HORA", FieldType::Integer, 0});
}

// A timetable solution SOLUC in dir, one row per lesson: PROF, DIA, HORA and,
// where given, AULA, CODGRUPO and ASIG.
inline void WriteSoluc(const fs::path& dir, const std::vector<std::vector<std::string>>& lessons) {
  Table soluc(dir, "SOLUC");
  DefineSoluc(soluc);
  soluc.CreateTable();
  soluc.Open();
  for (const auto& lesson : lessons) {
    soluc.Append();
    const char* const fields[] = {"PROF", "DIA", "HORA", "AULA", "CODGRUPO", "ASIG"};
    for (size_t k = 0; k < lesson.size(); ++k) soluc.SetFieldText(fields[k], lesson[k]);
    soluc.Post();
  }
}

// A Séneca export whose BLOQUE_DATOS holds the given groups (UTF-8).
inline std::string SenecaDocument(const std::string& groups) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<SERVICIO modulo=\"HORARIOS\" tipo=\"E\"><BLOQUE_DATOS>" +
         groups + "</BLOQUE_DATOS></SERVICIO>\n";
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
