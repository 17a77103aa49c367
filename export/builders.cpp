#include "export/builders.h"

#include <algorithm>
#include <map>
#include <set>

#include "exchange/codec.h"
#include "exchange/failure.h"
#include "exchange/platform/platform.h"
#include "export/codes.h"

namespace enlazor {
namespace {

FieldDef Text(const char* name, int size) { return {name, FieldType::Text, size}; }

// Séneca's identifiers, which the import gives back to Séneca: two different
// ones that a field's width makes equal would send wrong data.
bool IsIdentifier(std::string_view field) {
  for (const char* name : {"MATERIA", "CODLARGO", "X_EMPLEADO", "DEPCENTRO", "UNIDAD", "CODDIHO"}) {
    if (field == name) return true;
  }
  return false;
}

std::string Utf8(std::string_view ansi) { return AnsiToUtf8(ansi); }

}  // namespace

TableBuilder::TableBuilder(const fs::path& folder, Layout layout, std::initializer_list<FieldDef> fields,
                           RunReport& report)
    : folder_(folder),
      name_(layout.table),
      group_(layout.group ? layout.group : ""),
      layout_(layout),
      fields_(fields),
      table_(folder, layout.table),
      report_(report) {
  platform::DeleteFileQuietly(platform::FindNoCase(folder, name_ + ".DBF"));
  platform::DeleteFileQuietly(platform::FindNoCase(folder, name_ + ".MDX"));
  table_.ClearFields();
  for (const auto& field : fields_) table_.AddField(field);
  table_.CreateTable();
  table_.Open();
}

void TableBuilder::Offer(const Datos& datos) {
  ++record_;
  const std::string where = "Séneca, grupo " + group_ + ", registro " + std::to_string(record_);
  if (datos.count < layout_.minimum) {
    Report({"registro_incompleto",
            group_,
            record_,
            "",
            std::to_string(datos.count) + " datos",
            "sin fila",
            "",
            {},
            {},
            where + ": tiene " + std::to_string(datos.count) + (datos.count == 1 ? " dato" : " datos") +
                " y hacen falta al menos " + std::to_string(layout_.minimum) + "; no pasa a " + TableTitle(name_) +
                "."});
    return;
  }
  if (datos.count < layout_.read) {
    Report({"registro_incompleto",
            group_,
            record_,
            "",
            std::to_string(datos.count) + " datos",
            "vacíos los que faltan",
            "",
            {},
            {},
            where + ": tiene " + std::to_string(datos.count) + " datos de los " + std::to_string(layout_.read) +
                " que se leen; los que faltan quedan vacíos en " + TableTitle(name_) + "."});
  }
  Take(datos);
}

void TableBuilder::Report(Finding finding) { report_.Add(std::move(finding)); }

// Renumbered codes are told: Horavia shows the code, and the user may wonder.
void TableBuilder::ReportRenumbered(std::string_view base, std::string_view code) {
  if (code == base) return;
  Report({"codigo_renumerado",
          name_,
          static_cast<long>(rows_),
          name_ == "ASIGNOMT" ? "COD" : "ABREV",
          Utf8(base),
          Utf8(code),
          "",
          {},
          {},
          TableTitle(name_) + ", fila " + std::to_string(rows_) + ": el código " + Quoted(base) +
              " ya lo tenía otra fila; queda " + Quoted(code) + "."});
}

void TableBuilder::Add(Row values) {
  table_.Append();
  ++rows_;
  for (const auto& value : values) {
    const char* field = value.first;  // plain names: lambdas below capture them
    const std::string_view text = value.second;
    const size_t number = FieldIndex(field);
    table_.SetFieldText(number, text);
    const FieldDef* def = &fields_[number];
    if (def->type != FieldType::Text || text.size() <= static_cast<size_t>(def->size)) continue;
    const std::string stored(text.substr(0, static_cast<size_t>(def->size)));
    const bool identifier = IsIdentifier(field);
    if (identifier) cuts_.push_back({field, stored, std::string(text), rows_});
    // A value repeated row after row (a slot on each day) is told once.
    if (std::any_of(report_.hallazgos.begin(), report_.hallazgos.end(),
                    [&](const Finding& f) { return f.tabla == name_ && f.campo == field && f.valor == Utf8(text); })) {
      continue;
    }
    const std::string size = std::to_string(def->size);
    Report({identifier ? "identificador_cortado" : "valor_cortado",
            name_,
            static_cast<long>(rows_),
            field,
            Utf8(text),
            Utf8(stored),
            "",
            {},
            {},
            TableTitle(name_) + ", fila " + std::to_string(rows_) + ", " + field + ": " + Quoted(text) +
                " no cabe en " + size + " caracteres; " + (identifier ? "Séneca recibirá " : "queda ") +
                Quoted(stored) + "."});
  }
  table_.Post();
}

// The table's fields are the builder's, in its order: one number for both. A
// row names its fields with the builder's own literals, so a name once found
// is known by its address.
size_t TableBuilder::FieldIndex(const char* name) {
  for (const auto& [known, number] : numbers_) {
    if (known == name) return number;
  }
  const auto def = std::find_if(fields_.begin(), fields_.end(), [&](const FieldDef& f) { return f.name == name; });
  const size_t number = static_cast<size_t>(def - fields_.begin());
  numbers_.emplace_back(name, number);
  return number;
}

std::vector<std::string> TableBuilder::Column(const std::string& field) {
  ::enlazor::Table table(folder_, name_);
  table.Open();
  const size_t number = table.FieldNumber(field);
  std::vector<std::string> values;
  for (table.First(); !table.Eof(); table.Next()) values.push_back(table.FieldText(number));
  return values;
}

// Two different identifiers that became one when cut: the export cannot go on.
void TableBuilder::CheckCutIdentifiers() {
  std::map<std::string, std::vector<std::string>> columns;
  for (const Cut& cut : cuts_) {
    auto& column = columns[cut.field];
    if (column.empty()) column = Column(cut.field);
    for (size_t row = 1; row <= column.size(); ++row) {
      if (row == cut.row || column[row - 1] != cut.stored) continue;
      const auto other =
          std::find_if(cuts_.begin(), cuts_.end(), [&](const Cut& c) { return c.field == cut.field && c.row == row; });
      const std::string otherOriginal = other == cuts_.end() ? column[row - 1] : other->original;
      if (otherOriginal == cut.original) continue;
      const bool otherFirst = row < cut.row;
      const std::string first = otherFirst ? otherOriginal : cut.original,
                        second = otherFirst ? cut.original : otherOriginal;
      throw Refusal(
          Format("Los identificadores %s (fila %s) y %s (fila %s) de %s no caben en los %s caracteres del "
                 "campo %s y quedarían iguales, %s: Séneca recibiría datos equivocados. La exportación no se "
                 "ha hecho y las tablas de trabajo no han cambiado.",
                 {Quoted(first), std::to_string(std::min(row, cut.row)), Quoted(second),
                  std::to_string(std::max(row, cut.row)), name_, std::to_string(cut.stored.size()), cut.field,
                  Quoted(cut.stored)}));
    }
  }
}

size_t TableBuilder::Finish() {
  table_.Close();
  if (!cuts_.empty()) CheckCutIdentifiers();
  return rows_;
}

namespace {

class CrearCursoAcad final : public TableBuilder {
 public:
  CrearCursoAcad(const fs::path& folder, RunReport& report)
      : TableBuilder(folder, {"CURSOACAD", nullptr, 2, 3},
                     {Text("CURSOANNO", 4), Text("F_INICIO", 10), Text("F_FIN", 10)}, report) {}
  // The first two top-level groups, whatever their seq: their direct datos.
  void TopGroup(size_t, const std::string&, const Datos& datos) override {
    if (datos.count < 2) return;
    Add({{"CURSOANNO", datos.At(0)}, {"F_INICIO", datos.At(1)}, {"F_FIN", datos.At(2)}});
  }

