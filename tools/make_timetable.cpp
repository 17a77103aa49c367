// Plays Horavia's part for demos and benchmarks: reads the work tables of an
// export and writes a timetable solution SOLUC in the same folder. Each
// teacher gets about 25 lessons over the week's slots; every tenth teacher
// also has a lesson left unplaced (DIA 0).
//
//   make_timetable WORKDIR [--lessons N] [--seed N]
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <random>
#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "exchange/table.h"

namespace {

using enlazor::FieldDef;
using enlazor::FieldType;
using enlazor::Table;

std::vector<std::string> Column(const std::filesystem::path& dir, const char* table, const char* field) {
  Table t(dir, table);
  t.Open();
  std::vector<std::string> values;
  for (t.First(); !t.Eof(); t.Next()) values.push_back(t.FieldText(field));
  return values;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "uso: make_timetable CARPETA [--lessons N] [--seed N]\n";
    return 2;
  }
  const std::filesystem::path dir = argv[1];
  int lessons = 25;
  unsigned seed = 7;
  for (int i = 2; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--lessons") == 0) lessons = std::atoi(argv[i + 1]);
    if (std::strcmp(argv[i], "--seed") == 0) seed = static_cast<unsigned>(std::atoi(argv[i + 1]));
  }
  try {
    const auto teachers = Column(dir, "PROFT", "ABREV");
    const auto rooms = Column(dir, "AULAT", "ABREV");
    const auto units = Column(dir, "GRUPOST", "ABREV");
    const auto subjects = Column(dir, "ASIGNOMT", "COD");
    const auto slotDays = Column(dir, "DIASHORAST", "DIA");
    const int slots = static_cast<int>(slotDays.size() / 7);
    if (rooms.empty() || units.empty() || subjects.empty() || slots == 0) {
      std::cerr << "Las tablas de trabajo no tienen aulas, unidades, materias o tramos\n";
      return 1;
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
      const int count = std::min(week, lessons - 2 + static_cast<int>(rng() % 5));
      while (static_cast<int>(taken.size()) < count) taken.insert(static_cast<int>(rng() % week));
      std::vector<int> order(taken.begin(), taken.end());
      std::shuffle(order.begin(), order.end(), rng);
      for (size_t k = 0; k < order.size(); ++k) {
        if (t % 10 == 0 && k == order.size() / 2) add(teachers[t], 0, 0);  // unplaced lesson
        add(teachers[t], order[k] / slots + 1, order[k] % slots + 1);
      }
    }
    soluc.Close();
  } catch (const std::exception& failure) {
    std::cerr << failure.what() << "\n";
    return 1;
  }
  return 0;
}
