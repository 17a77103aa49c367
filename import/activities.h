// The activity groups of one teacher: every lesson of the teacher in SOLUC,
// with its day, slot, room, unit and subject in Séneca's identifiers.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "exchange/table.h"
#include "exchange/xml.h"

namespace enlazor {

// The school year's first and last dates, Windows-1252.
struct FechasCurso {
  std::string inicio, fin;
};

// Séneca's four-digit time of a hh:mm text: 08:30 gives 0830, 9:30 gives 0930.
std::string ConvertirHora(std::string_view time);

// First row, in stored order, whose key field equals a text exactly; read once.
class Lookup {
 public:
  Lookup(Table& table, const char* keyField, std::vector<const char*> fields);
  // The taken fields of the first matching row; empty texts when none matches.
  const std::vector<std::string>& Find(const std::string& key);

 private:
  Table& table_;
  const char* keyField_;
  std::vector<const char*> fields_;
  bool built_ = false;
  std::unordered_map<std::string, std::vector<std::string>> rows_;
  std::vector<std::string> none_;
};

struct ImportTables {
  Table& soluc;
  Table& tramos;
  Table& aulas;
  Table& grupos;
  Table& nomAsg;
};

class Activities {
 public:
  explicit Activities(const ImportTables& tables);

  // Writes one activity group per lesson of the teacher whose DIA is not 0
  // into the teacher group's text; returns how many.
  int GenerarActividades(const std::string& abrev, XmlText& teacherGroup, const FechasCurso& fechas);

  // Day, slot code, start time and end time.
  const std::vector<std::string>& BuscarTramo(const std::string& slotKey);
  std::string BuscarDependencia(const std::string& aula);
  std::string BuscarUnidad(const std::string& codGrupo);
  // Subject offer (MATERIA) and subject (CODLARGO).
  const std::vector<std::string>& BuscarMateria(const std::string& asig);

 private:
  const std::vector<size_t>& LessonsOf(const std::string& abrev);
  // A SOLUC field's number, found at its first reading.
  size_t Field(size_t& number, const char* name);

  Table& soluc_;
  struct {
    size_t dia = SIZE_MAX, hora = SIZE_MAX, aula = SIZE_MAX, codGrupo = SIZE_MAX, asig = SIZE_MAX;
  } field_;
  std::vector<XmlText::LeafTag> datos_;  // the eleven dato tags, in order
  Lookup tramos_, aulas_, grupos_, materias_;
  bool indexed_ = false;
  std::unordered_map<std::string, std::vector<size_t>> lessons_;  // PROF -> SOLUC rows in stored order
};

}  // namespace enlazor
