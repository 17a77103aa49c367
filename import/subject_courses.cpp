#include "import/subject_courses.h"

#include <algorithm>

#include "exchange/codec.h"

namespace enlazor {
namespace {

std::string Cut(const std::string& text, size_t width) { return text.substr(0, width); }

}  // namespace

SubjectCourses::SubjectCourses(const SenecaKept* kept, IdentifierWidths widths, RunReport& report)
    : kept_(kept), widths_(widths), report_(report) {
  if (!kept_) return;
  for (const auto& unit : kept_->units) {
    if (unit.course.empty()) continue;  // a unit the file places in no course is not checked
    auto& courses = unitCourses_[Cut(unit.id, widths_.unidad)];
    const std::string course = Cut(unit.course, widths_.materia);
    if (std::find(courses.begin(), courses.end(), course) == courses.end()) courses.push_back(course);
  }
  for (const auto& subject : kept_->subjects) {
    named_.emplace(std::pair{Cut(subject.course, widths_.materia), FoldedName(subject.name)}, &subject);
    byIds_.emplace(Ids{Cut(subject.course, widths_.materia), Cut(subject.id, widths_.codlargo)}, &subject);
  }
}

std::pair<std::string, std::string> SubjectCourses::For(const std::string& asig, const std::string& codGrupo,
                                                        const std::string& unidad,
                                                        const std::vector<std::string>& subject,
                                                        const LessonRef& lesson) {
  if (!kept_) return {subject[0], subject[1]};
  const auto key = std::pair{asig, unidad};
  const auto known = decided_.find(key);
  if (known != decided_.end()) return known->second;
  return decided_.emplace(key, Decide(asig, codGrupo, unidad, subject, lesson)).first->second;
}

// The Séneca name of the subject: its own in the Séneca file, else the table's.
std::string SubjectCourses::SubjectName(const std::vector<std::string>& subject) const {
  const auto found = byIds_.find(Ids{subject[0], subject[1]});
  return found != byIds_.end() ? found->second->name : subject[2];
}

// "2º Bachillerato", or the course's number when the Séneca file does not name it.
std::string SubjectCourses::Course(const std::string& id) const {
  for (const auto& [course, name] : kept_->courses) {
    if (Cut(course, widths_.materia) == id) return Quoted(name);
  }
  return Quoted(id);
}

SubjectCourses::Ids SubjectCourses::Decide(const std::string& asig, const std::string& codGrupo,
                                           const std::string& unidad, const std::vector<std::string>& subject,
                                           const LessonRef& lesson) {
  const Ids own{subject[0], subject[1]};
  const auto unit = unitCourses_.find(unidad);
  if (unit == unitCourses_.end() || subject[0].empty()) return own;  // a unit or a subject the file does not place
  const auto& courses = unit->second;
  if (std::find(courses.begin(), courses.end(), subject[0]) != courses.end()) return own;
  const std::string name = SubjectName(subject);
  std::string unitCourses;
  for (const auto& course : courses) unitCourses += (unitCourses.empty() ? "" : " y ") + Course(course);
  const std::string where = lesson.Text() + ": la unidad " + Quoted(codGrupo) + " es de " + unitCourses +
                            ", y la materia " + Quoted(asig) + " (" + AnsiToUtf8(name) + ") de " + Course(subject[0]);
  for (const auto& course : courses) {
    const auto same = named_.find({course, FoldedName(name)});
    if (same == named_.end()) continue;
    const Ids replaced{Cut(same->second->course, widths_.materia), Cut(same->second->id, widths_.codlargo)};
    report_.Add({"materia_cambiada", "SOLUC", static_cast<long>(lesson.row), "ASIG", AnsiToUtf8(asig),
                 AnsiToUtf8(replaced.first + " " + replaced.second), AnsiToUtf8(lesson.profesor), lesson.dia,
                 lesson.hora,
                 where + ": va a Séneca como la materia del mismo nombre de " + Course(course) + " (" +
                     AnsiToUtf8(replaced.first) + ", " + AnsiToUtf8(replaced.second) + ")."});
    return replaced;
  }
  report_.Add({"materia_de_otro_curso", "SOLUC", static_cast<long>(lesson.row), "ASIG", AnsiToUtf8(asig),
               AnsiToUtf8(own.first + " " + own.second), AnsiToUtf8(lesson.profesor), lesson.dia, lesson.hora,
               where + ", que no tiene una materia de ese nombre: va a Séneca con una materia que no es de su curso. "
                       "Corrija la materia en Horavia."});
  return own;
}

}  // namespace enlazor
