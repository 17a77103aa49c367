// enlazor-cli: the two commands of Enlazor from a terminal.
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "exchange/failure.h"
#include "exchange/platform.h"
#include "export/export_run.h"
#include "import/import_run.h"

namespace {

constexpr int kUsageError = 2;
constexpr int kRefused = 3;

const char* const kHelp =
    "Uso: enlazor-cli ORDEN [opciones]\n"
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
    "  --help                muestra esta ayuda\n"
    "  --version             muestra la versión\n"
    "\n"
    "Estado de salida: 0 correcto, 1 el proceso falló, 2 uso incorrecto,\n"
    "3 el programa rechazó la orden (falta un archivo).\n";

struct Arguments {
  std::string command;
  std::string file;
  std::optional<std::string> workdir;
  std::optional<std::string> templatePath;
};

std::optional<Arguments> Parse(const std::vector<std::string>& args) {
  Arguments parsed;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (arg == "--workdir" && hasValue) parsed.workdir = args[++i];
    else if (arg == "--template" && hasValue && parsed.command == "import") parsed.templatePath = args[++i];
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

int Export(const Arguments& args) {
  const auto counts = enlazor::RunExport(args.file, WorkDir(args));
  std::cout << "Proceso finalizado\n";
  for (const auto& [table, rows] : counts) std::cout << table << ": " << rows << " filas\n";
  return 0;
}

int Import(const Arguments& args) {
  const auto output = enlazor::RunImport(args.file, WorkDir(args), args.templatePath.value_or("base.xml"));
  std::cout << std::filesystem::absolute(output).string() << "\nProceso Terminado\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 1 && args[0] == "--help") {
    std::cout << kHelp;
    return 0;
  }
  if (args.size() == 1 && args[0] == "--version") {
    std::cout << "enlazor-cli " << ENLAZOR_VERSION << "\n";
    return 0;
  }
  const auto parsed = Parse(args);
  if (!parsed) {
    std::cerr << "Uso incorrecto. Pruebe: enlazor-cli --help\n";
    return kUsageError;
  }
  try {
    return parsed->command == "export" ? Export(*parsed) : Import(*parsed);
  } catch (const enlazor::Refusal& refusal) {
    std::cerr << refusal.what() << "\n";
    return kRefused;
  } catch (const std::exception& failure) {
    std::cerr << failure.what() << "\n";
    return 1;
  }
}
