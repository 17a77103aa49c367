#include "import/lesson_kinds.h"

#include <algorithm>

#include "exchange/codec.h"
#include "exchange/failure.h"
#include "exchange/platform/platform.h"

namespace enlazor {
namespace {

namespace fs = std::filesystem;

// "25 «Guardia»"
std::string Named(const SenecaKept::Activity& activity) { return activity.code + " " + Quoted(activity.name); }

LessonKind KindOf(const SenecaKept::Activity& activity) {
  LessonKind kind;
  kind.activity = activity.code;
  kind.unit = activity.needsUnit;
  kind.subject = activity.needsSubject;
  kind.regular = activity.regular;
  const std::string name = FoldedName(activity.name);
  kind.category = activity.code == "1"                        ? LessonKind::Category::Class
                  : name.find("guardia") != std::string::npos ? LessonKind::Category::GuardDuty
                                                              : LessonKind::Category::Other;
  return kind;
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

}  // namespace

LessonKinds::LessonKinds(const SenecaKept* kept, const fs::path& workDir, RunReport& report)
    : kept_(kept), report_(report) {
  if (kept_) LoadList(workDir);
}

// A list that cannot be read stops nothing: each bad line is told, the rest applies.
void LessonKinds::LoadList(const fs::path& workDir) {
  const fs::path path = platform::FindNoCase(workDir, kActivityList);
  std::error_code ec;
  if (!fs::exists(fs::symlink_status(path, ec))) return;
  if (!platform::IsPlainFile(path)) {
    return TellBadLine(0, "", "no es un archivo normal (un enlace, una carpeta o un dispositivo): no se ha leído");
  }
  std::string text;
  try {
    int error = 0;
    platform::File file = platform::File::OpenForReading(path, error);
    if (!file.IsOpen()) return TellBadLine(0, "", "no se puede leer (" + platform::ErrorText(error) + ")");
    char piece[4096];
    for (size_t n; text.size() < (1 << 20) && (n = file.Read(piece, sizeof piece, path)) > 0;) text.append(piece, n);
  } catch (const Failure& failure) {
    return TellBadLine(0, "", std::string("no se puede leer (") + failure.what() + ")");
  }
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);  // the mark Windows' Notepad puts first
  size_t number = 0;
  for (size_t at = 0; at <= text.size(); ++number) {
    const size_t end = std::min(text.find('\n', at), text.size());
    ReadLine(number + 1, std::string_view(text).substr(at, end - at));
    at = end + 1;
  }
}

void LessonKinds::ReadLine(size_t number, std::string_view line) {
  line = Trimmed(line);
  if (line.empty() || line.front() == '#') return;
  const std::string shown = ValidUtf8(line);
  if (shown != line) return TellBadLine(number, shown, "no está escrita en UTF-8; guarde el archivo en UTF-8");
  const size_t equals = line.find('=');
  if (equals == std::string_view::npos)
    return TellBadLine(number, shown, "le falta «=» entre el código y la actividad");
  const std::string code = Utf8ToAnsi(Trimmed(line.substr(0, equals)));
  const std::string activity = Utf8ToAnsi(Trimmed(line.substr(equals + 1)));
  if (code.empty() || activity.empty()) {
    return TellBadLine(number, shown, "le falta el código o la actividad");
  }
  if (const auto earlier = listed_.find(code); earlier != listed_.end()) {
    return TellBadLine(number, shown,
                       "el código " + Quoted(code) + " ya está en la línea " + std::to_string(earlier->second.line));
  }
  const SenecaKept::Activity* found = ByNumberOrName(activity);
  if (!found) {
    return TellBadLine(number, shown,
                       "el archivo de Séneca no tiene la actividad " + Quoted(activity) + "; tiene " + Offered());
  }
  listed_.emplace(code, Listed{found, number});
}

const SenecaKept::Activity* LessonKinds::ByNumberOrName(const std::string& ansi) const {
  if (ansi.find_first_not_of("0123456789") != std::string::npos) return ByName(ansi);
  for (const auto& activity : kept_->activities) {
    if (activity.code == ansi) return &activity;
  }
  return nullptr;
}

const SenecaKept::Activity* LessonKinds::ByName(const std::string& ansi) const {
  const std::string folded = FoldedName(ansi);
  for (const auto& activity : kept_->activities) {
    if (!folded.empty() && FoldedName(activity.name) == folded) return &activity;
  }
  return nullptr;
}

void LessonKinds::TellBadLine(size_t number, const std::string& text, const std::string& why) {
  const std::string where =
      std::string("«") + kActivityList + "»" + (number ? ", línea " + std::to_string(number) : "");
  report_.Add({"linea_de_actividades",
               kActivityList,
               static_cast<long>(number),
               "",
               text,
               "no se aplica",
               "",
               {},
               {},
               where + (text.empty() ? "" : " («" + text + "»)") + ": " + why + "."});
}

std::string LessonKinds::Offered() const {
  std::string list;
  for (const auto& activity : kept_->activities) {
    list += (list.empty() ? "" : ", ") + activity.code + " " + AnsiToUtf8(activity.name);
  }
  return list.empty() ? "ninguna" : list;
}

const LessonKind& LessonKinds::Of(const std::string& asig, const std::vector<std::string>* asignomt,
                                  const LessonRef& lesson) {
  const auto known = kinds_.find(asig);
  if (known != kinds_.end()) return known->second;
  return kinds_.emplace(asig, Find(asig, asignomt, lesson)).first->second;
}

LessonKind LessonKinds::Find(const std::string& asig, const std::vector<std::string>* asignomt,
                             const LessonRef& lesson) {
  const auto listed = listed_.find(asig);
  const bool senecaSubject = asignomt && !(*asignomt)[1].empty();
  if (senecaSubject || !kept_ || asig.empty()) {
    if (listed != listed_.end()) {
      TellBadLine(listed->second.line, AnsiToUtf8(asig) + " = " + listed->second.activity->code,
                  Quoted(asig) + " es una materia de Séneca: sus clases van como Docencia");
    }
    return {};
  }
  const std::string name = asignomt && !(*asignomt)[2].empty() ? (*asignomt)[2] : asig;
  const std::string subject = Quoted(asig) + (name != asig ? " (" + AnsiToUtf8(name) + ")" : "");
  const SenecaKept::Activity* activity = listed != listed_.end() ? listed->second.activity : ByName(name);
  if (!activity) {
    Tell("actividad_desconocida", asig, "1", lesson,
         lesson.Text() + ": la materia " + subject +
             " no es una materia de Séneca ni el nombre de una de sus actividades: sus clases van a Séneca como "
             "Docencia, sin materia. Si es una actividad, añada a «" +
             kActivityList + "», en la carpeta de trabajo, la línea «" + AnsiToUtf8(asig) +
             " = N», con N el número de la actividad; las de este archivo de Séneca son: " + Offered() + ".");
    return {};
  }
  const LessonKind kind = KindOf(*activity);
  const std::string how = listed != listed_.end()
                              ? "por la línea " + std::to_string(listed->second.line) + " de «" + kActivityList + "»"
                              : "por su nombre";
  Tell("actividad_asignada", asig, activity->code, lesson,
       "La materia " + subject + " va a Séneca como la actividad " + Named(*activity) + " (" + how + ").");
  if (!kind.regular) {
    Tell("actividad_no_regular", asig, activity->code, lesson,
         lesson.Text() + ": la materia " + subject + " es la actividad " + Named(*activity) +
             ", que Séneca no cuenta en el horario regular. Se ha escrito: compruebe que debe estar en él.");
  }
  return kind;
}

void LessonKinds::Tell(const char* tipo, const std::string& asig, const std::string& queda, const LessonRef& lesson,
                       const std::string& message) {
  report_.Add({tipo, "SOLUC", static_cast<long>(lesson.row), "ASIG", AnsiToUtf8(asig), queda,
               AnsiToUtf8(lesson.profesor), lesson.dia, lesson.hora, message});
}

}  // namespace enlazor
