#include "import/import_run.h"

#include <array>
#include <cstdio>
#include <map>
#include <optional>

#include "exchange/codec.h"
#include "exchange/dates.h"
#include "exchange/dbf/table.h"
#include "exchange/failure.h"
#include "exchange/platform/platform.h"
#include "exchange/set/seneca_kept.h"
#include "exchange/set/work_set.h"
#include "exchange/xml/xml.h"
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

// What a real "base.xml" holds: the envelope of an import file for Séneca and
// the school year, made from CURSOACAD.
void GenerateTemplate(XmlDocument& doc, const std::string& cursoAnno) {
  const std::string fecha = SenecaDateTime(platform::Now());
  doc.LoadBytes(std::string("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<SERVICIO modulo=\"HORARIOS\" tipo=\"I\" "
                            "autor=\"Enlazor\" fecha=\"") +
                    fecha +
                    "\"><BLOQUE_DATOS><grupo_datos seq=\"ANNO_ACADEMICO\"><dato nombre_dato=\"C_ANNO\"/>"
                    "</grupo_datos></BLOQUE_DATOS></SERVICIO>",
                kTemplateName);
  doc.SelectNodes("/SERVICIO/BLOQUE_DATOS/grupo_datos/dato").Item(0).SetText(AnsiToUtf8(cursoAnno));
}

// A school year Séneca takes: four digits, from 2000 to next year.
bool PlausibleYear(const std::string& cursoAnno) {
  const std::string year(TrimControls(cursoAnno));
  const auto value = ParseInt32(year);
  return year.size() == 4 && value && *value >= 2000 && *value <= platform::Now().year + 1;
}

// The folder a template was looked for in, whole, as a user would look there:
// "base.xml" alone means the current folder.
std::string FolderShown(const fs::path& templatePath) {
  std::error_code ec;
  const fs::path whole = fs::absolute(templatePath, ec);
  const fs::path folder = (ec ? templatePath : whole).parent_path();
  return platform::PathToUtf8(folder.empty() ? fs::path(".") : folder);
}

// What to do about a template that cannot serve.
const char* TemplateRemedy(const TemplateChoice& plantilla) {
  return plantilla.generateWhenMissing ? "Corrija la plantilla o quítela de esa carpeta: sin ella, Enlazor genera una "
                                         "con el curso de las tablas de trabajo"
                                       : "Corrija la plantilla, o no la indique para que Enlazor genere una con el "
                                         "curso de las tablas de trabajo";
}

// A template that is not there when the user named it, or that is no file on
// a disk (a pipe would hold the run for ever): found before anything is touched.
void RefuseUnusableTemplate(const TemplateChoice& plantilla) {
  const std::string shown = platform::PathToUtf8(plantilla.path);
  if (platform::FileExists(plantilla.path) && !platform::IsDiskFile(plantilla.path)) {
    throw Refusal(Format("La plantilla '%s' no es un archivo normal (una tubería o un dispositivo). %s.",
                         {shown, TemplateRemedy(plantilla)}));
  }
  if (!platform::FileExists(plantilla.path) && !plantilla.generateWhenMissing) {
    throw Refusal(Format("No existe la plantilla '%s', el archivo de Séneca en que se escribe el horario. %s.",
                         {shown, TemplateRemedy(plantilla)}));
  }
}

