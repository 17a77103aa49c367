#include "exchange/report.h"

#include <algorithm>
#include <map>

#include "exchange/codec.h"

namespace enlazor {
namespace {

// Every kind of finding, in the order the details list them, with its name
// in the summary. All but the routine ones ask the user to look before the
// data goes on.
struct Kind {
  const char* tipo;
  const char* one;
  const char* many;
  bool routine;
};
constexpr Kind kKinds[] = {
    {"sin_datos_de_seneca", "conjunto sin los datos de Séneca", "conjuntos sin los datos de Séneca", false},
    {"datos_de_seneca_no_validos", "datos de Séneca que no sirven", "datos de Séneca que no sirven", false},
    {"profesor_sin_horario", "profesor sin horario", "profesores sin horario", false},
    {"actividad_desconocida", "materia que no es de Séneca ni una actividad",
     "materias que no son de Séneca ni actividades", false},
    {"linea_de_actividades", "línea de Enlazor-actividades.txt que no se aplica",
     "líneas de Enlazor-actividades.txt que no se aplican", false},
    {"materia_de_otro_curso", "clase con una materia de otro curso", "clases con una materia de otro curso", false},
    {"clase_en_recreo", "clase en el recreo o en un tramo corto", "clases en el recreo o en tramos cortos", false},
    {"mas_de_25_horas", "profesor con más de 25 horas", "profesores con más de 25 horas", false},
    {"actividad_no_regular", "actividad que no es regular", "actividades que no son regulares", false},
    {"clase_sin_colocar", "clase sin colocar", "clases sin colocar", false},
    {"profesor_sin_ficha", "profesor de SOLUC que no está en PROFT", "profesores de SOLUC que no están en PROFT",
     false},
    {"tramo_desconocido", "clase con tramo desconocido", "clases con tramo desconocido", false},
    {"aula_desconocida", "clase con aula desconocida", "clases con aula desconocida", false},
    {"unidad_desconocida", "clase con unidad desconocida", "clases con unidad desconocida", false},
    {"materia_desconocida", "clase con materia desconocida", "clases con materia desconocida", false},
    {"caracter_indefinido", "código con un byte indefinido", "códigos con un byte indefinido", false},
    {"profesor_en_dos_sitios", "profesor en dos aulas a la vez", "profesores en dos aulas a la vez", false},
    {"identificador_cortado", "identificador cortado", "identificadores cortados", false},
    {"empleado_repetido", "empleado repetido", "empleados repetidos", false},
    {"valor_cortado", "valor cortado", "valores cortados", false},
    {"registro_incompleto", "registro incompleto", "registros incompletos", false},
    {"curso_no_valido", "curso que no es un año", "cursos que no son un año", false},
    {"curso_distinto", "plantilla de otro curso", "plantillas de otro curso", false},
    {"copia_pendiente", "copia sin guardar", "copias sin guardar", false},
    {"asignaciones_en_copia", "tabla de asignaciones que queda en la copia",
     "tablas de asignaciones que quedan en la copia", false},
    {"codigo_renumerado", "código renumerado", "códigos renumerados", true},
    {"actividad_asignada", "materia que va como actividad", "materias que van como actividades", true},
    {"materia_cambiada", "materia cambiada por la de su curso", "materias cambiadas por las de su curso", true},
    {"profesor_unido", "puesto en un solo horario", "puestos en un solo horario", true},
    {"plantilla_generada", "plantilla generada", "plantillas generadas", true},
};

const Kind* KindOf(const std::string& tipo) {
  for (const Kind& kind : kKinds) {
    if (tipo == kind.tipo) return &kind;
  }
  return nullptr;
}

// The sentences of a kind's findings (of one table, when given), one per indented line.
std::string Listed(const std::vector<Finding>& findings, const char* tipo, const std::string* tabla = nullptr) {
  std::string text;
  for (const auto& finding : findings) {
    if (finding.tipo == tipo && (!tabla || finding.tabla == *tabla)) text += "  " + finding.mensaje + "\n";
  }
  return text;
}

std::string Capitalized(std::string text) {
  if (!text.empty()) text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
  return text;
}

}  // namespace

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const size_t length = Utf8Length(text, i);
    if (length == 0) {
      out += "\\ufffd";  // a byte that is no UTF-8 (a Linux file name may hold one): still valid JSON
      ++i;
    } else if (byte == '"' || byte == '\\') {
      out += '\\';
      out += text[i++];
    } else if (byte < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      out += escaped;
      ++i;
    } else {
      out.append(text, i, length);
      i += length;
    }
  }
  return out + "\"";
}

