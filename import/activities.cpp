#include "import/activities.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "exchange/codec.h"
#include "exchange/failure.h"
#include "exchange/platform/platform.h"

namespace enlazor {

std::string ConvertirHora(std::string_view time) {
  std::string text(time);
  if (!text.empty() && text.size() < 5 && text[0] != '0') text.insert(text.begin(), '0');
  return text.substr(0, 2) + (text.size() > 3 ? text.substr(3, 2) : std::string());
}

const std::string& CheckedForXml(const std::string& text, const Table& table, size_t row, std::string_view field) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 || byte == '\t' || byte == '\n' || byte == '\r') continue;
    throw Failure(
        Format("La tabla '%s', fila %s, campo %s, tiene un carácter de control (código %s) que XML no "
               "admite, y Séneca rechazaría el archivo. Corrija ese valor y repita la orden",
               {platform::PathToUtf8(table.FilePath()), std::to_string(row), field, std::to_string(byte)}));
  }
  return text;
}

Lookup::Lookup(Table& table, const char* keyField, std::vector<const char*> fields, std::vector<const char*> optional)
    : table_(table), keyField_(keyField), fields_(std::move(fields)), required_(fields_.size()) {
  fields_.insert(fields_.end(), optional.begin(), optional.end());
}

const std::vector<std::string>* Lookup::Find(const std::string& key) {
  if (!built_) {
    // The tables are held exclusively for the whole run, so one reading serves every lookup.
    size_t number = 0;
    std::vector<bool> present;
    for (size_t k = 0; k < fields_.size(); ++k) present.push_back(k < required_ || table_.HasField(fields_[k]));
    for (table_.First(); !table_.Eof(); table_.Next()) {
      ++number;
      std::string rowKey = table_.FieldText(keyField_);
      if (rows_.count(rowKey)) continue;
      Row row{number, {}};
      for (size_t k = 0; k < fields_.size(); ++k) row.values.push_back(present[k] ? table_.FieldText(fields_[k]) : "");
      rows_.emplace(std::move(rowKey), std::move(row));
    }
    built_ = true;
  }
  const auto found = rows_.find(key);
  if (found == rows_.end()) return nullptr;
  Row& row = found->second;
  if (!row.checked) {
    for (size_t k = 0; k < fields_.size(); ++k) CheckedForXml(row.values[k], table_, row.number, fields_[k]);
    row.checked = true;
  }
  return &row.values;
}

// The names of the eleven datos of an activity group, in their order.
constexpr const char* kDatoNames[] = {"N_DIASEMANA",    "X_TRAMO",      "X_DEPENDENCIA", "X_UNIDAD",
                                      "X_OFERTAMATRIG", "X_MATERIAOMG", "F_INICIO",      "F_FIN",
                                      "N_HORINI",       "N_HORFIN",     "X_ACTIVIDAD"};

// The widths GRUPOST and ASIGNOMT hold Séneca's identifiers in, as the tables say.
IdentifierWidths WidthsOf(const ImportTables& tables) {
  IdentifierWidths widths;
  if (tables.grupos.HasField("UNIDAD")) widths.unidad = tables.grupos.FieldWidth("UNIDAD");
  if (tables.nomAsg.HasField("MATERIA")) widths.materia = tables.nomAsg.FieldWidth("MATERIA");
  if (tables.nomAsg.HasField("CODLARGO")) widths.codlargo = tables.nomAsg.FieldWidth("CODLARGO");
  return widths;
}

Activities::Activities(const ImportTables& tables, RunReport& report, const SenecaContext& seneca)
    : soluc_(tables.soluc),
      report_(report),
      datos_(std::size(kDatoNames)),
      tramos_(tables.tramos, "DIHO", {"DIA", "CODDIHO", "HORADESDE", "HORAHASTA"}, {"HORA"}),
      aulas_(tables.aulas, "ABREV", {"DEPCENTRO"}),
      grupos_(tables.grupos, "ABREV", {"UNIDAD"}),
      materias_(tables.nomAsg, "COD", {"MATERIA", "CODLARGO"}, {"NOMBRE"}),
      kept_(seneca.kept),
      kinds_(seneca.kept, seneca.workDir, report),
      courses_(seneca.kept, WidthsOf(tables), report),
      hours_(report, seneca.kept != nullptr) {
  for (size_t k = 0; k < datos_.size(); ++k) datos_[k] = XmlText::MakeLeafTag("dato", {{"nombre_dato", kDatoNames[k]}});
  if (kept_) {
    for (const auto& slot : kept_->slots) slots_.emplace(slot.code, &slot);
  }
}