// The template's BLOQUE_DATOS, from the file or made when there is none; a
// template that cannot serve says what to do.
XmlNode LoadTemplate(XmlDocument& doc, const TemplateChoice& plantilla, const std::string& cursoAnno,
                     RunReport& report) {
  const std::string shown = platform::PathToUtf8(plantilla.path);
  const char* remedy = TemplateRemedy(plantilla);
  if (!platform::FileExists(plantilla.path)) {
    GenerateTemplate(doc, cursoAnno);
    report.Add({"plantilla_generada",
                "CURSOACAD",
                1,
                "CURSOANNO",
                AnsiToUtf8(cursoAnno),
                shown,
                "",
                {},
                {},
                "No hay plantilla «" + std::string(kTemplateName) + "» en " + FolderShown(plantilla.path) +
                    ": se ha generado una con el curso «" + AnsiToUtf8(cursoAnno) + "» de " + TableTitle("CURSOACAD") +
                    "."});
    if (!PlausibleYear(cursoAnno)) {
      report.Add({"curso_no_valido",
                  "CURSOACAD",
                  1,
                  "CURSOANNO",
                  AnsiToUtf8(cursoAnno),
                  shown,
                  "",
                  {},
                  {},
                  "El curso «" + AnsiToUtf8(cursoAnno) + "» de " + TableTitle("CURSOACAD") +
                      " no es un año: la plantilla generada lo lleva y Séneca rechazará el archivo. Vuelva a "
                      "exportar de Séneca, o ponga en esa carpeta la plantilla «" +
                      kTemplateName + "» del curso."});
    }
    return doc.DocumentElement().SelectSingleNode("BLOQUE_DATOS");
  }
  try {
    doc.Load(plantilla.path);
  } catch (const Failure& failure) {
    throw Failure(std::string(failure.what()) + ". " + remedy);
  }
  XmlNode bloque = doc.DocumentElement().SelectSingleNode("BLOQUE_DATOS");
  if (bloque.IsNull())
    throw Failure(Format("La plantilla '%s' no tiene el elemento BLOQUE_DATOS. %s", {shown, remedy}));
  return bloque;
}

// The public Séneca clients refuse a file for another school year than theirs.
void CheckSchoolYear(const XmlNode& bloque, const std::string& cursoAnno, const fs::path& templatePath,
                     RunReport& report) {
  const XmlNode anno = bloque.SelectSingleNode("grupo_datos[@seq=\"ANNO_ACADEMICO\"]/dato[@nombre_dato=\"C_ANNO\"]");
  const std::string inTemplate(TrimControls(anno.Text()));
  const std::string inTables(TrimControls(AnsiToUtf8(cursoAnno)));
  if (anno.IsNull() || inTemplate == inTables || inTables.empty()) return;
  report.Add({"curso_distinto",
              "CURSOACAD",
              1,
              "CURSOANNO",
              inTables,
              inTemplate,
              "",
              {},
              {},
              "La plantilla «" + platform::PathToUtf8(templatePath) + "» es del curso «" + inTemplate + "» y " +
                  TableTitle("CURSOACAD") + " del curso «" + inTables +
                  "»: Séneca rechaza un archivo de otro curso. El archivo se ha escrito igualmente."});
}

// A table's field as it goes into the output, at the table's current row.
std::string Checked(Table& table, const char* field, size_t row) {
  return table.FieldText(field).empty() ? std::string() : CheckedForXml(table.FieldText(field), table, row, field);
}

// One post of PROFT: an employee at a post date. Horavia may hold a post
// under two codes (two rows with one X_EMPLEADO and F_TOMAPOS); Séneca keys a
// regular timetable by employee, post date and school year, so the post gets
// one teacher group with the lessons of all its codes.
struct Post {
  std::string employee, postDate, name;  // X_EMPLEADO, F_TOMAPOS and NOMBRE, in Windows-1252
  std::vector<std::string> codes;
  std::vector<size_t> rows;  // from 1
};

