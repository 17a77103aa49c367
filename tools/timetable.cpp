#include "tools/timetable.h"

#include <algorithm>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "exchange/codec.h"
#include "exchange/dbf/table.h"
#include "exchange/failure.h"
#include "exchange/platform/platform.h"
#include "exchange/set/seneca_kept.h"

namespace enlazor {
namespace {

namespace fs = std::filesystem;

std::vector<std::vector<std::string>> Rows(const fs::path& dir, const char* table, std::vector<const char*> fields) {
  Table t(dir, table);
  t.Open();
  std::vector<std::vector<std::string>> rows;
  for (t.First(); !t.Eof(); t.Next()) {
    std::vector<std::string> row;
    for (const char* field : fields) row.push_back(t.HasField(field) ? t.FieldText(field) : "");
    rows.push_back(std::move(row));
  }
  return rows;
}

// The subjects Horavia adds for what it schedules besides classes: code and name.
const std::pair<const char*, const char*> kHoraviaSubjects[] = {{"GU", "Guardia"},
                                                                {"GREC", "Guardia de recreo"},
                                                                {"EXT", "Actividades extraescolares"},
                                                                {"CCP", "Comisión de coordinación pedagógica"}};

void AddHoraviaSubjects(const fs::path& dir) {
  Table asignomt(dir, "ASIGNOMT");
  asignomt.Open();
  for (const auto& [code, name] : kHoraviaSubjects) {
    asignomt.Append();
    asignomt.SetFieldText("COD", code);
    asignomt.SetFieldText("NOMBRE", Utf8ToAnsi(name));
    asignomt.Post();
  }
}

struct Lesson {
  int day = 0, slot = 0;
  std::string room, unit, subject;
};

// What the timetable is made of.
class School {
 public:
  explicit School(const fs::path& dir)
      : teachers_(Rows(dir, "PROFT", {"ABREV", "X_EMPLEADO", "F_TOMAPOS"})),
        rooms_(Rows(dir, "AULAT", {"ABREV"})),
        units_(Rows(dir, "GRUPOST", {"ABREV", "UNIDAD"})),
        subjects_(Rows(dir, "ASIGNOMT", {"COD", "MATERIA", "NOMBRE"})) {
    const auto grid = Rows(dir, "DIASHORAST", {"DIA", "HORA", "CODDIHO"});
    if (rooms_.empty() || units_.empty() || subjects_.empty() || grid.empty()) {
      throw Failure("Las tablas de trabajo no tienen aulas, unidades, materias o tramos");
    }
    const fs::path keptFile = SenecaKeptIn(dir);
    if (platform::FileExists(keptFile)) kept_ = ReadSenecaKept(keptFile);
    for (const auto& row : grid) {
      if (row[0] != "1") continue;
      slots_.push_back({row[1], PlanOf(row[2])});
      if (std::find(plans_.begin(), plans_.end(), slots_.back().plan) == plans_.end())
        plans_.push_back(slots_.back().plan);
    }
    for (size_t s = 0; s < subjects_.size(); ++s) byCourse_[subjects_[s][1]].push_back(s);
  }

  const std::vector<std::vector<std::string>>& Teachers() const { return teachers_; }
  std::string Room(std::mt19937& rng) const { return rooms_[rng() % rooms_.size()][0]; }
  size_t Units() const { return units_.size(); }
  const std::string& UnitCode(size_t unit) const { return units_[unit][0]; }
  const std::string& SubjectCode(size_t subject) const { return subjects_[subject][0]; }
  // The break's slot number (from 1), or 0.
  int BreakSlot() const {
    for (size_t s = 0; s < slots_.size(); ++s) {
      if (FoldedName(slots_[s].label).rfind("recreo", 0) == 0) return static_cast<int>(s) + 1;
    }
    return 0;
  }
  // The week's free places of a plan: days 1 to 5, its slots but the break.
  std::vector<std::pair<int, int>> Week(size_t plan) const {
    std::vector<std::pair<int, int>> week;
    for (int day = 1; day <= 5; ++day) {
      for (size_t s = 0; s < slots_.size(); ++s) {
        if (slots_[s].plan == plans_[std::min(plan, plans_.size() - 1)] && static_cast<int>(s) + 1 != BreakSlot())
          week.emplace_back(day, static_cast<int>(s) + 1);
      }
    }
    return week;
  }
  size_t Plans() const { return plans_.size(); }
  // A subject of one of the unit's courses; any subject when the courses are unknown.
  size_t SubjectFor(size_t unit, std::mt19937& rng) const {
    const auto courses = CoursesOf(unit);
    const std::string course = courses.empty() ? "" : courses[rng() % courses.size()];
    const auto found = byCourse_.find(course);
    if (found == byCourse_.end() || found->second.empty()) return rng() % Teaching();
    return found->second[rng() % found->second.size()];
  }
  // Another course's subject of the same name as one of the unit's, or of a
  // name its courses lack; none when the school has no such subject.
  std::optional<size_t> OtherCourses(size_t unit, bool sameName) const {
    const auto courses = CoursesOf(unit);
    std::set<std::string> names;
    for (const auto& course : courses) {
      if (byCourse_.count(course))
        for (size_t s : byCourse_.at(course)) names.insert(FoldedName(subjects_[s][2]));
    }
    for (size_t s = 0; s < Teaching(); ++s) {
      const bool ours = std::find(courses.begin(), courses.end(), subjects_[s][1]) != courses.end();
      if (!ours && !subjects_[s][1].empty() && (names.count(FoldedName(subjects_[s][2])) > 0) == sameName) return s;
    }
    return std::nullopt;
  }

