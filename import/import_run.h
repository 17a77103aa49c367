// The import run: Horavia's work tables and its solution SOLUC to a Séneca
// regular-timetable document.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "exchange/report.h"

namespace enlazor {

// The template's name: read from the current folder (the chosen file's, in the window).
inline constexpr const char* kTemplateName = "base.xml";

// The template the import fills: a file, and whether to make one from the
// work tables when the file is not there (the user named none of his own).
struct TemplateChoice {
  TemplateChoice(std::filesystem::path file, bool generate = true)
      : path(std::move(file)), generateWhenMissing(generate) {}
  std::filesystem::path path;
  bool generateWhenMissing;
};

// "ResultadoTempra" + the chosen file's name, in the chosen file's folder (UTF-8).
std::string OutputPathFor(const std::string& archivoXml);

// Refuses with "No existe archivo" or the ATENCIÓN message; otherwise
// finishes a set an interrupted export left pending, reads the school-year
// dates, calls afterDates, and writes the document from the template as it
// reads the tables. A failed run writes nothing and leaves every table closed.
RunReport RunImport(const std::filesystem::path& archivoXml, const std::filesystem::path& workDir,
                    const TemplateChoice& plantilla, const std::function<void()>& afterDates = {});

inline constexpr const char* kAtencion = "ATENCIÓN Falta un Fich. Temporal. Transforme de nuevo de Séneca a Horavia";

}  // namespace enlazor