std::vector<Post> PostsOf(Table& proft, RunReport& report) {
  std::vector<Post> posts;
  std::map<std::pair<std::string, std::string>, size_t> byKey;
  const bool named = proft.HasField("NOMBRE");
  size_t n = 1;
  for (proft.First(); !proft.Eof(); proft.Next(), ++n) {
    const std::string empleado = Checked(proft, "X_EMPLEADO", n), tomaPos = Checked(proft, "F_TOMAPOS", n);
    const auto [at, isNew] = byKey.try_emplace({empleado, tomaPos}, posts.size());
    if (isNew || empleado.empty()) posts.push_back({empleado, tomaPos, named ? proft.FieldText("NOMBRE") : "", {}, {}});
    Post& post = posts[isNew || empleado.empty() ? posts.size() - 1 : at->second];
    post.codes.push_back(proft.FieldText("ABREV"));
    post.rows.push_back(n);
  }
  for (const Post& post : posts) {
    if (post.codes.size() < 2) continue;
    std::vector<std::string> codes, rows;
    for (size_t k = 0; k < post.codes.size(); ++k) {
      codes.push_back(Quoted(post.codes[k]));
      rows.push_back(std::to_string(post.rows[k]));
    }
    report.Add({"profesor_unido",
                "PROFT",
                static_cast<long>(post.rows.front()),
                "X_EMPLEADO",
                AnsiToUtf8(post.employee),
                AnsiToUtf8(post.codes.front()),
                "",
                {},
                {},
                TableTitle("PROFT") + ", filas " + Enumerated(rows) + ": " + Enumerated(codes) +
                    " son un mismo puesto del empleado «" + AnsiToUtf8(post.employee) + "» (toma de posesión " +
                    AnsiToUtf8(post.postDate) + "), y van a Séneca en un solo horario."});
  }
  return posts;
}

// The HORARIOS_REGULARES block: one group per post of PROFT, written as it is made.
void WriteTimetables(XmlText& out, Components& tables, const FechasCurso& fechas, const SenecaContext& seneca,
                     RunReport& report) {
  Activities activities({tables.soluc, tables.tramos, tables.aulas, tables.grupos, tables.nomAsg}, report, seneca);
  const std::vector<Post> posts = PostsOf(tables.profesor, report);
  out.Open("grupo_datos", {{"seq", "HORARIOS_REGULARES"}, {"registros", std::to_string(posts.size())}});
  std::vector<std::string> codes;
  size_t n = 1;
  for (const Post& post : posts) {
    RoomsAt rooms;
    int count = 0;
    for (const auto& code : post.codes) count += activities.CountActividades(code, rooms);
    out.Open("grupo_datos",
             {{"seq", "HORARIO_REGULAR_PROFESOR_" + std::to_string(n++)}, {"registros", std::to_string(count)}});
    out.Leaf("dato", {{"nombre_dato", "X_EMPLEADO"}}, AnsiToUtf8(post.employee));
    out.Leaf("dato", {{"nombre_dato", "F_TOMAPOS"}}, AnsiToUtf8(post.postDate));
    activities.Hours().Begin({post.codes.front(), post.employee, post.name}, post.rows);
    int m = 1;
    for (const auto& code : post.codes) m += activities.GenerarActividades(code, out, fechas, m);
    activities.Hours().End();
    report.actividades += static_cast<size_t>(m - 1);
    out.Close("grupo_datos");
    codes.insert(codes.end(), post.codes.begin(), post.codes.end());
  }
  out.Close("grupo_datos");  // its registros is the number of teacher groups
  report.profesores = posts.size();
  activities.ReportTeachersNotInProft(codes);
}

// What the export kept of the Séneca file, when it serves these tables;
// otherwise the import goes on as it always did, and says why.
std::optional<SenecaKept> KeptSeneca(const fs::path& workDir, const std::string& cursoAnno, RunReport& report) {
  const fs::path file = SenecaKeptIn(workDir);
  const std::string name = platform::PathToUtf8(file.filename());
  auto tell = [&](const char* tipo, const std::string& why) {
    report.Add({tipo,
                name,
                0,
                "",
                "",
                "sin comprobar",
                "",
                {},
                {},
                why + ": todas las clases van a Séneca como Docencia (actividad 1), sin comprobar actividades, "
                      "cursos ni recreos. Esas comprobaciones necesitan las tablas de una exportación hecha con esta "
                      "versión de Enlazor."});
  };
  if (!platform::FileExists(file)) {
    tell("sin_datos_de_seneca", "Las tablas de trabajo no traen los datos de Séneca que guarda Enlazor («" + name +
                                    "»): son de una versión anterior o de otro programa");
    return std::nullopt;
  }
  try {
    SenecaKept kept = ReadSenecaKept(file);
    const std::string year(TrimControls(kept.year)), tables(TrimControls(cursoAnno));
    if (year.substr(0, tables.size()) == tables || tables.empty()) return kept;
    tell("datos_de_seneca_no_validos", "Los datos de Séneca que guarda Enlazor («" + name + "») son del curso «" +
                                           AnsiToUtf8(year) + "» y " + TableTitle("CURSOACAD") + " del curso «" +
                                           AnsiToUtf8(tables) + "»");
  } catch (const std::exception& failure) {
    tell("datos_de_seneca_no_validos",
         "Los datos de Séneca que guarda Enlazor no se pueden leer (" + std::string(failure.what()) + ")");
  }
  return std::nullopt;
}

}  // namespace