 private:
  void Take(const Datos&) override {}
};

class CrearAsignaturas final : public TableBuilder {
 public:
  CrearAsignaturas(const fs::path& folder, RunReport& report)
      : TableBuilder(folder, {"ASIGNOMT", "MATERIAS", 2, 3},
                     {Text("COD", 4), Text("CODLARGO", 8), Text("NOMBRE", 40), Text("MATERIA", 8)}, report) {}

 private:
  void Take(const Datos& datos) override {
    const std::string& name = datos.At(2);
    const std::string base = SubjectBaseCode(name);
    const std::string code = codes_.Unique(base);
    Add({{"COD", code}, {"CODLARGO", datos.At(1)}, {"NOMBRE", name}, {"MATERIA", datos.At(0)}});
    ReportRenumbered(base, code);
  }
  CodeList codes_;
};

class CrearProfesores final : public TableBuilder {
 public:
  CrearProfesores(const fs::path& folder, RunReport& report)
      : TableBuilder(folder, {"PROFT", "EMPLEADOS", 2, 6},
                     {Text("ABREV", 4),
                      Text("NOMBRE", 40),
                      Text("DEPART", 40),
                      {"DNI", FieldType::Integer, 0},
                      Text("X_EMPLEADO", 10),
                      Text("F_TOMAPOS", 10)},
                     report) {}

