// The subject of the unit's own course. A unit taught in two courses has a
// same-named subject in each, with Séneca identifiers of its own, and Horavia
// may place a lesson under either code: Séneca must receive the subject of a
// course the unit is in. When the unit's course has a subject of the same
// name, that one goes; when it has none, the lesson goes as it is, told.
#pragma once

#include <map>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "exchange/report.h"
#include "exchange/set/seneca_kept.h"
#include "import/lesson.h"

namespace enlazor {

// The widths the work tables hold Séneca's identifiers in: the kept values
// are compared as the tables cut them.
struct IdentifierWidths {
  size_t unidad = 10, materia = 8, codlargo = 8;
};

class SubjectCourses {
 public:
  // kept: null when the set has none; then every lesson keeps its subject.
  SubjectCourses(const SenecaKept* kept, IdentifierWidths widths, RunReport& report);

  // The subject values (X_OFERTAMATRIG, X_MATERIAOMG) of a class of the unit
  // unidad (GRUPOST UNIDAD; codGrupo its code) under the subject asig, whose
  // ASIGNOMT values are MATERIA, CODLARGO and NOMBRE. Decided once per
  // subject and unit, and told once.
  std::pair<std::string, std::string> For(const std::string& asig, const std::string& codGrupo,
                                          const std::string& unidad, const std::vector<std::string>& subject,
                                          const LessonRef& lesson);

 private:
  using Ids = std::pair<std::string, std::string>;
  Ids Decide(const std::string& asig, const std::string& codGrupo, const std::string& unidad,
             const std::vector<std::string>& subject, const LessonRef& lesson);
  std::string SubjectName(const std::vector<std::string>& subject) const;
  std::string Course(const std::string& id) const;

  const SenecaKept* kept_;
  IdentifierWidths widths_;
  RunReport& report_;
  std::unordered_map<std::string, std::vector<std::string>> unitCourses_;            // UNIDAD -> its courses, in order
  std::map<std::pair<std::string, std::string>, const SenecaKept::Subject*> named_;  // (course, folded name)
  std::map<Ids, const SenecaKept::Subject*> byIds_;                                  // (MATERIA, CODLARGO)
  std::map<std::pair<std::string, std::string>, Ids> decided_;                       // (asig, unidad)
};

}  // namespace enlazor
