// The import of a large school: tables made directly, then one import run.
//   bench_import FOLDER TEACHERS LESSONS_PER_TEACHER
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>

#include "bench/measure.h"
#include "exchange/dbf/table.h"
#include "exchange/platform/platform.h"
#include "import/import_run.h"

using enlazor::FieldType;
using enlazor::Table;

namespace {

void Make(const std::filesystem::path& dir, const char* name, std::vector<std::pair<const char*, int>> fields,
          size_t rows, const std::function<std::string(size_t, size_t)>& value) {
  Table table(dir, name);
  for (const auto& [field, width] : fields)
    table.AddField({field, width ? FieldType::Text : FieldType::Integer, width});
  table.CreateTable();
  table.Open();
  for (size_t r = 0; r < rows; ++r) {
    table.Append();
    for (size_t f = 0; f < fields.size(); ++f) table.SetFieldText(fields[f].first, value(r, f));
    table.Post();
  }
}

std::string Code(size_t n) {  // distinct four-character codes
  std::string code;
  for (int i = 0; i < 4; ++i, n /= 36) code += "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ"[n % 36];
  return code;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) return 2;
  const std::filesystem::path dir = argv[1];
  const size_t teachers = std::strtoul(argv[2], nullptr, 10);
  const size_t perTeacher = std::strtoul(argv[3], nullptr, 10);
  const size_t slots = 7, rooms = 80, units = 60, subjects = 400;
  Make(dir, "CURSOACAD", {{"CURSOANNO", 4}, {"F_INICIO", 10}, {"F_FIN", 10}}, 1, [](size_t, size_t f) {
    return f == 0 ? "2026" : f == 1 ? "15/09/2026" : "22/06/2027";
  });
  Make(dir, "PROFT", {{"ABREV", 4}, {"NOMBRE", 40}, {"X_EMPLEADO", 10}, {"F_TOMAPOS", 10}}, teachers,
       [](size_t r, size_t f) {
         return f == 0   ? Code(r)
                : f == 1 ? "Nombre Apellido Apellido"
                : f == 2 ? std::to_string(5030000 + r)
                         : "01/09/2010";
       });
  Make(dir, "DIASHORAST", {{"DIHO", 10}, {"CODDIHO", 10}, {"DIA", 20}, {"HORADESDE", 8}, {"HORAHASTA", 8}}, 7 * slots,
       [&](size_t r, size_t f) {
         const size_t day = r / slots + 1, slot = r % slots + 1;
         return f == 0   ? std::to_string(day) + std::to_string(slot)
                : f == 1 ? std::to_string(175300 + slot)
                : f == 2 ? std::to_string(day)
                         : "08:30";
       });
  Make(dir, "AULAT", {{"ABREV", 4}, {"DEPCENTRO", 10}}, rooms,
       [](size_t r, size_t f) { return f == 0 ? Code(r) : std::to_string(2081400 + r); });
  Make(dir, "GRUPOST", {{"ABREV", 4}, {"UNIDAD", 10}}, units,
       [](size_t r, size_t f) { return f == 0 ? Code(r) : std::to_string(1201000 + r); });
  Make(dir, "ASIGNOMT", {{"COD", 4}, {"MATERIA", 8}, {"CODLARGO", 8}, {"NOMBRE", 40}}, subjects + subjects / 9,
       [&](size_t r, size_t f) {
         if (r >= subjects) return f == 0 ? Code(r) : f == 3 ? std::string("Guardia") : std::string();
         return f == 0 ? Code(r) : f == 1 ? std::to_string(310000 + r % 8) : f == 2 ? std::to_string(41000 + r) : "M";
       });
  Make(dir, "SOLUC", {{"PROF", 4}, {"DIA", 0}, {"HORA", 0}, {"AULA", 4}, {"CODGRUPO", 4}, {"ASIG", 4}},
       teachers * perTeacher, [&](size_t r, size_t f) {
         // Lessons of all teachers interleaved, as a solver may store them.
         const size_t teacher = r % teachers, k = r / teachers;
         switch (f) {
           case 0:
             return Code(teacher);
           case 1:
             return std::to_string(k % 5 + 1);
           case 2:
             return std::to_string(k % slots + 1);
           case 3:
             return Code((r * 7) % rooms);
           case 4:
             return Code((r * 11) % units);
           default:
             return Code((r * 13) % (subjects + subjects / 9));
         }
       });
  // What the export keeps of the Séneca file: courses, subjects, units and
  // activities, so that every lesson's kind and course are checked; the
  // subjects past the Séneca ones (one in ten) are guard duties by name.
  std::ofstream kept(dir / "ENLAZOR-SENECA.XML");
  kept << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<SERVICIO><BLOQUE_DATOS><grupo_datos seq=\"ANNO_ACADEMICO\">"
          "<dato>2026</dato></grupo_datos><grupo_datos seq=\"ACTIVIDADES\"><grupo_datos><dato>S</dato><dato>1</dato>"
          "<dato>Docencia</dato><dato>S</dato><dato>S</dato></grupo_datos><grupo_datos><dato>S</dato><dato>25</dato>"
          "<dato>Guardia</dato><dato>N</dato><dato>N</dato></grupo_datos></grupo_datos><grupo_datos seq=\"MATERIAS\">";
  for (size_t s = 0; s < subjects; ++s)
    kept << "<grupo_datos><dato>" << 310000 + s % 8 << "</dato><dato>" << 41000 + s << "</dato><dato>M" << s
         << "</dato></grupo_datos>";
  kept << "</grupo_datos><grupo_datos seq=\"UNIDADES\">";
  for (size_t u = 0; u < units; ++u)
    kept << "<grupo_datos><dato>" << 1201000 + u << "</dato><dato>U</dato><dato>" << 310000 + u % 8
         << "</dato></grupo_datos>";
  kept << "</grupo_datos></BLOQUE_DATOS></SERVICIO>\n";
  kept.close();
  std::ofstream(dir / "base.xml") << "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<SERVICIO modulo=\"HORARIOS\" "
                                     "tipo=\"I\"><BLOQUE_DATOS/></SERVICIO>\n";
  std::ofstream(dir / "horario.xml") << "x";

  const auto import = bench::Best(
      3, [&](int) { return bench::Measure([&] { enlazor::RunImport(dir / "horario.xml", dir, dir / "base.xml"); }); });
  const std::filesystem::path output = dir / "ResultadoTemprahorario.xml";
  const auto xmlwf = bench::Best(3, [&](int) { return bench::MeasureCommand({"xmlwf", output.string()}); });
  std::printf("importación: %zu profesores, %zu clases: %.3f s, salida %.1f MB, memoria máxima %.1f MB\n", teachers,
              teachers * perTeacher, import.seconds, std::filesystem::file_size(output) / 1e6, import.megabytes);
  std::printf("xmlwf sobre la salida: %.3f s\n", xmlwf.seconds);
  std::printf("RATIO importación/xmlwf de su salida %.2f (objetivo <= 0.75)\n", import.seconds / xmlwf.seconds);
  return 0;
}
