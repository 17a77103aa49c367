// The activity groups of one teacher: every lesson of the teacher in SOLUC,
// with its day, slot, room, unit and subject in Séneca's identifiers.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "exchange/dbf/table.h"
#include "exchange/report.h"
#include "exchange/set/seneca_kept.h"
#include "exchange/xml/xml.h"
#include "import/lesson.h"
#include "import/lesson_kinds.h"
#include "import/subject_courses.h"
#include "import/teacher_hours.h"

namespace enlazor {

// The school year's first and last dates, Windows-1252.
struct FechasCurso {
  std::string inicio, fin;
};

// Séneca's four-digit time of a hh:mm text: 08:30 gives 0830, 9:30 gives 0930.
std::string ConvertirHora(std::string_view time);

// A table's text as it may go into the output: a character XML cannot hold
// (a control character) stops the run naming the table, the row and the field.
const std::string& CheckedForXml(const std::string& text, const Table& table, size_t row, std::string_view field);

// First row, in stored order, whose key field equals a text exactly; the table is read once.
class Lookup {
 public:
  // fields: those taken; optional ones the table may lack give empty values.
  Lookup(Table& table, const char* keyField, std::vector<const char*> fields, std::vector<const char*> optional = {});
  // The taken fields of the first matching row, or null when none matches.
  const std::vector<std::string>* Find(const std::string& key);

 private:
  struct Row {
    size_t number;
    std::vector<std::string> values;
    bool checked = false;
  };
  Table& table_;
  const char* keyField_;
  std::vector<const char*> fields_;
  size_t required_;  // the first fields, which the table must have
  bool built_ = false;
  std::unordered_map<std::string, Row> rows_;
};

struct ImportTables {
  Table& soluc;
  Table& tramos;
  Table& aulas;
  Table& grupos;
  Table& nomAsg;
};

// What the import knows besides the tables: what the export kept of the
// Séneca file (null when the set has none) and the work folder, where the
// user's list of activities is.
struct SenecaContext {
  const SenecaKept* kept = nullptr;
  std::filesystem::path workDir;
};

// Where two of a teacher's lessons are at one day and slot: the first room and its row.
using RoomsAt = std::map<std::pair<int, int>, std::pair<std::string, size_t>>;

class Activities {
 public:
  Activities(const ImportTables& tables, RunReport& report, const SenecaContext& seneca = {});

  // How many activity groups GenerarActividades gives the teacher: the
  // teacher's SOLUC rows whose DIA is not 0. rooms: the rooms of the teacher
  // group so far, a post Horavia has under two codes being one teacher.
  int CountActividades(const std::string& abrev, RoomsAt& rooms);
  int CountActividades(const std::string& abrev) {
    RoomsAt rooms;
    return CountActividades(abrev, rooms);
  }
  // Writes one activity group per lesson of the teacher whose DIA is not 0,
  // numbered from first; returns how many.
  int GenerarActividades(const std::string& abrev, XmlText& teacherGroup, const FechasCurso& fechas, int first = 1);
  // Each teacher group's hours, begun and ended around its lessons.
  TeacherHoursCount& Hours() { return hours_; }
  // Tells of the SOLUC rows of teacher codes no PROFT row has: they are never read.
  void ReportTeachersNotInProft(const std::vector<std::string>& proftCodes);

  // Day, slot code, start time and end time.
  std::vector<std::string> BuscarTramo(const std::string& slotKey);
  std::string BuscarDependencia(const std::string& aula);
  std::string BuscarUnidad(const std::string& codGrupo);
  // Subject offer (MATERIA), subject (CODLARGO) and its name (NOMBRE).
  std::vector<std::string> BuscarMateria(const std::string& asig);

 private:
  const std::vector<size_t>& LessonsOf(const std::string& abrev);
  // A SOLUC field's number, found at its first reading.
  size_t Field(size_t& number, const char* name);
  std::string Defined(const std::string& code, const char* field);
  void CheckOneRoomAtATime(RoomsAt& rooms, const std::string& room);
  // The slot's minutes and label, as the Séneca file gives them or else DIASHORAST.
  std::pair<int, std::string> SlotOf(const std::vector<std::string>& tramo) const;
  // A lookup found nothing for the lesson: the user hears of it.
  void ReportMissing(const char* kind, const char* table, const char* field, const char* what, const std::string& value,
                     const std::string& outcome);

  Table& soluc_;
  RunReport& report_;
  struct {
    size_t dia = SIZE_MAX, hora = SIZE_MAX, aula = SIZE_MAX, codGrupo = SIZE_MAX, asig = SIZE_MAX;
  } field_;
  std::vector<XmlText::LeafTag> datos_;  // the eleven dato tags, in order
  Lookup tramos_, aulas_, grupos_, materias_;
  bool indexed_ = false;
  std::unordered_map<std::string, std::vector<size_t>> lessons_;  // PROF -> SOLUC rows in stored order
  LessonRef lesson_;                                              // the lesson being written, for findings
  const SenecaKept* kept_;
  LessonKinds kinds_;
  SubjectCourses courses_;
  TeacherHoursCount hours_;
  std::unordered_map<std::string, const SenecaKept::Slot*> slots_;  // X_TRAMO -> the Séneca file's slot
};

}  // namespace enlazor
