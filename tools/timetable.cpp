#include "tools/timetable.h"

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "exchange/dbf/table.h"
#include "exchange/failure.h"

namespace enlazor {
namespace {

std::vector<std::string> Column(const std::filesystem::path& dir, const char* table, const char* field) {
  Table t(dir, table);
  t.Open();
  std::vector<std::string> values;
  for (t.First(); !t.Eof(); t.Next()) values.push_back(t.FieldText(field));
  return values;
}

}  // namespace

void MakeTimetable(const std::filesystem::path& dir, int lessons, unsigned seed) {
  const auto teachers = Column(dir, "PROFT", "ABREV");
  const auto rooms = Column(dir, "AULAT", "ABREV");
  const auto units = Column(dir, "GRUPOST", "ABREV");
  const auto subjects = Column(dir, "ASIGNOMT", "COD");
  const auto slotLabels = Column(dir, "DIASHORAST", "HORA");
  const int slots = static_cast<int>(slotLabels.size() / 7);
  if (rooms.empty() || units.empty() || subjects.empty() || slots == 0) {
    throw Failure("Las tablas de trabajo no tienen aulas, unidades, materias o tramos");
  }
  std::mt19937 rng(seed);
  Table soluc(dir, "SOLUC");
  for (const char* name : {"PROF", "AULA", "CODGRUPO", "ASIG"}) soluc.AddField({name, FieldType::Text, 4});
  soluc.AddField({"DIA", FieldType::Integer, 0});
  soluc.AddField({"HORA", FieldType::Integer, 0});
  soluc.CreateTable();
  soluc.Open();
  auto add = [&](const std::string& prof, int day, int slot) {
    soluc.Append();
    soluc.SetFieldText("PROF", prof);
    soluc.SetFieldText("DIA", std::to_string(day));
    soluc.SetFieldText("HORA", std::to_string(slot));
    soluc.SetFieldText("AULA", rooms[rng() % rooms.size()]);
    soluc.SetFieldText("CODGRUPO", units[rng() % units.size()]);
    soluc.SetFieldText("ASIG", subjects[rng() % subjects.size()]);
    soluc.Post();
  };
  const int week = 5 * slots;
  for (size_t t = 0; t < teachers.size(); ++t) {
    std::set<int> taken;
    const int breaks = static_cast<int>(std::count(slotLabels.begin(), slotLabels.begin() + slots, "Recreo"));
    const int count = std::min(week - 5 * breaks, lessons - 2 + static_cast<int>(rng() % 5));
    while (static_cast<int>(taken.size()) < count) {
      const int at = static_cast<int>(rng() % week);
      if (slotLabels[static_cast<size_t>(at % slots)] != "Recreo") taken.insert(at);  // no lessons in the break
    }
    std::vector<int> order(taken.begin(), taken.end());
    std::shuffle(order.begin(), order.end(), rng);
    for (size_t k = 0; k < order.size(); ++k) {
      if (t % 10 == 0 && k == order.size() / 2) add(teachers[t], 0, 0);  // unplaced lesson
      add(teachers[t], order[k] / slots + 1, order[k] % slots + 1);
    }
  }
  soluc.Close();
}

}  // namespace enlazor
