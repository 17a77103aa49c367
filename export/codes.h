// The short codes by which Horavia names subjects, teachers, rooms and units,
// and the time texts of the slot grid. Text is Windows-1252.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace enlazor {

// Width of every code field.
inline constexpr size_t kCodeWidth = 4;

// First letter of the name and the letter after each blank, the first two kept.
std::string SubjectBaseCode(std::string_view name);
// First letters of the given name, the first surname and the second surname.
std::string TeacherBaseCode(std::string_view given, std::string_view surname1, std::string_view surname2);
// Characters 1, 4, 5 and the last of a name of five or more; a shorter name as it is.
std::string UnitCode(std::string_view unitName);

struct UnitPlacement {
  std::string nivel, curso, grupo;
};
UnitPlacement PlaceUnit(std::string_view code);

// Candidate n for a base: the base followed by n where that fits in four
// characters, else the base shortened to make room for n.
std::string NumberedCode(std::string_view base, unsigned n);

// Codes given within one table, compared as stored and without regard to case.
class CodeList {
 public:
  // The base when it is free, else the first free numbered candidate; the code is then held.
  std::string Unique(std::string_view base);
  bool Holds(std::string_view code) const;
  void Hold(std::string_view code);

 private:
  // A code of at most four characters, upper case, as one number: a school
  // with a hundred thousand teachers keeps its list in a few megabytes.
  static uint32_t Key(std::string_view code);
  std::unordered_set<uint32_t> held_;
  std::unordered_map<uint32_t, unsigned> next_;  // first candidate worth trying per base
};

// Room and unit codes: an identifier keeps its derived code unless another
// identifier holds it already; then the code is numbered like a teacher's.
class IdentifiedCodes {
 public:
  std::string CodeFor(std::string_view identifier, std::string_view derived);

 private:
  CodeList list_;
  std::unordered_map<std::string, std::string> holder_;               // upper-case code -> identifier
  std::map<std::pair<std::string, std::string>, std::string> given_;  // (identifier, derived) -> code
};

struct SlotTimes {
  std::string desde, hasta, minutos;
};
// Séneca's hhmm texts as hh:mm and the plain difference end - start;
// a text that is no whole number raises "'%s' no es un valor entero válido".
SlotTimes ApplyTimeRule(std::string start, std::string end);

}  // namespace enlazor
