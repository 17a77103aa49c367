#include "export/builders.h"

#include <utility>

#include "exchange/codec.h"
#include "exchange/platform.h"
#include "exchange/table.h"
#include "export/codes.h"

namespace enlazor {
namespace {

FieldDef Text(const char* name, int size) { return {name, FieldType::Text, size}; }

using Row = std::initializer_list<std::pair<const char*, std::string_view>>;

// The rebuild every builder follows: old files gone, the table created anew
// with its fields, rows appended and posted, the table closed.
class Rebuild {
 public:
  Rebuild(const fs::path& folder, const char* name, std::initializer_list<FieldDef> fields) : table_(folder, name) {
    platform::DeleteFileQuietly(platform::FindNoCase(folder, std::string(name) + ".DBF"));
    platform::DeleteFileQuietly(platform::FindNoCase(folder, std::string(name) + ".MDX"));
    table_.ClearFields();
    for (const auto& field : fields) table_.AddField(field);
    table_.CreateTable();
    table_.Open();
  }
  void Add(Row values) {
    table_.Append();
    for (const auto& [field, text] : values) table_.SetFieldText(field, text);
    table_.Post();
    ++rows_;
  }
  size_t Finish() {
    table_.Close();
    return rows_;
  }

 private:
  Table table_;
  size_t rows_ = 0;
};

// The records of one top-level group, in document order.
XmlNodeList Records(const XmlDocument& doc, const char* seq) {
  return doc.SelectNodes(std::string("/SERVICIO/BLOQUE_DATOS/grupo_datos[@seq=\"") + seq + "\"]/grupo_datos");
}

// Calls take(datos) for every record that has at least two datos.
template <typename Take>
void ForEachTakenRecord(const XmlNodeList& records, Take take) {
  for (size_t r = 0; r < records.Length(); ++r) {
    const XmlNodeList datos = records.Item(r).SelectNodes("dato");
    if (datos.Length() >= 2) take(datos);
  }
}

}  // namespace

std::string DatoText(const XmlNodeList& datos, size_t position) {
  return Utf8ToAnsi(TrimControls(datos.Item(position).Text()));
}

size_t CrearCursoAcad(const XmlDocument& doc, const fs::path& folder) {
  Rebuild table(folder, "CURSOACAD", {Text("CURSOANNO", 4), Text("F_INICIO", 10), Text("F_FIN", 10)});
  const XmlNodeList groups = doc.SelectNodes("/SERVICIO/BLOQUE_DATOS/grupo_datos");
  for (size_t g = 0; g < 2 && g < groups.Length(); ++g) {
    const XmlNodeList datos = groups.Item(g).SelectNodes("dato");
    if (datos.Length() < 2) continue;
    table.Add({{"CURSOANNO", DatoText(datos, 0)}, {"F_INICIO", DatoText(datos, 1)}, {"F_FIN", DatoText(datos, 2)}});
  }
  return table.Finish();
}

size_t CrearAsignaturas(const XmlDocument& doc, const fs::path& folder) {
  Rebuild table(folder, "ASIGNOMT", {Text("COD", 4), Text("CODLARGO", 8), Text("NOMBRE", 40), Text("MATERIA", 8)});
  CodeList codes;
  ForEachTakenRecord(Records(doc, "MATERIAS"), [&](const XmlNodeList& datos) {
    const std::string name = DatoText(datos, 2);
    const std::string code = codes.Unique(SubjectBaseCode(name));
    table.Add({{"COD", code}, {"CODLARGO", DatoText(datos, 1)}, {"NOMBRE", name}, {"MATERIA", DatoText(datos, 0)}});
  });
  return table.Finish();
}

size_t CrearProfesores(const XmlDocument& doc, const fs::path& folder) {
  Rebuild table(folder, "PROFT",
                {Text("ABREV", 4), Text("NOMBRE", 40), Text("DEPART", 40), {"DNI", FieldType::Integer, 0},
                 Text("X_EMPLEADO", 10), Text("F_TOMAPOS", 10)});
  CodeList codes;
  ForEachTakenRecord(Records(doc, "EMPLEADOS"), [&](const XmlNodeList& datos) {
    const std::string surname1 = DatoText(datos, 3), surname2 = DatoText(datos, 4), given = DatoText(datos, 5);
    const std::string code = codes.Unique(TeacherBaseCode(given, surname1, surname2));
    const std::string name = given + " " + surname1 + " " + surname2;
    table.Add({{"ABREV", code}, {"NOMBRE", name}, {"X_EMPLEADO", DatoText(datos, 0)},
               {"F_TOMAPOS", DatoText(datos, 1)}, {"DEPART", DatoText(datos, 2)}});
  });
  return table.Finish();
}

size_t CrearAulas(const XmlDocument& doc, const fs::path& folder) {
  Rebuild table(folder, "AULAT",
                {Text("ABREV", 4), Text("NOMBRE", 40), Text("EDIFICIO", 1), {"MAXALUM", FieldType::Integer, 0},
                 Text("DEPCENTRO", 10)});
  IdentifiedCodes codes;
  ForEachTakenRecord(Records(doc, "DEPENDENCIAS"), [&](const XmlNodeList& datos) {
    const std::string id = DatoText(datos, 0);
    const std::string code = codes.CodeFor(id, id.substr(0, kCodeWidth));
    table.Add({{"ABREV", code}, {"NOMBRE", DatoText(datos, 1)}, {"DEPCENTRO", id}});
  });
  return table.Finish();
}

size_t CrearUnidades(const XmlDocument& doc, const fs::path& folder) {
  Rebuild table(folder, "GRUPOST",
                {Text("ABREV", 4), Text("TURNO", 1), Text("NIVEL", 5), Text("CURSO", 3), Text("GRUPO", 2),
                 Text("UNIDAD", 10)});
  IdentifiedCodes codes;
  ForEachTakenRecord(Records(doc, "UNIDADES"), [&](const XmlNodeList& datos) {
    const std::string id = DatoText(datos, 0);
    const std::string derived = UnitCode(DatoText(datos, 1));
    const UnitPlacement place = PlaceUnit(derived);
    table.Add({{"ABREV", codes.CodeFor(id, derived)}, {"TURNO", ""}, {"NIVEL", place.nivel},
               {"CURSO", place.curso}, {"GRUPO", place.grupo}, {"UNIDAD", id}});
  });
  return table.Finish();
}

size_t CrearAsignaciones(const XmlDocument&, const fs::path& folder) {
  Rebuild table(folder, "ASIGT",
                {Text("CASIG", 4), Text("CPROF", 4), Text("CGRUP", 4), Text("CAULA", 4), Text("TURNO", 1),
                 Text("NIVEL", 5), Text("CURSO", 3), Text("GRUPO", 2), {"HORAS", FieldType::Float, 0},
                 Text("SESIONES", 20)});
  return table.Finish();
}

size_t CrearTramos(const XmlDocument& doc, const fs::path& folder) {
  Rebuild table(folder, "DIASHORAST",
                {Text("DIHO", 10), Text("CODDIHO", 10), Text("DIA", 20), Text("TEXTODIA", 20), Text("HORA", 8),
                 Text("HORADESDE", 8), Text("HORAHASTA", 8), Text("MINUTOS", 8)});
  struct Slot {
    std::string code, hora;
    SlotTimes times;
  };
  std::vector<Slot> slots;
  const XmlNodeList records = Records(doc, "TRAMOS_HORARIOS");
  for (size_t r = 0; r < records.Length(); ++r) {
    const XmlNodeList datos = records.Item(r).SelectNodes("dato");
    slots.push_back({DatoText(datos, 0), DatoText(datos, 1), ApplyTimeRule(DatoText(datos, 2), DatoText(datos, 3))});
  }
  for (int day = 1; day <= 7; ++day) {
    const std::string dia = std::to_string(day);
    for (size_t r = 0; r < slots.size(); ++r) {
      const Slot& slot = slots[r];
      table.Add({{"DIHO", dia + std::to_string(r + 1)}, {"DIA", dia}, {"HORA", slot.hora}, {"CODDIHO", slot.code},
                 {"HORADESDE", slot.times.desde}, {"HORAHASTA", slot.times.hasta}, {"MINUTOS", slot.times.minutos}});
    }
  }
  return table.Finish();
}

const std::vector<Builder>& Builders() {
  static const std::vector<Builder> builders = {
      {"CURSOACAD", CrearCursoAcad}, {"ASIGNOMT", CrearAsignaturas}, {"PROFT", CrearProfesores},
      {"AULAT", CrearAulas},         {"GRUPOST", CrearUnidades},     {"ASIGT", CrearAsignaciones},
      {"DIASHORAST", CrearTramos}};
  return builders;
}

}  // namespace enlazor
