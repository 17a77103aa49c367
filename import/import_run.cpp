#include "import/import_run.h"

#include "exchange/codec.h"
#include "exchange/failure.h"
#include "exchange/platform.h"
#include "exchange/table.h"
#include "exchange/xml.h"
#include "import/activities.h"

namespace enlazor {
namespace {

namespace fs = std::filesystem;

FechasCurso ReadFechasCurso(const fs::path& workDir) {
  Table table(workDir, "CURSOACAD.DBF", Table::Use::Shared);
  table.Open();
  table.First();
  return {table.FieldText("F_INICIO"), table.FieldText("F_FIN")};
}

// The window's table components that the run holds exclusively, opened in
// this order and closed again whatever happens.
struct Components {
  explicit Components(const fs::path& dir)
      : soluc(dir, "SOLUC", Table::Use::Exclusive),
        grupos(dir, "GRUPOST", Table::Use::Exclusive),
        profesor(dir, "PROFT", Table::Use::Exclusive),
        aulas(dir, "AULAT", Table::Use::Exclusive),
        nomAsg(dir, "ASIGNOMT", Table::Use::Exclusive),
        tramos(dir, "DIASHORAST", Table::Use::Exclusive) {
    soluc.SetComponentName("wwTableSoluc");
    grupos.SetComponentName("wwTableGrupos");
    profesor.SetComponentName("wwTableProfesor");
    aulas.SetComponentName("wwTableAulas");
    nomAsg.SetComponentName("wwTableNomAsg");
    tramos.SetComponentName("wwTableTramos");
    for (Table* table : InOrder()) table->Open();
  }
  void CloseAll() {
    for (Table* table : InOrder()) table->Close();
  }
  std::array<Table*, 6> InOrder() { return {&soluc, &grupos, &profesor, &aulas, &nomAsg, &tramos}; }

  Table soluc, grupos, profesor, aulas, nomAsg, tramos;
};

XmlNode LoadTemplate(XmlDocument& doc, const fs::path& templatePath) {
  doc.Load(templatePath);
  XmlNode bloque = doc.DocumentElement().SelectSingleNode("BLOQUE_DATOS");
  if (bloque.IsNull()) {
    throw Failure(Format("La plantilla '%s' no tiene el elemento BLOQUE_DATOS", {templatePath.string()}));
  }
  return bloque;
}

}  // namespace

std::string OutputPathFor(const std::string& archivoXml) {
#ifdef _WIN32
  const size_t cut = archivoXml.find_last_of("\\:/");
#else
  const size_t cut = archivoXml.find_last_of('/');
#endif
  const size_t nameStart = cut == std::string::npos ? 0 : cut + 1;
  return archivoXml.substr(0, nameStart) + "ResultadoTempra" + archivoXml.substr(nameStart);
}

fs::path RunImport(const fs::path& archivoXml, const fs::path& workDir, const fs::path& templatePath,
                   const std::function<void()>& afterDates) {
  if (!platform::FileExists(archivoXml)) throw Refusal("No existe archivo");
  if (!platform::FileExists(platform::FindNoCase(workDir, "CURSOACAD.DBF"))) throw Refusal(kAtencion);
  // No export may replace tables between the dates and the last table taken.
  platform::File sharing = platform::TryLockFolder(workDir, platform::File::Lock::Shared);
  if (!sharing.IsOpen()) {
    throw Failure(Format("La carpeta de trabajo '%s' está en uso por otra orden", {workDir.string()}));
  }
  const FechasCurso fechas = ReadFechasCurso(workDir);
  if (afterDates) afterDates();

  XmlDocument doc;
  XmlNode bloque = LoadTemplate(doc, fs::absolute(templatePath));
  Components tables(workDir);
  sharing = {};
  Activities activities({tables.soluc, tables.tramos, tables.aulas, tables.grupos, tables.nomAsg});
  // The block is written as text: a school's timetables are millions of nodes.
  XmlText block(bloque.Depth() + 1);
  block.Open("grupo_datos", {{"seq", "HORARIOS_REGULARES"}, {"registros", std::to_string(tables.profesor.RowCount())}});
  XmlText lessons(block.Depth() + 1);  // one teacher's activity groups, reused
  int n = 1;
  for (tables.profesor.First(); !tables.profesor.Eof(); tables.profesor.Next()) {
    const std::string empleado = AnsiToUtf8(tables.profesor.FieldText("X_EMPLEADO"));
    const std::string tomaPos = AnsiToUtf8(tables.profesor.FieldText("F_TOMAPOS"));
    lessons.Clear();
    const int count = activities.GenerarActividades(tables.profesor.FieldText("ABREV"), lessons, fechas);
    block.Open("grupo_datos", {{"seq", "HORARIO_REGULAR_PROFESOR_" + std::to_string(n++)}, {"registros", std::to_string(count)}});
    block.Leaf("dato", {{"nombre_dato", "X_EMPLEADO"}}, empleado);
    block.Leaf("dato", {{"nombre_dato", "F_TOMAPOS"}}, tomaPos);
    block.Append(lessons);
    block.Close("grupo_datos");
  }
  block.Close("grupo_datos");  // its registros, n - 1, is the number of PROFT rows
  tables.CloseAll();
  doc.AppendText(bloque, std::move(block));

  const fs::path output = OutputPathFor(archivoXml.string());
  doc.Save(output);
  return output;
}

}  // namespace enlazor
