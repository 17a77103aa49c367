// What each lesson of SOLUC is to Séneca. A lesson whose subject is a Séneca
// subject (ASIGNOMT holds its identifiers) is a class: activity "1",
// Docencia. Any other subject Horavia schedules (a guard duty, a tutoría, a
// meeting) stands for one of the school's Séneca activities: the one the
// user's list in the work folder gives for its code ("GU = 25", "TUT =
// Tutoría lectiva"), or else the one whose name is the subject's, compared
// without case, accents or repeated blanks. Nothing beyond that is guessed.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "exchange/report.h"
#include "exchange/set/seneca_kept.h"
#include "import/lesson.h"

namespace enlazor {

// The user's list of Horavia codes and the activities they stand for, in the work folder.
inline constexpr const char* kActivityList = "Enlazor-actividades.txt";

struct LessonKind {
  enum class Category { Class, GuardDuty, Other };
  std::string activity = "1";  // X_ACTIVIDAD
  bool unit = true;            // X_UNIDAD goes to Séneca
  bool subject = true;         // X_OFERTAMATRIG and X_MATERIAOMG go to Séneca
  bool regular = true;         // Séneca counts it in the regular timetable
  Category category = Category::Class;
};

class LessonKinds {
 public:
  // kept: what the export kept of the Séneca file, or null when the set has
  // none; then every lesson is a class, as it always was.
  LessonKinds(const SenecaKept* kept, const std::filesystem::path& workDir, RunReport& report);

  // The kind of a lesson under the subject code asig; asignomt: its ASIGNOMT
  // values (MATERIA, CODLARGO, NOMBRE), or null when ASIGNOMT lacks the code.
  // Found once per code, and told once, at the first lesson.
  const LessonKind& Of(const std::string& asig, const std::vector<std::string>* asignomt, const LessonRef& lesson);

 private:
  struct Listed {
    const SenecaKept::Activity* activity;
    size_t line;
  };
  void LoadList(const std::filesystem::path& workDir);
  void ReadLine(size_t number, std::string_view line);
  const SenecaKept::Activity* ByNumberOrName(const std::string& ansi) const;
  const SenecaKept::Activity* ByName(const std::string& ansi) const;
  void TellBadLine(size_t number, const std::string& text, const std::string& why);
  LessonKind Find(const std::string& asig, const std::vector<std::string>* asignomt, const LessonRef& lesson);
  void Tell(const char* tipo, const std::string& asig, const std::string& queda, const LessonRef& lesson,
            const std::string& message);
  // "1 Docencia, 2 Tutoría lectiva, 25 Guardia"
  std::string Offered() const;

  const SenecaKept* kept_;
  RunReport& report_;
  std::map<std::string, Listed> listed_;  // Windows-1252 code -> its activity and line
  std::unordered_map<std::string, LessonKind> kinds_;
};

}  // namespace enlazor
