// enlazor-cli: the two commands of Enlazor from a terminal.
#include <optional>
#include <string>
#include <vector>

#include "exchange/failure.h"
#include "exchange/platform.h"
#include "export/export_run.h"
#include "import/import_run.h"

namespace {

using enlazor::platform::PathFromUtf8;
using enlazor::platform::PrintText;

constexpr int kUsageError = 2;
constexpr int kRefused = 3;

const char* const kHelp =
    "Uso: enlazor-cli ORDEN ARCHIVO [opciones]\n"
    "\n"
    "Órdenes:\n"
    "  export ARCHIVO [--workdir CARPETA]\n"
    "      De Séneca a Horavia: reconstruye las tablas de trabajo a partir del\n"
    "      archivo XML exportado de Séneca.\n"
    "  import ARCHIVO [--workdir CARPETA] [--template PLANTILLA]\n"
    "      De Horavia a Séneca: escribe \"ResultadoTempra\" + el nombre de ARCHIVO\n"
    "      en la carpeta de ARCHIVO, con el horario regular de cada profesor.\n"
    "\n"
    "Opciones:\n"
    "  --workdir CARPETA     carpeta de trabajo de Horavia (por omisión C:\\HTEMP)\n"
    "  --template PLANTILLA  plantilla XML (por omisión base.xml en la carpeta actual)\n"
    "  --informe FICHERO     escribe el informe de la orden en FICHERO, en JSON\n"
    "  --silencio            no escribe nada si la orden termina bien\n"
    "  --help                muestra esta ayuda\n"
    "  --version             muestra la versión\n"
    "\n"
    "El resumen va a la salida estándar; los avisos, uno por línea, a la salida\n"
    "de errores.\n"
    "\n"
    "Estado de salida: 0 correcto (también con avisos), 1 el proceso falló,\n"
    "2 uso incorrecto, 3 el programa rechazó la orden (no existe el archivo, falta\n"
    "CURSOACAD o el archivo no es una exportación de Séneca).\n";

struct Arguments {
  std::string command, file;
  std::optional<std::string> workdir, templatePath, report;
  bool silent = false;
};

std::optional<Arguments> Parse(const std::vector<std::string>& args) {
  Arguments parsed;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (arg == "--workdir" && hasValue) parsed.workdir = args[++i];
    else if (arg == "--template" && hasValue && parsed.command == "import") parsed.templatePath = args[++i];
    else if (arg == "--informe" && hasValue) parsed.report = args[++i];
    else if (arg == "--silencio") parsed.silent = true;
    else if (arg.rfind("--", 0) == 0) return std::nullopt;
    else if (parsed.command.empty()) parsed.command = arg;
    else if (parsed.file.empty()) parsed.file = arg;
    else return std::nullopt;
  }
  const bool known = parsed.command == "export" || parsed.command == "import";
  if (!known || parsed.file.empty()) return std::nullopt;
  return parsed;
}

std::filesystem::path WorkDir(const Arguments& args) {
  return enlazor::platform::MapWindowsPath(args.workdir.value_or(std::string(enlazor::platform::kWorkDirectory)));
}

void Tell(const Arguments& args, const enlazor::RunReport& report, const char* done) {
  if (args.report) enlazor::platform::WriteFileAtomically(PathFromUtf8(*args.report), report.Json());
  if (args.silent) return;
  std::string summary;
  if (!report.salida.empty()) summary += report.salida + "\n";
  summary += std::string(done) + "\n";
  for (const auto& [table, rows] : report.tablas) summary += table + ": " + std::to_string(rows) + " filas\n";
  if (report.orden == "importar") {
    summary += std::to_string(report.profesores) + " profesores, " + std::to_string(report.actividades) + " actividades\n";
  }
  if (!report.hallazgos.empty()) summary += report.Summary() + " Los detalles van en la salida de errores.\n";
  PrintText(false, summary);
  if (!report.hallazgos.empty()) PrintText(true, report.Details());
}

int Run(const Arguments& args) {
  if (args.command == "export") {
    Tell(args, enlazor::RunExport(PathFromUtf8(args.file), WorkDir(args)), "Proceso finalizado");
  } else {
    const auto templatePath = PathFromUtf8(args.templatePath.value_or("base.xml"));
    Tell(args, enlazor::RunImport(PathFromUtf8(args.file), WorkDir(args), templatePath), "Proceso Terminado");
  }
  return 0;
}

int Main(const std::vector<std::string>& args) {
  if (args.size() == 1 && args[0] == "--help") {
    PrintText(false, kHelp);
    return 0;
  }
  if (args.size() == 1 && args[0] == "--version") {
    PrintText(false, std::string("enlazor-cli ") + ENLAZOR_VERSION + "\n");
    return 0;
  }
  const auto parsed = Parse(args);
  if (!parsed) {
    PrintText(true, "Uso incorrecto. Pruebe: enlazor-cli --help\n");
    return kUsageError;
  }
  try {
    return Run(*parsed);
  } catch (const enlazor::Refusal& refusal) {
    PrintText(true, std::string(refusal.what()) + "\n");
    return kRefused;
  } catch (const std::exception& failure) {
    PrintText(true, enlazor::FailureText(failure) + "\n");
    return 1;
  }
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(enlazor::platform::WideToUtf8(argv[i]));
  return Main(args);
}
#else
int main(int argc, char** argv) { return Main(std::vector<std::string>(argv + 1, argv + argc)); }
#endif
