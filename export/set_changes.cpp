#include "export/set_changes.h"

#include <algorithm>
#include <functional>
#include <optional>

#include "exchange/codec.h"
#include "exchange/dbf/table.h"
#include "exchange/failure.h"
#include "exchange/platform/platform.h"
#include "exchange/set/seneca_kept.h"

namespace enlazor {
namespace {

namespace fs = std::filesystem;

// How many of the added or gone are named; the rest are counted.
constexpr size_t kNamed = 3;

std::optional<SenecaKept> KeptIn(const fs::path& folder) {
  try {
    const fs::path file = SenecaKeptIn(folder);
    if (platform::FileExists(file)) return ReadSenecaKept(file);
  } catch (const std::exception&) {
  }
  return std::nullopt;
}

// One kind of thing of a set: its rows' identifiers, hashed (a large school
// has many), and a way to name a row.
struct Kind {
  const char* que;    // "profesores": the report's name
  const char* table;  // PROFT
  std::function<std::string(RowReader&)> key, name;
};

uint64_t Hash(const std::string& text) {
  uint64_t hash = 1469598103934665603ull;
  for (const char c : text) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  return hash;
}

fs::path TableIn(const fs::path& folder, const char* table) {
  return platform::FindNoCase(folder, std::string(table) + ".DBF");
}

// The sorted hashes of a table's identifiers. A table that cannot be read
// raises: a kind is compared only when both sides were read whole.
std::vector<uint64_t> Keys(const fs::path& folder, const Kind& kind) {
  std::vector<uint64_t> keys;
  RowReader table(TableIn(folder, kind.table));
  while (table.Next()) {
    const std::string key = kind.key(table);
    if (!key.empty()) keys.push_back(Hash(key));
  }
  std::sort(keys.begin(), keys.end());
  return keys;
}

// The rows of one side whose identifiers the other lacks: the first few
// named, all counted.
std::vector<std::string> Missing(const fs::path& folder, const Kind& kind, const std::vector<uint64_t>& other,
                                 size_t& count) {
  std::vector<std::string> named;
  count = 0;
  RowReader table(TableIn(folder, kind.table));
  while (table.Next()) {
    const std::string key = kind.key(table);
    if (key.empty() || std::binary_search(other.begin(), other.end(), Hash(key))) continue;
    if (++count <= kNamed) named.push_back(AnsiToUtf8(kind.name(table)));
  }
  return named;
}

// The four kinds, rows named with what the side's kept Séneca data (if any) says of them.
std::vector<Kind> Kinds(const std::optional<SenecaKept>& side) {
  const SenecaKept* kept = side ? &*side : nullptr;
  auto course = [kept](const std::string& id) -> std::string {
    if (!kept) return {};
    for (const auto& [course, name] : kept->courses) {
      if (course.substr(0, id.size()) == id && !id.empty()) return " (" + name + ")";
    }
    return {};
  };
  auto unitName = [kept](RowReader& t) {
    const std::string id = t.FieldText("UNIDAD");
    if (kept) {
      for (const auto& unit : kept->units) {
        if (!id.empty() && unit.id.substr(0, id.size()) == id) return unit.name;
      }
    }
    return t.FieldText("ABREV");
  };
  return {
      {"profesores", "PROFT", [](RowReader& t) { return t.FieldText("X_EMPLEADO") + "|" + t.FieldText("F_TOMAPOS"); },
       [](RowReader& t) { return t.FieldText("NOMBRE"); }},
      {"materias", "ASIGNOMT", [](RowReader& t) { return t.FieldText("MATERIA") + "|" + t.FieldText("CODLARGO"); },
       [course](RowReader& t) { return t.FieldText("NOMBRE") + course(t.FieldText("MATERIA")); }},
      {"aulas", "AULAT", [](RowReader& t) { return t.FieldText("DEPCENTRO"); },
       [](RowReader& t) { return t.FieldText("NOMBRE"); }},
      {"unidades", "GRUPOST", [](RowReader& t) { return t.FieldText("UNIDAD"); }, unitName},
  };
}

std::string CursoOf(const fs::path& folder) {
  try {
    Table table(folder, "CURSOACAD");
    table.Open();
    table.First();
    if (!table.Eof() && table.HasField("CURSOANNO")) return std::string(TrimControls(table.FieldText("CURSOANNO")));
  } catch (const Failure&) {
  }
  return {};
}

// Horavia's assignments in the replaced set, which the export's empty ASIGT does not carry on.
void TellAssignments(const fs::path& replaced, const std::string& copyShown, RunReport& report) {
  size_t rows = 0;
  try {
    rows = CountRows(TableIn(replaced, "ASIGT"));
  } catch (const Failure&) {
    // No table, or none that reads: nothing to tell.
  }
  if (rows == 0) return;
  report.Add({"asignaciones_en_copia",
              "ASIGT",
              0,
              "",
              std::to_string(rows),
              copyShown,
              "",
              {},
              {},
              TableTitle("ASIGT") + ": " + Counted(rows, "asignación", "asignaciones") +
                  " de Horavia de las tablas sustituidas ya no " + (rows == 1 ? "está" : "están") +
                  " en las tablas de trabajo: la exportación deja Asignaciones vacía. " +
                  (rows == 1 ? "Sigue" : "Siguen") + " en la copia '" + copyShown +
                  "', y «Deshacer» las vuelve a poner."});
}

}  // namespace

void TellChanges(const fs::path& replaced, const fs::path& workDir, const std::string& copyShown, RunReport& report) {
  TellAssignments(replaced, copyShown, report);
  const std::optional<SenecaKept> before = KeptIn(replaced), after = KeptIn(workDir);
  const std::string cursoBefore = CursoOf(replaced), cursoAfter = CursoOf(workDir);
  if (!cursoBefore.empty() && !cursoAfter.empty() && cursoBefore != cursoAfter) {
    report.otro_curso = AnsiToUtf8(cursoBefore);
  }
  if (before && after && !before->autor.empty() && before->autor != after->autor) {
    report.otro_centro = AnsiToUtf8(before->autor);
  }
  const auto kindsBefore = Kinds(before), kindsAfter = Kinds(after);
  bool common = false, any = false;
  for (size_t k = 0; k < kindsAfter.size(); ++k) {
    // A table that could not be read is not compared: its rows would all
    // look added or gone.
    try {
      const auto keysBefore = Keys(replaced, kindsBefore[k]), keysAfter = Keys(workDir, kindsAfter[k]);
      SetChange change{kindsAfter[k].que, {}, {}, 0, 0};
      change.nuevos = Missing(workDir, kindsAfter[k], keysBefore, change.cuantos_nuevos);
      change.quitados = Missing(replaced, kindsBefore[k], keysAfter, change.cuantos_quitados);
      common = common || change.cuantos_quitados < keysBefore.size();
      any = any || !keysBefore.empty();
      report.cambios.push_back(std::move(change));
    } catch (const Failure&) {
    }
  }
  // Not one teacher, subject, room or unit in common: no re-export of one school.
  if (any && !common && report.otro_centro.empty()) report.otro_centro = "?";
}

}  // namespace enlazor
