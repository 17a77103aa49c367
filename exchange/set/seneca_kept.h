// What the export keeps of the Séneca file beside the seven tables, for the
// import: the school's activities, its courses, its subjects with their
// course and name, its slots with their times and school-day plan, and its
// units with their courses. Horavia's tables have none of it, and without it
// the import could not tell a guard duty from a class, or a subject of the
// unit's own course from another's.
//
// The file is a Séneca document of its own, "ENLAZOR-SENECA.XML", part of the
// set: written in the staging folder, committed, kept and restored with the
// tables. Its values are the Séneca file's, record by record and in order.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "exchange/xml/seneca_reader.h"

namespace enlazor {

namespace fs = std::filesystem;

// The groups kept, each with its records' values by position.
inline constexpr const char* kKeptGroups[] = {"CURSOS_DEL_CENTRO", "MATERIAS", "ACTIVIDADES", "TRAMOS_HORARIOS",
                                              "UNIDADES"};

// Writes the kept file as the Séneca file streams past: the root's
// attributes, the school year's group and the records of kKeptGroups.
class SenecaKeeper : public SenecaHandler {
 public:
  // Creates the file; nothing is there until Finish.
  explicit SenecaKeeper(const fs::path& file);
  ~SenecaKeeper() override;
  SenecaKeeper(const SenecaKeeper&) = delete;
  SenecaKeeper& operator=(const SenecaKeeper&) = delete;

  void Root(const char* const* attributes) override;
  void TopGroup(size_t index, const std::string& seq, const Datos& datos) override;
  void Record(const std::string& seq, const Datos& datos) override;
  // Ends the document and flushes it to the disk.
  void Finish();

 private:
  struct Writer;
  std::unique_ptr<Writer> writer_;
};

// What the import reads of the kept file, in Windows-1252 as the tables hold text.
struct SenecaKept {
  struct Activity {
    std::string code, name;
    bool regular = true, needsUnit = true, needsSubject = true;
  };
  struct Subject {
    std::string course, id, name;  // X_OFERTAMATRIG, X_MATERIAOMG, D_MATERIAC
  };
  struct Slot {
    std::string code, label, plan;  // X_TRAMO, T_HORCEN, X_PLAJORESCCEN
    int start = 0, end = 0;         // minutes since midnight
  };
  struct Unit {
    std::string id, name, course;  // X_UNIDAD, T_NOMBRE, X_OFERTAMATRIG: a mixed unit once per course
  };
  std::string autor;                           // the SERVICIO's author: the school
  std::string year;                            // C_ANNO
  std::map<std::string, std::string> courses;  // X_OFERTAMATRIG -> D_OFERTAMATRIG
  std::vector<Activity> activities;
  std::vector<Subject> subjects;
  std::vector<Slot> slots;
  std::vector<Unit> units;
};

// The kept file of a set's folder, "ENLAZOR-SENECA.XML" in any letter case
// (that name when the folder has none).
fs::path SenecaKeptIn(const fs::path& folder);
// Reads the kept file; one that is damaged raises saying so.
SenecaKept ReadSenecaKept(const fs::path& file);

}  // namespace enlazor