std::string TableTitle(std::string_view table) {
  static const std::map<std::string_view, const char*> titles = {
      {"CURSOACAD", "Curso escolar"},  {"ASIGNOMT", "Materias"},
      {"PROFT", "Profesorado"},        {"AULAT", "Aulas"},
      {"GRUPOST", "Unidades"},         {"ASIGT", "Asignaciones"},
      {"DIASHORAST", "Días y tramos"}, {"SOLUC", "Horario de Horavia"},
  };
  const auto found = titles.find(table);
  return found == titles.end() ? std::string(table) : std::string(found->second) + " (" + std::string(table) + ")";
}

std::string TablesJson(const std::vector<TableRows>& tablas) {
  std::string out = "[";
  for (size_t k = 0; k < tablas.size(); ++k) {
    out += (k ? ", " : "") + std::string("{\"tabla\": ") + JsonString(tablas[k].tabla) +
           ", \"filas\": " + std::to_string(tablas[k].filas) + "}";
  }
  return out + "]";
}

std::string HoursText(long minutes) {
  const std::string hours = std::to_string(minutes / 60) + " h";
  return minutes % 60 == 0 ? hours : hours + " " + std::to_string(minutes % 60) + " min";
}

std::string Quoted(std::string_view ansi) { return "«" + AnsiToUtf8(ansi) + "»"; }

std::string Enumerated(const std::vector<std::string>& items) {
  std::string text;
  for (size_t k = 0; k < items.size(); ++k) text += (k == 0 ? "" : k + 1 == items.size() ? " y " : ", ") + items[k];
  return text;
}

