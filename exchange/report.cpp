#include "exchange/report.h"

#include <map>

namespace enlazor {
namespace {

// What each kind is called in the summary line.
const std::map<std::string, std::pair<const char*, const char*>>& KindNames() {
  static const std::map<std::string, std::pair<const char*, const char*>> names = {
      {"valor_cortado", {"valor cortado", "valores cortados"}},
      {"identificador_cortado", {"identificador cortado", "identificadores cortados"}},
      {"codigo_renumerado", {"código renumerado", "códigos renumerados"}},
      {"registro_incompleto", {"registro incompleto", "registros incompletos"}},
      {"empleado_repetido", {"empleado repetido", "empleados repetidos"}},
      {"tramo_desconocido", {"clase con tramo desconocido", "clases con tramo desconocido"}},
      {"aula_desconocida", {"clase con aula desconocida", "clases con aula desconocida"}},
      {"unidad_desconocida", {"clase con unidad desconocida", "clases con unidad desconocida"}},
      {"materia_desconocida", {"clase con materia desconocida", "clases con materia desconocida"}},
      {"profesor_sin_ficha", {"profesor de SOLUC que no está en PROFT", "profesores de SOLUC que no están en PROFT"}},
      {"clase_sin_colocar", {"clase sin colocar", "clases sin colocar"}},
  };
  return names;
}

}  // namespace

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string Counted(size_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

void RunReport::Add(Finding finding) {
  if (kept_[finding.tipo]++ < kKeptPerKind) hallazgos.push_back(std::move(finding));
  else ++omitidos[finding.tipo];
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
  size_t count = hallazgos.size();
  for (const auto& [kind, omitted] : omitidos) count += omitted;
  return count;
}

std::string RunReport::Summary() const {
  if (hallazgos.empty()) return {};
  std::map<std::string, size_t> counts = omitidos;
  for (const auto& finding : hallazgos) ++counts[finding.tipo];
  std::string line = Count() == 1 ? "1 aviso: " : std::to_string(Count()) + " avisos: ";
  bool first = true;
  for (const auto& [kind, count] : counts) {
    const auto name = KindNames().find(kind);
    const std::string shown = name == KindNames().end() ? kind : count == 1 ? name->second.first : name->second.second;
    line += (first ? "" : ", ") + std::to_string(count) + " " + shown;
    first = false;
  }
  return line + ".";
}

std::string RunReport::Details() const {
  std::string text;
  for (const auto& finding : hallazgos) text += finding.mensaje + "\n";
  for (const auto& [kind, omitted] : omitidos) {
    const auto name = KindNames().find(kind);
    text += "... y " + std::to_string(omitted) + " más del tipo «" +
            (name == KindNames().end() ? kind : std::string(name->second.second)) + "».\n";
  }
  return text;
}

std::string RunReport::Json() const {
  auto number = [](long value) { return value == 0 ? std::string("null") : std::to_string(value); };
  auto text = [](const std::string& value) { return value.empty() ? std::string("null") : JsonString(value); };
  std::string out = "{\n  \"orden\": " + JsonString(orden) + ",\n  \"archivo\": " + JsonString(archivo) +
                    ",\n  \"salida\": " + text(salida) + ",\n  \"copia\": " + text(copia) +
                    ",\n  \"tablas\": [";
  for (size_t k = 0; k < tablas.size(); ++k) {
    out += (k ? ", " : "") + std::string("{\"tabla\": ") + JsonString(tablas[k].tabla) +
           ", \"filas\": " + std::to_string(tablas[k].filas) + "}";
  }
  out += "],\n";
  if (orden == "importar") {
    out += "  \"profesores\": " + std::to_string(profesores) + ",\n  \"actividades\": " + std::to_string(actividades) + ",\n";
  }
  out += "  \"hallazgos\": [";
  for (size_t k = 0; k < hallazgos.size(); ++k) {
    const Finding& f = hallazgos[k];
    out += std::string(k ? "," : "") + "\n    {\"tipo\": " + JsonString(f.tipo) + ", \"tabla\": " + text(f.tabla) +
           ", \"fila\": " + number(f.fila) + ", \"campo\": " + text(f.campo) + ", \"valor\": " + JsonString(f.valor) +
           ", \"queda\": " + JsonString(f.queda) + ", \"profesor\": " + text(f.profesor) + ", \"dia\": " + number(f.dia) +
           ", \"tramo\": " + number(f.tramo) + ", \"mensaje\": " + JsonString(f.mensaje) + "}";
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
