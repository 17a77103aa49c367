#include "import/import_run.h"

#include <array>

#include "exchange/codec.h"
#include "exchange/failure.h"
#include "exchange/platform.h"
#include "exchange/table.h"
#include "exchange/work_set.h"
#include "exchange/xml.h"
#include "import/activities.h"

namespace enlazor {
namespace {

namespace fs = std::filesystem;

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
    throw Failure(Format("La plantilla '%s' no tiene el elemento BLOQUE_DATOS", {platform::PathToUtf8(templatePath)}));
  }
  return bloque;
}

// A table's field as it goes into the output, at the table's current row.
std::string Checked(Table& table, const char* field, size_t row) {
  return table.FieldText(field).empty() ? std::string() : CheckedForXml(table.FieldText(field), table, row, field);
}

// The HORARIOS_REGULARES block: one group per PROFT row, written as it is made.
void WriteTimetables(XmlText& out, Components& tables, const FechasCurso& fechas, RunReport& report) {
  Activities activities({tables.soluc, tables.tramos, tables.aulas, tables.grupos, tables.nomAsg}, report);
  Table& proft = tables.profesor;
  out.Open("grupo_datos", {{"seq", "HORARIOS_REGULARES"}, {"registros", std::to_string(proft.RowCount())}});
  std::vector<std::string> codes;
  size_t n = 1;
  for (proft.First(); !proft.Eof(); proft.Next(), ++n) {
    const std::string empleado = AnsiToUtf8(Checked(proft, "X_EMPLEADO", n));
    const std::string tomaPos = AnsiToUtf8(Checked(proft, "F_TOMAPOS", n));
    const std::string abrev = proft.FieldText("ABREV");
    const int count = activities.CountActividades(abrev);
    out.Open("grupo_datos", {{"seq", "HORARIO_REGULAR_PROFESOR_" + std::to_string(n)}, {"registros", std::to_string(count)}});
    out.Leaf("dato", {{"nombre_dato", "X_EMPLEADO"}}, empleado);
    out.Leaf("dato", {{"nombre_dato", "F_TOMAPOS"}}, tomaPos);
    report.actividades += static_cast<size_t>(activities.GenerarActividades(abrev, out, fechas));
    out.Close("grupo_datos");
    codes.push_back(abrev);
  }
  out.Close("grupo_datos");  // its registros is the number of PROFT rows
  report.profesores = n - 1;
  activities.ReportTeachersNotInProft(codes);
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

RunReport RunImport(const fs::path& archivoXml, const fs::path& workDir, const fs::path& templatePath,
                    const std::function<void()>& afterDates) {
  if (!platform::FileExists(archivoXml)) throw Refusal("No existe archivo");
  RefuseFileInStaging(archivoXml, workDir);
  FinishPendingSet(workDir);
  if (!platform::FileExists(platform::FindNoCase(workDir, "CURSOACAD.DBF"))) throw Refusal(kAtencion);
  // Held until the other tables are: no export may replace the set in between.
  Table cursoAcad(workDir, "CURSOACAD.DBF", Table::Use::Shared);
  cursoAcad.Open();
  cursoAcad.First();
  const FechasCurso fechas{Checked(cursoAcad, "F_INICIO", 1), Checked(cursoAcad, "F_FIN", 1)};
  if (afterDates) afterDates();

  XmlDocument doc;
  XmlNode bloque = LoadTemplate(doc, fs::absolute(templatePath));
  Components tables(workDir);
  if (SetIsMoving(workDir)) {
    throw Failure(Format("La carpeta de trabajo '%s' está en uso por otra orden", {platform::PathToUtf8(workDir)}));
  }
  cursoAcad.Close();

  RunReport report;
  report.orden = "importar";
  report.archivo = platform::PathToUtf8(archivoXml);
  for (Table* table : tables.InOrder()) report.tablas.push_back({table->TableName(), table->RowCount()});
  doc.AppendProduced(bloque, [&](XmlText& out) { WriteTimetables(out, tables, fechas, report); });
  const fs::path output = platform::PathFromUtf8(OutputPathFor(platform::PathToUtf8(archivoXml)));
  doc.Save(output);
  tables.CloseAll();
  report.salida = platform::PathToUtf8(fs::absolute(output));
  return report;
}

}  // namespace enlazor
