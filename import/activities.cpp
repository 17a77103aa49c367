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

// The names of the eleven datos of an activity group, in their order.
constexpr const char* kDatoNames[] = {"N_DIASEMANA", "X_TRAMO",  "X_DEPENDENCIA", "X_UNIDAD", "X_OFERTAMATRIG", "X_MATERIAOMG",
                                      "F_INICIO",    "F_FIN",    "N_HORINI",      "N_HORFIN", "X_ACTIVIDAD"};

Activities::Activities(const ImportTables& tables)
    : soluc_(tables.soluc),
      datos_(std::size(kDatoNames)),
      tramos_(tables.tramos, "DIHO", {"DIA", "CODDIHO", "HORADESDE", "HORAHASTA"}),
      aulas_(tables.aulas, "ABREV", {"DEPCENTRO"}),
      grupos_(tables.grupos, "ABREV", {"UNIDAD"}),
      materias_(tables.nomAsg, "COD", {"MATERIA", "CODLARGO"}) {
  for (size_t k = 0; k < datos_.size(); ++k) datos_[k] = XmlText::MakeLeafTag("dato", {{"nombre_dato", kDatoNames[k]}});
}

const std::vector<std::string>& Activities::BuscarTramo(const std::string& slotKey) { return tramos_.Find(slotKey); }

std::string Activities::BuscarDependencia(const std::string& aula) {
  std::string room = aulas_.Find(aula)[0];
  return TrimControls(room).empty() ? aula : room;
}

std::string Activities::BuscarUnidad(const std::string& codGrupo) { return grupos_.Find(codGrupo)[0]; }

const std::vector<std::string>& Activities::BuscarMateria(const std::string& asig) { return materias_.Find(asig); }

size_t Activities::Field(size_t& number, const char* name) {
  if (number == SIZE_MAX) number = soluc_.FieldNumber(name);
  return number;
}

const std::vector<size_t>& Activities::LessonsOf(const std::string& abrev) {
  if (!indexed_) {
    // The filter PROF= 'code' for every teacher, in one pass over SOLUC.
    soluc_.SetFiltered(false);
    const size_t prof = soluc_.FieldNumber("PROF");
    for (size_t row = 0; row < soluc_.RowCount(); ++row) {
      soluc_.MoveTo(row);
      lessons_[soluc_.FieldText(prof)].push_back(row);
    }
    indexed_ = true;
  }
  static const std::vector<size_t> none;
  const auto found = lessons_.find(abrev);
  return found != lessons_.end() ? found->second : none;
}

int Activities::GenerarActividades(const std::string& abrev, XmlText& teacherGroup, const FechasCurso& fechas) {
  std::string scratch;
  size_t next = 0;
  auto dato = [&](std::string_view ansiText) { teacherGroup.Leaf(datos_[next++], AsUtf8(ansiText, scratch)); };
  int m = 1;
  for (const size_t row : LessonsOf(abrev)) {
    soluc_.MoveTo(row);
    if (soluc_.FieldInteger(Field(field_.dia, "DIA")) == 0) continue;
    teacherGroup.Open("grupo_datos", {{"seq", "ACTIVIDAD_" + std::to_string(m++)}});
    next = 0;
    const auto& tramo = BuscarTramo(soluc_.FieldText(field_.dia) + std::to_string(soluc_.FieldInteger(Field(field_.hora, "HORA"))));
    dato(tramo[0]);  // N_DIASEMANA
    dato(tramo[1]);  // X_TRAMO
    dato(BuscarDependencia(soluc_.FieldText(Field(field_.aula, "AULA"))));
    dato(BuscarUnidad(soluc_.FieldText(Field(field_.codGrupo, "CODGRUPO"))));
    const auto& materia = BuscarMateria(soluc_.FieldText(Field(field_.asig, "ASIG")));
    dato(materia[0]);  // X_OFERTAMATRIG
    dato(materia[1]);  // X_MATERIAOMG
    dato(fechas.inicio);
    dato(fechas.fin);
    dato(ConvertirHora(tramo[2]));
    dato(ConvertirHora(tramo[3]));
    dato("1");  // X_ACTIVIDAD
    teacherGroup.Close("grupo_datos");
  }
  return m - 1;
}

}  // namespace enlazor