// An empty code is a lesson without room, unit or subject, not an unknown one: nothing to tell.
void Activities::ReportMissing(const char* kind, const char* table, const char* field, const char* what,
                               const std::string& value, const std::string& outcome) {
  if (value.empty()) return;
  const std::string shown = Quoted(value);
  report_.Add({kind, "SOLUC", static_cast<long>(lesson_.row), field, AnsiToUtf8(value), outcome,
               AnsiToUtf8(lesson_.profesor), lesson_.dia, lesson_.hora,
               lesson_.Text() + ": " + what + " " + shown + " no está en " + TableTitle(table) + "; " + outcome + "."});
}

std::vector<std::string> Activities::BuscarTramo(const std::string& slotKey) {
  if (const auto* found = tramos_.Find(slotKey)) return *found;
  ReportMissing("tramo_desconocido", "DIASHORAST", "DIA+HORA", "el tramo", slotKey,
                "N_DIASEMANA, X_TRAMO, N_HORINI y N_HORFIN van vacíos a Séneca");
  return std::vector<std::string>(5);
}

std::string Activities::BuscarDependencia(const std::string& aula) {
  const auto* found = aulas_.Find(aula);
  const std::string room = found ? (*found)[0] : std::string();
  if (!TrimControls(room).empty()) return room;
  if (!found)
    ReportMissing("aula_desconocida", "AULAT", "AULA", "el aula", aula, "X_DEPENDENCIA lleva el código de SOLUC");
  return Defined(CheckedForXml(aula, soluc_, lesson_.row, "AULA"), "AULA");
}

// A SOLUC code that goes to Séneca as it is: a byte Windows-1252 leaves
// undefined would reach the file as a control character; it goes as "?", told.
std::string Activities::Defined(const std::string& code, const char* field) {
  std::string shown = code;
  std::replace_if(
      shown.begin(), shown.end(), [](char c) { return IsUndefinedAnsi(static_cast<unsigned char>(c)); }, '?');
  if (shown == code) return code;
  char byte[8];
  const auto first =
      std::find_if(code.begin(), code.end(), [](char c) { return IsUndefinedAnsi(static_cast<unsigned char>(c)); });
  std::snprintf(byte, sizeof byte, "0x%02X", static_cast<unsigned char>(*first));
  report_.Add({"caracter_indefinido", "SOLUC", static_cast<long>(lesson_.row), field, AnsiToUtf8(code), shown,
               AnsiToUtf8(lesson_.profesor), lesson_.dia, lesson_.hora,
               lesson_.Text() + ": el código «" + shown + "» tiene un byte (" + byte +
                   ") que Windows-1252 no define; va a Séneca como «" + shown + "»."});
  return shown;
}

std::string Activities::BuscarUnidad(const std::string& codGrupo) {
  if (const auto* found = grupos_.Find(codGrupo)) return (*found)[0];
  ReportMissing("unidad_desconocida", "GRUPOST", "CODGRUPO", "la unidad", codGrupo, "X_UNIDAD va vacío a Séneca");
  return {};
}

std::vector<std::string> Activities::BuscarMateria(const std::string& asig) {
  if (const auto* found = materias_.Find(asig)) return *found;
  ReportMissing("materia_desconocida", "ASIGNOMT", "ASIG", "la materia", asig,
                "X_OFERTAMATRIG y X_MATERIAOMG van vacíos a Séneca");
  return std::vector<std::string>(3);
}

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

int Activities::CountActividades(const std::string& abrev, RoomsAt& rooms) {
  int count = 0;
  for (const size_t row : LessonsOf(abrev)) {
    soluc_.MoveTo(row);
    lesson_ = {abrev, soluc_.FieldInteger(Field(field_.dia, "DIA")), soluc_.FieldInteger(Field(field_.hora, "HORA")),
               row + 1};
    if (lesson_.dia == 0) {
      report_.Add({"clase_sin_colocar", "SOLUC", static_cast<long>(lesson_.row), "DIA", "0", "no pasa a Séneca",
                   AnsiToUtf8(abrev), 0, lesson_.hora,
                   TableTitle("SOLUC") + ", fila " + std::to_string(lesson_.row) + ": una clase del profesor «" +
                       AnsiToUtf8(abrev) + "» está sin colocar en Horavia; no pasa a Séneca."});
      continue;
    }
    ++count;
    CheckOneRoomAtATime(rooms, std::string(TrimControls(soluc_.FieldText(Field(field_.aula, "AULA")))));
  }
  return count;
}

// A teacher in two rooms at one day and slot is a clash Séneca takes without a
// word. One lesson given to several units in one room, or a row without a
// room, is no clash.
void Activities::CheckOneRoomAtATime(RoomsAt& rooms, const std::string& room) {
  if (room.empty()) return;
  auto [first, isNew] = rooms.try_emplace({lesson_.dia, lesson_.hora}, room, lesson_.row);
  if (isNew || first->second.first == room || first->second.second == 0) return;
  report_.Add({"profesor_en_dos_sitios", "SOLUC", static_cast<long>(lesson_.row), "AULA", AnsiToUtf8(room),
               AnsiToUtf8(first->second.first), AnsiToUtf8(lesson_.profesor), lesson_.dia, lesson_.hora,
               lesson_.Text() + ": está a la vez en el aula «" + AnsiToUtf8(first->second.first) + "» (fila " +
                   std::to_string(first->second.second) + ") y en «" + AnsiToUtf8(room) + "»."});
  first->second.second = 0;  // told once per day and slot
}