std::string Counted(size_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

void RunReport::Add(Finding finding) {
  ++counts_[finding.tipo];
  ++byTable_[{finding.tipo, finding.tabla}];
  if (counts_[finding.tipo] <= kKeptPerKind)
    hallazgos.push_back(std::move(finding));
  else
    ++omitidos[finding.tipo];
}

std::string RunReport::Closing() const {
  std::string text;
  if (orden == "exportar") text = std::string(kExportDone) + "\nArchivo de Séneca: " + archivo;
  if (orden == "importar") text = std::string(kImportDone) + "\nArchivo para Séneca: " + salida;
  if (orden == "restaurar") text = std::string(kRestoreDone) + "\nCopia puesta de nuevo: " + archivo;
  if (!copia.empty()) text += "\nTablas sustituidas guardadas en: " + copia;
  if (reusedChoice) text += std::string("\n") + kEarlierFileUsed;
  return text + ChangesText();
}

size_t RunReport::Count() const {
  size_t count = 0;
  for (const auto& [tipo, n] : counts_) count += n;
  return count;
}

std::string RunReport::Summary() const {
  size_t review = 0;
  std::string kinds, routine;
  for (const Kind& kind : kKinds) {
    const auto found = counts_.find(kind.tipo);
    if (found == counts_.end()) continue;
    const std::string counted = Counted(found->second, kind.one, kind.many);
    if (kind.routine) {
      routine += "; " + counted;
    } else {
      review += found->second;
      kinds += (kinds.empty() ? "" : ", ") + counted;
    }
  }
  std::string totals;
  if (orden == "importar") {
    totals = Counted(profesores, "profesor", "profesores") + ": " + Counted(clases, "clase", "clases") + ", " +
             Counted(guardias, "guardia", "guardias") + " y " + Counted(otras, "otra actividad", "otras actividades") +
             ".";
  }
  if (review == 0 && routine.empty()) return totals;
  const std::string reviewed =
      review ? Counted(review, "aviso para revisar", "avisos para revisar") + " (" + kinds + ")" : "";
  return (totals.empty() ? "" : totals + " ") + (review ? reviewed + routine : routine.substr(2)) + ".";
}

std::string RunReport::Details() const {
  std::string review, routine;
  for (const Kind& kind : kKinds) {
    const auto count = counts_.find(kind.tipo);
    if (count == counts_.end()) continue;
    const auto omitted = omitidos.find(kind.tipo);
    const std::string more = omitted == omitidos.end() ? "" : "  ... y " + std::to_string(omitted->second) + " más.\n";
    if (!kind.routine) {
      review +=
          Capitalized(kind.many) + " (" + std::to_string(count->second) + "):\n" + Listed(hallazgos, kind.tipo) + more;
      continue;
    }
    for (const auto& [key, inTable] : byTable_) {
      if (key.first != kind.tipo) continue;
      routine += Capitalized(kind.many) + " en " + TableTitle(key.second) + ": " + std::to_string(inTable) + "\n" +
                 Listed(hallazgos, kind.tipo, &key.second);
    }
    routine += more;
  }
  std::string text =
      review.empty() ? routine : "Para revisar:\n" + review + (routine.empty() ? "" : "\nDe rutina:\n" + routine);
  if (!horas.empty()) text += (text.empty() ? "" : "\n") + HoursList();
  return text;
}

// What the export changed, a line per kind of thing, as a head of studies reads it.
std::string RunReport::ChangesText() const {
  if (cambios.empty()) return {};
  std::string text = "\nRespecto a las tablas sustituidas:";
  if (!otro_curso.empty()) text += "\n  eran de otro curso, el «" + otro_curso + "».";
  if (otro_centro == "?") {
    return text + "\n  no tienen ningún profesor, materia, aula ni unidad en común con estas: eran de otro centro.";
  }
  if (!otro_centro.empty()) return text + "\n  eran de otro centro, «" + otro_centro + "».";
  struct Words {
    const char *que, *title, *one, *many;
  };
  static constexpr Words kWords[] = {{"profesores", "Profesorado", "nuevo", "nuevos"},
                                     {"materias", "Materias", "nueva", "nuevas"},
                                     {"aulas", "Aulas", "nueva", "nuevas"},
                                     {"unidades", "Unidades", "nueva", "nuevas"}};
  auto names = [](std::vector<std::string> named, size_t count) {
    if (count > named.size()) named.push_back(std::to_string(count - named.size()) + " más");
    return " (" + Enumerated(named) + ")";
  };
  std::vector<std::string> same;
  std::string unread;
  for (const Words& w : kWords) {
    const bool compared =
        std::any_of(cambios.begin(), cambios.end(), [&](const SetChange& change) { return change.que == w.que; });
    if (!compared)
      unread += std::string("\n  ") + w.title + ": no se ha podido leer una de las dos tablas; no se compara.";
  }
  for (const SetChange& change : cambios) {
    const Words* words = nullptr;
    for (const Words& w : kWords) words = change.que == w.que ? &w : words;
    if (!words) continue;
    if (change.cuantos_nuevos == 0 && change.cuantos_quitados == 0) {
      same.push_back(LowerWesternLetters(words->title));
      continue;
    }
    std::string line = std::string("\n  ") + words->title + ": ";
    if (change.cuantos_nuevos)
      line += Counted(change.cuantos_nuevos, words->one, words->many) + names(change.nuevos, change.cuantos_nuevos);
    if (change.cuantos_nuevos && change.cuantos_quitados) line += " y ";
    if (change.cuantos_quitados) {
      line += std::to_string(change.cuantos_quitados) +
              (change.cuantos_quitados == 1 ? " que ya no está" : " que ya no están") +
              names(change.quitados, change.cuantos_quitados);
    }
    text += line + ".";
  }
  if (same.size() == std::size(kWords)) return text + "\n  los mismos profesores, materias, aulas y unidades.";
  return text + unread + (same.empty() ? "" : "\n  sin cambios en " + Enumerated(same) + ".");
}

// Each teacher's regular hours, in the order of PROFT, as the head of studies checks them.
std::string RunReport::HoursList() const {
  std::string text = "Horas de cada profesor en el horario regular, en el orden de " + TableTitle("PROFT") + ":\n";
  for (const auto& t : horas) {
    text += "  " + AnsiToUtf8(t.profesor) + "  " + AnsiToUtf8(t.nombre) + ": " + HoursText(t.Regular()) + " (" +
            HoursText(t.minutos_clase) + " de clase, " + HoursText(t.minutos_guardia) + " de guardia, " +
            HoursText(t.minutos_otras) + " de otras actividades)" +
            (t.minutos_no_regulares ? "; y " + HoursText(t.minutos_no_regulares) + " fuera del horario regular" : "") +
            "\n";
  }
  return text;
}

std::string RunReport::Lines() const {
  std::string text;
  for (const auto& finding : hallazgos) text += finding.mensaje + "\n";
  for (const auto& [tipo, omitted] : omitidos) {
    const Kind* kind = KindOf(tipo);
    text += "... y " + std::to_string(omitted) + " más del tipo «" + (kind ? kind->many : tipo) + "».\n";
  }
  return text;
}

std::string RunReport::Json() const {
  auto number = [](long value) { return value == 0 ? std::string("null") : std::to_string(value); };
  auto optional = [](std::optional<int> value) { return value ? std::to_string(*value) : std::string("null"); };
  auto text = [](const std::string& value) { return value.empty() ? std::string("null") : JsonString(value); };
  std::string out = "{\n  \"orden\": " + JsonString(orden) + ",\n  \"archivo\": " + JsonString(archivo) +
                    ",\n  \"salida\": " + text(salida) + ",\n  \"copia\": " + text(copia) +
                    ",\n  \"tablas\": " + TablesJson(tablas) + ",\n";
  if (orden == "importar") {
    out += "  \"profesores\": " + std::to_string(profesores) + ",\n  \"actividades\": " + std::to_string(actividades) +
           ",\n  \"clases\": " + std::to_string(clases) + ",\n  \"guardias\": " + std::to_string(guardias) +
           ",\n  \"otras\": " + std::to_string(otras) + ",\n  \"horas\": [";
    for (size_t k = 0; k < horas.size(); ++k) {
      const TeacherHours& t = horas[k];
      out += std::string(k ? "," : "") + "\n    {\"profesor\": " + JsonString(AnsiToUtf8(t.profesor)) +
             ", \"empleado\": " + JsonString(AnsiToUtf8(t.empleado)) +
             ", \"nombre\": " + JsonString(AnsiToUtf8(t.nombre)) +
             ", \"minutos_clase\": " + std::to_string(t.minutos_clase) +
             ", \"minutos_guardia\": " + std::to_string(t.minutos_guardia) +
             ", \"minutos_otras\": " + std::to_string(t.minutos_otras) +
             ", \"minutos_no_regulares\": " + std::to_string(t.minutos_no_regulares) + "}";
    }
    out += horas.empty() ? "],\n" : "\n  ],\n";
  }
  if (orden == "exportar") {
    out += "  \"cambios\": [";
    for (size_t k = 0; k < cambios.size(); ++k) {
      auto list = [](const std::vector<std::string>& names) {
        std::string json;
        for (size_t n = 0; n < names.size(); ++n) json += (n ? ", " : "") + JsonString(names[n]);
        return "[" + json + "]";
      };
      const SetChange& c = cambios[k];
      out += std::string(k ? "," : "") + "\n    {\"que\": " + JsonString(c.que) +
             ", \"cuantos_nuevos\": " + std::to_string(c.cuantos_nuevos) + ", \"nuevos\": " + list(c.nuevos) +
             ", \"cuantos_quitados\": " + std::to_string(c.cuantos_quitados) + ", \"quitados\": " + list(c.quitados) +
             "}";
    }
    out += std::string(cambios.empty() ? "]" : "\n  ]") + ",\n  \"otro_curso\": " + text(otro_curso) +
           ",\n  \"otro_centro\": " + text(otro_centro) + ",\n";
  }
  out += "  \"hallazgos\": [";
  for (size_t k = 0; k < hallazgos.size(); ++k) {
    const Finding& f = hallazgos[k];
    out += std::string(k ? "," : "") + "\n    {\"tipo\": " + JsonString(f.tipo) + ", \"tabla\": " + text(f.tabla) +
           ", \"fila\": " + number(f.fila) + ", \"campo\": " + text(f.campo) + ", \"valor\": " + JsonString(f.valor) +
           ", \"queda\": " + JsonString(f.queda) + ", \"profesor\": " + text(f.profesor) +
           ", \"dia\": " + optional(f.dia) + ", \"tramo\": " + optional(f.tramo) +
           ", \"mensaje\": " + JsonString(f.mensaje) + "}";
  }
  out += hallazgos.empty() ? "],\n" : "\n  ],\n";
  out += "  \"omitidos\": {";
  bool first = true;
  for (const auto& [kind, omitted] : omitidos) {
    out += (first ? "" : ", ") + JsonString(kind) + ": " + std::to_string(omitted);
    first = false;
  }
  return out + "}\n}\n";
}

}  // namespace enlazor
