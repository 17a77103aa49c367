#include "exchange/report.h"

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
    {"codigo_renumerado", "código renumerado", "códigos renumerados", true},
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
  return text;
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
  if (review == 0 && routine.empty()) return {};
  const std::string reviewed =
      review ? Counted(review, "aviso para revisar", "avisos para revisar") + " (" + kinds + ")" : "";
  return (review ? reviewed + routine : routine.substr(2)) + ".";
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
  if (review.empty()) return routine;
  return "Para revisar:\n" + review + (routine.empty() ? "" : "\nDe rutina:\n" + routine);
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
           ",\n";
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
