#include "import/teacher_hours.h"

#include "exchange/codec.h"

namespace enlazor {

void TeacherHoursCount::Begin(TeacherHours teacher, const std::vector<size_t>& rows) {
  teacher_ = std::move(teacher);
  rows_ = rows;
  slots_.clear();
  lessons_ = 0;
}

void TeacherHoursCount::Lesson(const LessonKind& kind, int minutes, const std::string& slotLabel,
                               const LessonRef& lesson) {
  ++lessons_;
  using Category = LessonKind::Category;
  ++(kind.category == Category::Class       ? report_.clases
     : kind.category == Category::GuardDuty ? report_.guardias
                                            : report_.otras);
  const bool onBreak = FoldedName(slotLabel).rfind("recreo", 0) == 0;
  if (checkBreaks_ && kind.subject && (onBreak || (minutes > 0 && minutes <= kShortestClassSlot))) {
    report_.Add(
        {"clase_en_recreo", "SOLUC", static_cast<long>(lesson.row), "HORA", std::to_string(lesson.hora),
         AnsiToUtf8(slotLabel), AnsiToUtf8(lesson.profesor), lesson.dia, lesson.hora,
         lesson.Text() + ": una clase en el tramo «" + AnsiToUtf8(slotLabel) + "»" +
             (onBreak ? ", que el archivo de Séneca llama recreo" : ", de " + std::to_string(minutes) + " minutos") +
             ". Compruebe en Horavia que es una clase."});
  }
  if (!slots_.insert({lesson.dia, lesson.hora}).second || minutes <= 0 || minutes >= 24 * 60) return;
  long& counted = !kind.regular                          ? teacher_.minutos_no_regulares
                  : kind.category == Category::Class     ? teacher_.minutos_clase
                  : kind.category == Category::GuardDuty ? teacher_.minutos_guardia
                                                         : teacher_.minutos_otras;
  counted += minutes;
}

void TeacherHoursCount::End() {
  std::vector<std::string> rows;
  for (const size_t row : rows_) rows.push_back(std::to_string(row));
  const std::string who = TableTitle("PROFT") + (rows_.size() == 1 ? ", fila " : ", filas ") + Enumerated(rows) +
                          ": el profesor «" + AnsiToUtf8(teacher_.profesor) + "» (" + AnsiToUtf8(teacher_.nombre) + ")";
  const long first = rows_.empty() ? 0 : static_cast<long>(rows_.front());
  if (lessons_ == 0) {
    report_.Add({"profesor_sin_horario",
                 "PROFT",
                 first,
                 "ABREV",
                 AnsiToUtf8(teacher_.profesor),
                 "sin horario",
                 "",
                 {},
                 {},
                 who + " no tiene ninguna clase colocada en Horavia: Séneca no recibirá su horario."});
  }
  if (teacher_.Regular() > kMostRegularMinutes) {
    report_.Add({"mas_de_25_horas",
                 "PROFT",
                 first,
                 "ABREV",
                 AnsiToUtf8(teacher_.profesor),
                 HoursText(teacher_.Regular()),
                 "",
                 {},
                 {},
                 who + " tiene " + HoursText(teacher_.Regular()) +
                     " de horario regular, más de las 25 que permiten las normas. Revíselo en Horavia."});
  }
  report_.horas.push_back(std::move(teacher_));
}

}  // namespace enlazor
