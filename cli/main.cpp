// enlazor-cli: the commands of Enlazor from a terminal.
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "exchange/codec.h"
#include "exchange/failure.h"
#include "exchange/platform/platform.h"
#include "exchange/set/copies.h"
#include "exchange/set/work_set.h"
#include "export/export_run.h"
#include "export/restore_run.h"
#include "import/import_run.h"

namespace {

using enlazor::Counted;
using enlazor::platform::PathFromUtf8;
using enlazor::platform::PrintText;

constexpr int kUsageError = 2;
constexpr int kRefused = 3;
// The command was done; only its report could not be written.
constexpr int kReportFailed = 4;

// The report could not be written once the command was done.
struct ReportNotWritten : std::runtime_error {
  using std::runtime_error::runtime_error;
};

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
    "CURSOACAD, el archivo no es una exportación de Séneca, no hay esa copia o está\n"
    "incompleta, falta la plantilla indicada, otra orden está en curso o el informe\n"
    "no se puede escribir donde se pide), 4 la orden se hizo pero el informe no se\n"
    "pudo escribir.\n"
    "\n"
    "Las materias de Horavia que son actividades de Séneca (guardias, tutorías...)\n"
    "se nombran en Enlazor-actividades.txt, en la carpeta de trabajo: una línea\n"
    "«código = actividad» cada una (véase man enlazor-cli).\n";

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
  if (TakesFile(parsed.command) && parsed.file.empty())
    parsed.file = arg;
  else if (parsed.command == "restaurar" && !parsed.number)
    parsed.number = Number(arg);
  else
    return false;
  return !TakesFile(parsed.command) ? parsed.number.has_value() : true;
}

std::optional<Arguments> Parse(const std::vector<std::string>& args) {
  Arguments parsed;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (arg == "--workdir" && hasValue)
      parsed.workdir = args[++i];
    else if (arg == "--template" && hasValue && parsed.command == "import")
      parsed.templatePath = args[++i];
    else if (arg == "--informe" && hasValue)
      parsed.report = args[++i];
    else if (arg == "--silencio")
      parsed.silent = true;
    else if (arg.rfind("--", 0) == 0)
      return std::nullopt;
    else if (parsed.command.empty())
      parsed.command = arg;
    else if (!TakePositional(parsed, arg))
      return std::nullopt;
  }
  const bool known = TakesFile(parsed.command) || parsed.command == "copias" || parsed.command == "restaurar";
  if (!known || (TakesFile(parsed.command) && parsed.file.empty())) return std::nullopt;
  return parsed;
}

std::filesystem::path WorkDir(const Arguments& args) {
  return enlazor::platform::MapWindowsPath(args.workdir.value_or(std::string(enlazor::platform::kWorkDirectory)));
}

std::filesystem::path TemplatePath(const Arguments& args) {
  return PathFromUtf8(args.templatePath.value_or(enlazor::kTemplateName));
}

bool IsTableName(const std::filesystem::path& name) {
  const std::string text = enlazor::platform::PathToUtf8(name);
  const std::string extension = text.size() > 4 ? enlazor::UpperAnsiText(text.substr(text.size() - 4)) : "";
  return extension == ".DBF" || extension == ".MDX";
}

// Refuses, before the run, a report that would overwrite a file the command
// reads or writes, or that could not be written: a change once done is never
// told as a failure because of its report.
void CheckReport(const Arguments& args) {
  if (!args.report) return;
  namespace platform = enlazor::platform;
  const std::filesystem::path report = PathFromUtf8(*args.report), work = WorkDir(args);
  std::vector<std::pair<std::filesystem::path, const char*>> theirs;
  if (!args.file.empty()) theirs.emplace_back(PathFromUtf8(args.file), "el archivo elegido");
  if (args.command == "import") {
    theirs.emplace_back(TemplatePath(args), "la plantilla");
    theirs.emplace_back(PathFromUtf8(enlazor::OutputPathFor(args.file)), "el archivo para Séneca");
  }
  const std::filesystem::path folder = report.parent_path().empty() ? "." : report.parent_path();
  const char* clash = nullptr;
  for (const auto& [path, what] : theirs) clash = !clash && platform::SameFile(report, path) ? what : clash;
  if (!clash && platform::SameFile(folder, work) && IsTableName(report.filename()))
    clash = "una tabla de la carpeta de trabajo";
  for (const char* ours : {enlazor::kStagingFolder, enlazor::kCopiesFolder}) {
    if (!clash && platform::IsInside(report, work / ours)) clash = "un archivo de una carpeta de Enlazor";
  }
  if (clash) {
    throw enlazor::Refusal(
        enlazor::Format("El informe '%s' sería %s: elija otro nombre para el informe. La orden no se ha hecho.",
                        {*args.report, clash}));
  }
  if (const int error = platform::CanWriteFile(report)) {
    throw enlazor::Refusal(enlazor::Format("No se puede escribir el informe '%s': %s. La orden no se ha hecho.",
                                           {*args.report, platform::ErrorText(error)}));
  }
}

void WriteReport(const Arguments& args, const std::string& json) {
  try {
    enlazor::platform::WriteFileAtomically(PathFromUtf8(*args.report), json);
  } catch (const std::exception& failure) {
    throw ReportNotWritten("La orden se ha hecho, pero el informe no se ha podido escribir: " +
                           enlazor::WithFullStop(enlazor::FailureText(failure)));
  }
}

void Tell(const Arguments& args, const enlazor::RunReport& report) {
  if (!args.silent) {
    std::string summary = report.Closing() + "\n";
    for (const auto& [table, rows] : report.tablas) summary += table + ": " + Counted(rows, "fila", "filas") + "\n";
    const std::string line = report.Summary();  // an import's totals, then the findings
    if (!line.empty())
      summary += line + (report.hallazgos.empty() ? "\n" : " Los detalles van en la salida de errores.\n");
    PrintText(false, summary);
    if (!report.hallazgos.empty()) PrintText(true, report.Lines());
  }
  if (args.report) WriteReport(args, report.Json());
}

void ListCopies(const Arguments& args) {
  const auto work = WorkDir(args);
  const auto copies = enlazor::ListCopies(work);
  if (args.report) WriteReport(args, enlazor::CopiesJson(work, copies));
  if (args.silent) return;
  if (copies.empty()) return PrintText(false, enlazor::NoCopiesText(work) + "\n");
  std::string text = "Copias de tablas anteriores en '" + enlazor::platform::PathToUtf8(work / enlazor::kCopiesFolder) +
                     "', la más reciente primero:\n";
  for (size_t k = 0; k < copies.size(); ++k) {
    text += std::to_string(k + 1) + "  " + copies[k].Line() + "\n";
  }
  PrintText(false, text);
}

int Run(const Arguments& args) {
  CheckReport(args);
  if (args.command == "export") {
    Tell(args, enlazor::RunExport(PathFromUtf8(args.file), WorkDir(args)));
  } else if (args.command == "import") {
    // A template the user names must be there; the default one is made when missing.
    const enlazor::TemplateChoice plantilla = args.templatePath ? enlazor::TemplateChoice(TemplatePath(args), false)
                                                                : enlazor::TemplateChoice(TemplatePath(args));
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
  } catch (const ReportNotWritten& failure) {
    PrintText(true, std::string(failure.what()) + "\n");
    return kReportFailed;
  } catch (const std::exception& failure) {
    PrintText(true, enlazor::WithFullStop(enlazor::FailureText(failure)) + "\n");
    return 1;
  }
}

}  // namespace

int main(int argc, char** argv) { return Main(enlazor::platform::CommandLine(argc, argv)); }