  size_t Finish() override {
    const size_t rows = TableBuilder::Finish();
    ReportRepeatedEmployees();
    return rows;
  }

 private:
  void Take(const Datos& datos) override {
    const std::string &surname1 = datos.At(3), &surname2 = datos.At(4), &given = datos.At(5);
    const std::string base = TeacherBaseCode(given, surname1, surname2);
    const std::string code = codes_.Unique(base);
    Add({{"ABREV", code},
         {"NOMBRE", given + " " + surname1 + " " + surname2},
         {"X_EMPLEADO", datos.At(0)},
         {"F_TOMAPOS", datos.At(1)},
         {"DEPART", datos.At(2)}});
    ids_.emplace_back(datos.At(0).substr(0, 10), static_cast<uint32_t>(Rows()));
    ReportRenumbered(base, code);
  }

  // An employee with two posts is two teachers to Horavia: worth knowing.
  void ReportRepeatedEmployees() {
    std::stable_sort(ids_.begin(), ids_.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (size_t first = 0, last = 0; first < ids_.size(); first = last) {
      while (last < ids_.size() && ids_[last].first == ids_[first].first) ++last;
      if (last - first < 2 || ids_[first].first.empty()) continue;
      std::vector<std::string> rows;
      for (size_t k = first; k < last; ++k) rows.push_back(std::to_string(ids_[k].second));
      const std::string list = Enumerated(rows);
      const std::string& id = ids_[first].first;
      Report({"empleado_repetido",
              "PROFT",
              static_cast<long>(ids_[first].second),
              "X_EMPLEADO",
              Utf8(id),
              std::to_string(last - first) + " filas",
              "",
              {},
              {},
              TableTitle("PROFT") + ", filas " + list + ": el empleado " + Quoted(id) + " aparece " +
                  std::to_string(last - first) +
                  " veces (varios puestos); Horavia lo tendrá como profesores distintos."});
    }
    ids_ = {};
  }

  std::vector<std::pair<std::string, uint32_t>> ids_;  // X_EMPLEADO as stored, and its row
  CodeList codes_;
};

class CrearAulas final : public TableBuilder {
 public:
  CrearAulas(const fs::path& folder, RunReport& report)
      : TableBuilder(folder, {"AULAT", "DEPENDENCIAS", 2, 2},
                     {Text("ABREV", 4),
                      Text("NOMBRE", 40),
                      Text("EDIFICIO", 1),
                      {"MAXALUM", FieldType::Integer, 0},
                      Text("DEPCENTRO", 10)},
                     report) {}

