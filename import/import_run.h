// The import run: Horavia's work tables and its solution SOLUC to a Séneca
// regular-timetable document.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "exchange/report.h"

namespace enlazor {

// "ResultadoTempra" + the chosen file's name, in the chosen file's folder (UTF-8).
std::string OutputPathFor(const std::string& archivoXml);

// Refuses with "No existe archivo" or the ATENCIÓN message; otherwise
// finishes a set an interrupted export left pending, reads the school-year
// dates, calls afterDates, and writes the document from the template as it
// reads the tables. A failed run writes nothing and leaves every table closed.
RunReport RunImport(const std::filesystem::path& archivoXml, const std::filesystem::path& workDir,
                    const std::filesystem::path& templatePath, const std::function<void()>& afterDates = {});

inline constexpr const char* kAtencion = "ATENCIÓN Falta un Fich. Temporal. Transforme de nuevo de Séneca a Horavia";

}  // namespace enlazor
