// enlazor-cli: the commands of Enlazor from a terminal.
#include <optional>
#include <string>
#include <vector>

#include "exchange/copies.h"
#include "exchange/failure.h"
#include "exchange/platform.h"
#include "export/export_run.h"
#include "export/restore_run.h"
#include "import/import_run.h"

namespace {

using enlazor::Counted;
using enlazor::platform::PathFromUtf8;
using enlazor::platform::PrintText;

constexpr int kUsageError = 2;
constexpr int kRefused = 3;

const char* const kHelp =
    "Uso: enlazor-cli ORDEN [ARCHIVO] [opciones]\n"
    "\n"
    "Órdenes:\n"
    "  export ARCHIVO [--workdir CARPETA]\n"
    "      De Séneca a Horavia: reconstruye las tablas de trabajo a partir del\n"
    "      archivo XML exportado de Séneca. Las tablas que había se guardan como\n"
    "      copia en la carpeta Enlazor-copias de la carpeta de trabajo.\n"
    "  import ARCHIVO [--workdir CARPETA] [--template PLANTILLA]\n"
    "      De Horavia a Séneca: escribe \"ResultadoTempra\" + el nombre de ARCHIVO\n"
    "      en la carpeta de ARCHIVO, con el horario regular de cada profesor.\n"
    "  copias [--workdir CARPETA]\n"
    "      Lista las copias de tablas anteriores, la más reciente primero.\n"
    "  restaurar [N] [--workdir CARPETA]\n"
    "      Vuelve a poner las tablas de la copia N (por omisión la 1, la más\n"
    "      reciente); las que sustituye quedan como otra copia.\n"
    "\n"
    "Opciones:\n"
    "  --workdir CARPETA     carpeta de trabajo de Horavia (por omisión C:\\HTEMP)\n"
    "  --template PLANTILLA  plantilla XML (por omisión base.xml en la carpeta actual;\n"
    "                        si no la hay, se genera a partir de las tablas)\n"
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
    "CURSOACAD, el archivo no es una exportación de Séneca o no hay esa copia).\n";

struct Arguments {
  std::string command, file;
  std::optional<std::string> workdir, templatePath, report;
  std::optional<size_t> number;
  bool silent = false;
};

bool TakesFile(const std::string& command) { return command == "export" || command == "import"; }

std::optional<size_t> Number(const std::string& text) {
  if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
  return std::stoul(text);
}

// One positional argument after the command: the file, or a copy's number.
bool TakePositional(Arguments& parsed, const std::string& arg) {
  if (TakesFile(parsed.command) && parsed.file.empty()) parsed.file = arg;
  else if (parsed.command == "restaurar" && !parsed.number) parsed.number = Number(arg);
  else return false;
  return !TakesFile(parsed.command) ? parsed.number.has_value() : true;
}

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
    else if (!TakePositional(parsed, arg)) return std::nullopt;
  }
  const bool known = TakesFile(parsed.command) || parsed.command == "copias" || parsed.command == "restaurar";
  if (!known || (TakesFile(parsed.command) && parsed.file.empty())) return std::nullopt;
  return parsed;
}

std::filesystem::path WorkDir(const Arguments& args) {
  return enlazor::platform::MapWindowsPath(args.workdir.value_or(std::string(enlazor::platform::kWorkDirectory)));
}

void Tell(const Arguments& args, const enlazor::RunReport& report) {
  if (args.report) enlazor::platform::WriteFileAtomically(PathFromUtf8(*args.report), report.Json());
  if (args.silent) return;
  std::string summary = report.Closing() + "\n";
  for (const auto& [table, rows] : report.tablas) summary += table + ": " + Counted(rows, "fila", "filas") + "\n";
  if (report.orden == "importar") {
    summary += Counted(report.profesores, "profesor", "profesores") + ", " +
               Counted(report.actividades, "actividad", "actividades") + "\n";
  }
  if (!report.hallazgos.empty()) summary += report.Summary() + " Los detalles van en la salida de errores.\n";
  PrintText(false, summary);
  if (!report.hallazgos.empty()) PrintText(true, report.Lines());
}

std::string CopiesJson(const std::filesystem::path& work, const std::vector<enlazor::CopyInfo>& copies) {
  using enlazor::JsonString;
  std::string out = "{\n  \"orden\": \"copias\",\n  \"carpeta\": " +
                    JsonString(enlazor::platform::PathToUtf8(work / enlazor::kCopiesFolder)) + ",\n  \"copias\": [";
  for (size_t k = 0; k < copies.size(); ++k) {
    const auto& copy = copies[k];
    out += std::string(k ? "," : "") + "\n    {\"numero\": " + std::to_string(k + 1) + ", \"fecha\": " +
           JsonString(copy.fecha) + ", \"orden\": " + JsonString(copy.orden) + ", \"archivo\": " +
           JsonString(copy.archivo) + ", \"carpeta\": " + JsonString(enlazor::platform::PathToUtf8(copy.folder)) +
           ", \"tablas\": [";
    for (size_t t = 0; t < copy.tablas.size(); ++t) {
      out += (t ? ", " : "") + std::string("{\"tabla\": ") + JsonString(copy.tablas[t].tabla) +
             ", \"filas\": " + std::to_string(copy.tablas[t].filas) + "}";
    }
    out += "]}";
  }
  return out + (copies.empty() ? "]\n}\n" : "\n  ]\n}\n");
}

void ListCopies(const Arguments& args) {
  const auto work = WorkDir(args);
  const auto copies = enlazor::ListCopies(work);
  if (args.report) enlazor::platform::WriteFileAtomically(PathFromUtf8(*args.report), CopiesJson(work, copies));
  if (args.silent) return;
  const std::string folder = enlazor::platform::PathToUtf8(work / enlazor::kCopiesFolder);
  if (copies.empty()) return PrintText(false, "No hay copias de tablas anteriores en '" + folder + "'.\n");
  std::string text = "Copias de tablas anteriores en '" + folder + "', la más reciente primero:\n";
  for (size_t k = 0; k < copies.size(); ++k) {
    text += std::to_string(k + 1) + "  " + copies[k].Line() + "\n";
  }
  PrintText(false, text);
}

int Run(const Arguments& args) {
  if (args.command == "export") {
    Tell(args, enlazor::RunExport(PathFromUtf8(args.file), WorkDir(args)));
  } else if (args.command == "import") {
    // A template the user names must be there; the default one is made when missing.
    const enlazor::TemplateChoice plantilla = args.templatePath
                                                  ? enlazor::TemplateChoice(PathFromUtf8(*args.templatePath), false)
                                                  : enlazor::TemplateChoice(enlazor::kTemplateName);
    Tell(args, enlazor::RunImport(PathFromUtf8(args.file), WorkDir(args), plantilla));
  } else if (args.command == "restaurar") {
    Tell(args, enlazor::RunRestore(WorkDir(args), args.number.value_or(1)));
  } else {
    ListCopies(args);
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
    PrintText(true, enlazor::WithFullStop(enlazor::FailureText(failure)) + "\n");
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