 private:
  void Take(const Datos& datos) override {
    const std::string& id = datos.At(0);
    const std::string derived = id.substr(0, kCodeWidth);
    const std::string code = codes_.CodeFor(id, derived);
    Add({{"ABREV", code}, {"NOMBRE", datos.At(1)}, {"DEPCENTRO", id}});
    ReportRenumbered(derived, code);
  }
  IdentifiedCodes codes_;
};

class CrearUnidades final : public TableBuilder {
 public:
  CrearUnidades(const fs::path& folder, RunReport& report)
      : TableBuilder(folder, {"GRUPOST", "UNIDADES", 2, 2},
                     {Text("ABREV", 4), Text("TURNO", 1), Text("NIVEL", 5), Text("CURSO", 3), Text("GRUPO", 2),
                      Text("UNIDAD", 10)},
                     report) {}

 private:
  void Take(const Datos& datos) override {
    const std::string& id = datos.At(0);
    const std::string derived = UnitCode(datos.At(1));
    const UnitPlacement place = PlaceUnit(derived);
    const std::string code = codes_.CodeFor(id, derived);
    Add({{"ABREV", code},
         {"TURNO", ""},
         {"NIVEL", place.nivel},
         {"CURSO", place.curso},
         {"GRUPO", place.grupo},
         {"UNIDAD", id}});
    ReportRenumbered(derived, code);
  }
  IdentifiedCodes codes_;
};

class CrearAsignaciones final : public TableBuilder {
 public:
  CrearAsignaciones(const fs::path& folder, RunReport& report)
      : TableBuilder(folder, {"ASIGT", nullptr, 0, 0},
                     {Text("CASIG", 4),
                      Text("CPROF", 4),
                      Text("CGRUP", 4),
                      Text("CAULA", 4),
                      Text("TURNO", 1),
                      Text("NIVEL", 5),
                      Text("CURSO", 3),
                      Text("GRUPO", 2),
                      {"HORAS", FieldType::Float, 0},
                      Text("SESIONES", 20)},
                     report) {}

 private:
  void Take(const Datos&) override {}
};

// The slots of the document, one grid row per slot and day once all are read.
class CrearTramos final : public TableBuilder {
 public:
  CrearTramos(const fs::path& folder, RunReport& report)
      : TableBuilder(folder, {"DIASHORAST", "TRAMOS_HORARIOS", 0, 4},
                     {Text("DIHO", 10), Text("CODDIHO", 10), Text("DIA", 20), Text("TEXTODIA", 20), Text("HORA", 8),
                      Text("HORADESDE", 8), Text("HORAHASTA", 8), Text("MINUTOS", 8)},
                     report) {}

  size_t Finish() override {
    for (int day = 1; day <= 7; ++day) {
      const std::string dia = std::to_string(day);
      for (size_t r = 0; r < slots_.size(); ++r) {
        const Slot& slot = slots_[r];
        Add({{"DIHO", dia + std::to_string(r + 1)},
             {"DIA", dia},
             {"HORA", slot.hora},
             {"CODDIHO", slot.code},
             {"HORADESDE", slot.times.desde},
             {"HORAHASTA", slot.times.hasta},
             {"MINUTOS", slot.times.minutos}});
      }
    }
    return TableBuilder::Finish();
  }

 private:
  struct Slot {
    std::string code, hora;
    SlotTimes times;
  };
  void Take(const Datos& datos) override {
    slots_.push_back({datos.At(0), datos.At(1), ApplyTimeRule(datos.At(2), datos.At(3))});
  }
  std::vector<Slot> slots_;
};

}  // namespace

std::vector<std::unique_ptr<TableBuilder>> MakeBuilders(const fs::path& folder, RunReport& report) {
  std::vector<std::unique_ptr<TableBuilder>> builders;
  builders.push_back(std::make_unique<CrearCursoAcad>(folder, report));
  builders.push_back(std::make_unique<CrearAsignaturas>(folder, report));
  builders.push_back(std::make_unique<CrearProfesores>(folder, report));
  builders.push_back(std::make_unique<CrearAulas>(folder, report));
  builders.push_back(std::make_unique<CrearUnidades>(folder, report));
  builders.push_back(std::make_unique<CrearAsignaciones>(folder, report));
  builders.push_back(std::make_unique<CrearTramos>(folder, report));
  return builders;
}

}  // namespace enlazor