 private:
  struct Slot {
    std::string label, plan;
  };
  std::string PlanOf(const std::string& code) const {
    if (kept_) {
      for (const auto& slot : kept_->slots) {
        if (slot.code == code) return slot.plan;
      }
    }
    return {};
  }
  std::vector<std::string> CoursesOf(size_t unit) const {
    std::vector<std::string> courses;
    if (!kept_) return courses;
    for (const auto& u : kept_->units) {
      if (u.id.substr(0, units_[unit][1].size()) == units_[unit][1] && !u.id.empty()) courses.push_back(u.course);
    }
    return courses;
  }
  // The subjects the export wrote, before Horavia's own.
  size_t Teaching() const { return subjects_.size(); }

  std::vector<std::vector<std::string>> teachers_, rooms_, units_, subjects_;
  std::optional<SenecaKept> kept_;
  std::vector<Slot> slots_;
  std::vector<std::string> plans_;
  std::map<std::string, std::vector<size_t>> byCourse_;
};

// One teacher's week, in the order Horavia might store it. taken: the places
// a post's other codes have already, a post being one person; secondCode: a
// post's second code, which gets a few lessons only.
std::vector<Lesson> WeekOf(const School& school, size_t t, int lessons, bool secondCode,
                           std::set<std::pair<int, int>>& taken, std::mt19937& rng) {
  if (t == 6) return {};  // a teacher with no lesson at all
  const bool evening = t % 12 == 11 && school.Plans() > 1;
  auto free = school.Week(evening ? 1 : 0);
  std::erase_if(free, [&](const auto& place) { return taken.count(place) > 0; });
  std::shuffle(free.begin(), free.end(), rng);
  std::vector<Lesson> week;
  auto place = [&](const std::string& subject, const std::string& unit, const std::string& room) {
    if (free.empty()) return;
    week.push_back({free.back().first, free.back().second, room, unit, subject});
    free.pop_back();
  };
  const size_t unit = rng() % school.Units();
  if (!evening && !secondCode) {
    for (int k = 0; k < 2; ++k) place("GU", "", "");
    if (const int breakSlot = school.BreakSlot())
      week.push_back({1 + static_cast<int>(t % 5), breakSlot, "", "", "GREC"});
  }
  if (t % 3 == 0 && !secondCode) place("TUT", school.UnitCode(unit), school.Room(rng));
  if (t % 5 == 0 && !secondCode) place("REU", "", "");
  if (t % 20 == 7) place("EXT", "", "");
  if (t % 40 == 13) place("CCP", "", "");
  const int classes = t == 8       ? static_cast<int>(free.size())
                      : secondCode ? 3
                                   : lessons - 7 + static_cast<int>(rng() % 3);
  for (int k = 0; k < classes && !free.empty(); ++k) {
    const size_t u = k == 0 ? unit : rng() % school.Units();
    place(school.SubjectCode(school.SubjectFor(u, rng)), school.UnitCode(u), school.Room(rng));
  }
  if ((t == 2 || t == 4) && !week.empty()) {
    if (const auto other = school.OtherCourses(unit, t == 2)) {
      week.back().unit = school.UnitCode(unit);
      week.back().subject = school.SubjectCode(*other);
    }
  }
  if (t == 10 && school.BreakSlot() && !week.empty()) week.back().slot = school.BreakSlot(), week.back().day = 5;
  for (const Lesson& lesson : week) taken.emplace(lesson.day, lesson.slot);
  std::shuffle(week.begin(), week.end(), rng);
  if (t % 10 == 0 && !week.empty()) week.insert(week.begin() + static_cast<long>(week.size() / 2), Lesson{});
  return week;
}

}  // namespace

void MakeTimetable(const fs::path& dir, int lessons, unsigned seed) {
  const School school(dir);
  AddHoraviaSubjects(dir);
  std::mt19937 rng(seed);
  Table soluc(dir, "SOLUC");
  for (const char* name : {"PROF", "AULA", "CODGRUPO", "ASIG"}) soluc.AddField({name, FieldType::Text, 4});
  soluc.AddField({"DIA", FieldType::Integer, 0});
  soluc.AddField({"HORA", FieldType::Integer, 0});
  soluc.CreateTable();
  soluc.Open();
  const auto& teachers = school.Teachers();
  std::map<std::pair<std::string, std::string>, std::set<std::pair<int, int>>> posts;  // X_EMPLEADO, F_TOMAPOS
  for (size_t t = 0; t < teachers.size(); ++t) {
    const auto post =
        teachers[t][1].empty() ? std::pair{teachers[t][0], std::string()} : std::pair{teachers[t][1], teachers[t][2]};
    const bool secondCode = posts.count(post) > 0;
    for (const Lesson& lesson : WeekOf(school, t, lessons, secondCode, posts[post], rng)) {
      soluc.Append();
      soluc.SetFieldText("PROF", teachers[t][0]);
      soluc.SetFieldText("DIA", std::to_string(lesson.day));
      soluc.SetFieldText("HORA", std::to_string(lesson.slot));
      soluc.SetFieldText("AULA", lesson.room);
      soluc.SetFieldText("CODGRUPO", lesson.unit);
      soluc.SetFieldText("ASIG", lesson.subject);
      soluc.Post();
    }
  }
  soluc.Close();
}

}  // namespace enlazor
