#include "import/activities.h"

#include "exchange/codec.h"

namespace enlazor {

std::string ConvertirHora(std::string_view time) {
  std::string text(time);
  if (!text.empty() && text.size() < 5 && text[0] != '0') text.insert(0, "0");
  return text.substr(0, 2) + (text.size() > 3 ? text.substr(3, 2) : std::string());
}

Lookup::Lookup(Table& table, const char* keyField, std::vector<const char*> fields)
    : table_(table), keyField_(keyField), fields_(std::move(fields)), none_(fields_.size()) {}

const std::vector<std::string>& Lookup::Find(const std::string& key) {
  if (!built_) {
    // The tables are held exclusively for the whole run, so one reading serves every lookup.
    for (table_.First(); !table_.Eof(); table_.Next()) {
      std::string rowKey = table_.FieldText(keyField_);
      if (rows_.count(rowKey)) continue;
      std::vector<std::string> values;
      for (const char* field : fields_) values.push_back(table_.FieldText(field));
      rows_.emplace(std::move(rowKey), std::move(values));
    }
    built_ = true;
  }
  const auto found = rows_.find(key);
  return found != rows_.end() ? found->second : none_;
}

Activities::Activities(XmlDocument& doc, const ImportTables& tables)
    : doc_(doc),
      soluc_(tables.soluc),
      tramos_(tables.tramos, "DIHO", {"DIA", "CODDIHO", "HORADESDE", "HORAHASTA"}),
      aulas_(tables.aulas, "ABREV", {"DEPCENTRO"}),
      grupos_(tables.grupos, "ABREV", {"UNIDAD"}),
      materias_(tables.nomAsg, "COD", {"MATERIA", "CODLARGO"}) {}

std::array<std::string, 4> Activities::BuscarTramo(const std::string& slotKey) {
  const auto& v = tramos_.Find(slotKey);
  return {v[0], v[1], v[2], v[3]};
}

std::string Activities::BuscarDependencia(const std::string& aula) {
  std::string room = aulas_.Find(aula)[0];
  return TrimControls(room).empty() ? aula : room;
}

std::string Activities::BuscarUnidad(const std::string& codGrupo) { return grupos_.Find(codGrupo)[0]; }

std::array<std::string, 2> Activities::BuscarMateria(const std::string& asig) {
  const auto& v = materias_.Find(asig);
  return {v[0], v[1]};
}

const std::vector<size_t>& Activities::LessonsOf(const std::string& abrev) {
  if (!indexed_) {
    // The filter PROF= 'code' for every teacher, in one pass over SOLUC.
    soluc_.SetFiltered(false);
    for (size_t row = 0; row < soluc_.RowCount(); ++row) {
      soluc_.MoveTo(row);
      lessons_[soluc_.FieldText("PROF")].push_back(row);
    }
    indexed_ = true;
  }
  static const std::vector<size_t> none;
  const auto found = lessons_.find(abrev);
  return found != lessons_.end() ? found->second : none;
}

void Activities::AppendDato(XmlNode group, const char* name, std::string_view ansiText) {
  XmlNode dato = doc_.CreateElement("dato");
  dato.SetAttribute("nombre_dato", name);
  if (!ansiText.empty()) dato.SetText(AnsiToUtf8(ansiText));
  group.AppendChild(dato);
}

int Activities::GenerarActividades(const std::string& abrev, XmlNode teacherGroup, const FechasCurso& fechas) {
  int m = 1;
  for (const size_t row : LessonsOf(abrev)) {
    soluc_.MoveTo(row);
    if (soluc_.FieldInteger("DIA") == 0) continue;
    XmlNode activity = doc_.CreateElement("grupo_datos");
    activity.SetAttribute("seq", "ACTIVIDAD_" + std::to_string(m++));
    teacherGroup.AppendChild(activity);
    const auto tramo = BuscarTramo(soluc_.FieldText("DIA") + std::to_string(soluc_.FieldInteger("HORA")));
    AppendDato(activity, "N_DIASEMANA", tramo[0]);
    AppendDato(activity, "X_TRAMO", tramo[1]);
    AppendDato(activity, "X_DEPENDENCIA", BuscarDependencia(soluc_.FieldText("AULA")));
    AppendDato(activity, "X_UNIDAD", BuscarUnidad(soluc_.FieldText("CODGRUPO")));
    const auto materia = BuscarMateria(soluc_.FieldText("ASIG"));
    AppendDato(activity, "X_OFERTAMATRIG", materia[0]);
    AppendDato(activity, "X_MATERIAOMG", materia[1]);
    AppendDato(activity, "F_INICIO", fechas.inicio);
    AppendDato(activity, "F_FIN", fechas.fin);
    AppendDato(activity, "N_HORINI", ConvertirHora(tramo[2]));
    AppendDato(activity, "N_HORFIN", ConvertirHora(tramo[3]));
    AppendDato(activity, "X_ACTIVIDAD", "1");
  }
  return m - 1;
}

}  // namespace enlazor
