// The summary a head of studies checks before uploading: each teacher's
// regular hours (classes, guard duties, other activities) from the slots'
// times, and what stands out: a teacher with no timetable at all, more than
// the 25 regular hours the regional rules allow, a class on the break.
#pragma once

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "exchange/report.h"
#include "import/lesson.h"
#include "import/lesson_kinds.h"

namespace enlazor {

inline constexpr long kMostRegularMinutes = 25 * 60;
// A slot this short, or one Séneca calls the break, is no place for a class.
inline constexpr int kShortestClassSlot = 30;

class TeacherHoursCount {
 public:
  // checkBreaks: whether classes on the break are looked for; only the
  // Séneca file tells a class from an activity and names the break.
  TeacherHoursCount(RunReport& report, bool checkBreaks) : report_(report), checkBreaks_(checkBreaks) {}

  // A teacher group begins: who, and the PROFT rows it comes from (from 1).
  void Begin(TeacherHours teacher, const std::vector<size_t>& rows);
  // One lesson written: what it is, its slot, and the slot's minutes and label.
  void Lesson(const LessonKind& kind, int minutes, const std::string& slotLabel, const LessonRef& lesson);
  // The group ends: its hours join the report, and what stands out is told.
  void End();

 private:
  RunReport& report_;
  bool checkBreaks_;
  TeacherHours teacher_;
  std::vector<size_t> rows_;
  std::set<std::pair<int, int>> slots_;  // (day, slot): a slot counts once, whatever it holds
  size_t lessons_ = 0;
};

}  // namespace enlazor