std::string OutputPathFor(const std::string& archivoXml) {
  const size_t nameStart = platform::FileNameStart(archivoXml);
  return archivoXml.substr(0, nameStart) + "ResultadoTempra" + archivoXml.substr(nameStart);
}

RunReport RunImport(const fs::path& archivoXml, const fs::path& workDir, const TemplateChoice& plantilla,
                    const std::function<void()>& afterDates) {
  if (!platform::FileExists(archivoXml)) throw Refusal("No existe archivo");
  RefuseFileInStaging(archivoXml, workDir);
  RefuseTwoSpellings(workDir);
  if (!platform::FileExists(platform::FindNoCase(workDir, "CURSOACAD.DBF")) && !SetIsMoving(workDir))
    throw Refusal(kAtencion);
  RefuseUnusableTemplate(plantilla);
  FinishPendingSet(workDir);
  if (!platform::FileExists(platform::FindNoCase(workDir, "CURSOACAD.DBF"))) throw Refusal(kAtencion);
  // Held until the other tables are: no export may replace the set in between.
  Table cursoAcad(workDir, "CURSOACAD.DBF", Table::Use::Shared);
  cursoAcad.Open();
  cursoAcad.First();
  const FechasCurso fechas{Checked(cursoAcad, "F_INICIO", 1), Checked(cursoAcad, "F_FIN", 1)};
  const std::string cursoAnno = cursoAcad.HasField("CURSOANNO") ? Checked(cursoAcad, "CURSOANNO", 1) : std::string();
  if (afterDates) afterDates();

  RunReport report;
  report.orden = "importar";
  report.archivo = platform::PathToUtf8(archivoXml);
  XmlDocument doc;
  XmlNode bloque = LoadTemplate(doc, plantilla, cursoAnno, report);
  CheckSchoolYear(bloque, cursoAnno, plantilla.path, report);
  const fs::path soluc = platform::FindNoCase(workDir, "SOLUC.DBF");
  if (!platform::FileExists(soluc)) {
    throw Failure(
        Format("No existe la tabla '%s', el horario que hace Horavia. Haga primero el horario en Horavia y "
               "repita la orden",
               {platform::PathToUtf8(soluc)}));
  }
  Components tables(workDir);
  if (SetIsMoving(workDir)) {
    throw Failure(Format("La carpeta de trabajo '%s' está en uso por otra orden", {platform::PathToUtf8(workDir)}));
  }
  // Read while the tables are held: it belongs to the same set.
  const std::optional<SenecaKept> kept = KeptSeneca(workDir, cursoAnno, report);
  cursoAcad.Close();

  for (Table* table : tables.InOrder()) report.tablas.push_back({table->TableName(), table->RowCount()});
  const SenecaContext seneca{kept ? &*kept : nullptr, workDir};
  doc.AppendProduced(bloque, [&](XmlText& out) { WriteTimetables(out, tables, fechas, seneca, report); });
  const fs::path output = platform::PathFromUtf8(OutputPathFor(platform::PathToUtf8(archivoXml)));
  doc.Save(output);
  tables.CloseAll();
  std::error_code ec;  // with the current folder gone, the output's name as it was made
  const fs::path full = fs::absolute(output, ec);
  report.salida = platform::PathToUtf8(ec ? output : full);
  return report;
}

}  // namespace enlazor