std::pair<int, std::string> Activities::SlotOf(const std::vector<std::string>& tramo) const {
  if (const auto kept = slots_.find(tramo[1]); kept != slots_.end()) {
    return {kept->second->end - kept->second->start, kept->second->label};
  }
  // DIASHORAST holds Séneca's minutes since midnight as hh:mm digits: 04:95 is 495.
  auto minutes = [](std::string text) {
    text.erase(std::remove(text.begin(), text.end(), ':'), text.end());
    return ParseInt32(text).value_or(0);
  };
  return {minutes(tramo[3]) - minutes(tramo[2]), tramo[4]};
}

int Activities::GenerarActividades(const std::string& abrev, XmlText& teacherGroup, const FechasCurso& fechas,
                                   int first) {
  std::string scratch;
  size_t next = 0;
  auto dato = [&](std::string_view ansiText) { teacherGroup.Leaf(datos_[next++], AsUtf8(ansiText, scratch)); };
  int m = first;
  for (const size_t row : LessonsOf(abrev)) {
    soluc_.MoveTo(row);
    const int dia = soluc_.FieldInteger(Field(field_.dia, "DIA"));
    if (dia == 0) continue;
    const int hora = soluc_.FieldInteger(Field(field_.hora, "HORA"));
    lesson_ = {abrev, dia, hora, row + 1};
    teacherGroup.Open("grupo_datos", {{"seq", "ACTIVIDAD_" + std::to_string(m++)}});
    next = 0;
    const auto tramo = BuscarTramo(soluc_.FieldText(field_.dia) + std::to_string(hora));
    dato(tramo[0]);  // N_DIASEMANA
    dato(tramo[1]);  // X_TRAMO
    dato(BuscarDependencia(soluc_.FieldText(Field(field_.aula, "AULA"))));
    const std::string codGrupo = soluc_.FieldText(Field(field_.codGrupo, "CODGRUPO"));
    const std::string unidad = BuscarUnidad(codGrupo);
    const std::string asig = soluc_.FieldText(Field(field_.asig, "ASIG"));
    const auto* inAsignomt = materias_.Find(asig);
    const LessonKind& kind = kinds_.Of(asig, inAsignomt, lesson_);
    // A code that stands for an activity is no unknown subject.
    const auto materia = inAsignomt || kind.activity == "1" ? BuscarMateria(asig) : std::vector<std::string>(3);
    dato(kind.unit ? unidad : std::string());  // X_UNIDAD
    const auto subject = !kind.subject ? std::pair<std::string, std::string>()
                         : kind.activity == "1" && !unidad.empty()
                             ? courses_.For(asig, codGrupo, unidad, materia, lesson_)
                             : std::pair{materia[0], materia[1]};
    dato(subject.first);   // X_OFERTAMATRIG
    dato(subject.second);  // X_MATERIAOMG
    dato(fechas.inicio);
    dato(fechas.fin);
    dato(ConvertirHora(tramo[2]));
    dato(ConvertirHora(tramo[3]));
    dato(kind.activity);  // X_ACTIVIDAD
    teacherGroup.Close("grupo_datos");
    const auto [minutes, label] = SlotOf(tramo);
    hours_.Lesson(kind, minutes, label, lesson_);
  }
  return m - first;
}

void Activities::ReportTeachersNotInProft(const std::vector<std::string>& proftCodes) {
  LessonsOf("");
  std::map<std::string, size_t> unread;  // sorted, so the report reads the same every time
  for (const auto& [code, rows] : lessons_) unread.emplace(code, rows.size());
  for (const auto& code : proftCodes) unread.erase(code);
  for (const auto& [code, rows] : unread) {
    const size_t first = lessons_[code].front() + 1;
    report_.Add({"profesor_sin_ficha",
                 "SOLUC",
                 static_cast<long>(first),
                 "PROF",
                 AnsiToUtf8(code),
                 "no pasa a Séneca",
                 AnsiToUtf8(code),
                 {},
                 {},
                 TableTitle("SOLUC") + ", fila " + std::to_string(first) + ": " + Counted(rows, "clase", "clases") +
                     " del profesor «" + AnsiToUtf8(code) + "», que no está en " + TableTitle("PROFT") + "; " +
                     (rows == 1 ? "no pasa" : "no pasan") + " a Séneca."});
  }
}

}  // namespace enlazor
