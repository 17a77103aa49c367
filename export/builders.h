// The seven builders of the export run. Each rebuilds one work table in the
// given folder from the Séneca document and returns the rows it wrote.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "exchange/xml.h"

namespace enlazor {

namespace fs = std::filesystem;

// The value at a position of an element: the dato's text without the
// characters up to the blank at both ends, as Windows-1252; "" past the end.
std::string DatoText(const XmlNodeList& datos, size_t position);

size_t CrearCursoAcad(const XmlDocument& doc, const fs::path& folder);
size_t CrearAsignaturas(const XmlDocument& doc, const fs::path& folder);
size_t CrearProfesores(const XmlDocument& doc, const fs::path& folder);
size_t CrearAulas(const XmlDocument& doc, const fs::path& folder);
size_t CrearUnidades(const XmlDocument& doc, const fs::path& folder);
size_t CrearAsignaciones(const XmlDocument& doc, const fs::path& folder);
size_t CrearTramos(const XmlDocument& doc, const fs::path& folder);

struct Builder {
  const char* table;
  size_t (*build)(const XmlDocument&, const fs::path&);
};
// In the order the run calls them.
const std::vector<Builder>& Builders();

}  // namespace enlazor
