// What a run did, and what the user must know before the data goes on: the
// rows per table and every finding (a value cut, a code renumbered, a lesson
// whose room is not in the tables, ...). Findings never change what a run
// writes. Texts are UTF-8.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace enlazor {

// The first line of each command's closing message, as the user has always seen it.
inline constexpr const char* kExportDone = "Proceso finalizado";
inline constexpr const char* kImportDone = "Proceso Terminado";
inline constexpr const char* kRestoreDone = "Tablas restauradas";
// The line a closing message adds when the file dialog was cancelled and the earlier choice served.
inline constexpr const char* kEarlierFileUsed =
    "No se eligió ningún archivo en el diálogo: se ha usado el de la vez anterior.";

struct Finding {
  std::string tipo;        // the kind, a stable name (see the README)
  std::string tabla;       // the table or Séneca group it is about
  long fila = 0;           // the row of the table, or the record of the group, from 1; 0 when none
  std::string campo;       // the field
  std::string valor;       // the value as found
  std::string queda;       // what became of it
  std::string profesor;    // the teacher's code (import)
  std::optional<int> dia;  // day and slot of a lesson (import); an unplaced lesson's day is 0
  std::optional<int> tramo;
  std::string mensaje;  // the finding in one sentence
};

// A count with its noun in agreement: "1 fila", "2 filas".
std::string Counted(size_t count, const char* one, const char* many);
// A value of the tables (Windows-1252) as findings quote it: «GU».
std::string Quoted(std::string_view ansi);
// A list as the user reads it: "a", "a y b", "a, b y c".
std::string Enumerated(const std::vector<std::string>& items);
// A table in plain words and by file, as findings name it: "Materias (ASIGNOMT)".
std::string TableTitle(std::string_view table);
// A JSON string of UTF-8 text.
std::string JsonString(const std::string& text);

struct TableRows {
  std::string tabla;
  size_t filas = 0;
};
// The tables and their rows as a JSON array: [{"tabla": "PROFT", "filas": 81}, ...].
std::string TablesJson(const std::vector<TableRows>& tablas);

// A teacher's regular timetable as it goes to Séneca, in minutes (import).
// The names are the JSON report's keys.
struct TeacherHours {
  std::string profesor;  // ABREV; the first, for a post Horavia has under two codes
  std::string empleado;  // X_EMPLEADO
  std::string nombre;
  long minutos_clase = 0, minutos_guardia = 0, minutos_otras = 0;  // regular
  long minutos_no_regulares = 0;
  long Regular() const { return minutos_clase + minutos_guardia + minutos_otras; }
};
// What an export changed of one kind of thing against the set it replaced
// (export). The names are the JSON report's keys.
struct SetChange {
  std::string que;                            // "profesores", "materias", "aulas" or "unidades"
  std::vector<std::string> nuevos, quitados;  // the first few, by name
  size_t cuantos_nuevos = 0, cuantos_quitados = 0;
};

// "18 h", "18 h 20 min"
std::string HoursText(long minutes);

class RunReport {
 public:
  std::string orden;    // "exportar", "importar" or "restaurar"
  std::string archivo;  // the chosen file
  std::string salida;   // the file written (import)
  std::string copia;    // the copy that keeps the tables the run replaced (export, restore)
  std::vector<TableRows> tablas;
  size_t profesores = 0, actividades = 0;      // import
  size_t clases = 0, guardias = 0, otras = 0;  // import: the activity groups by what they are
  std::vector<TeacherHours> horas;             // import: each teacher group, in the order of PROFT
  std::vector<SetChange> cambios;              // export: against the set it replaced
  std::string otro_curso, otro_centro;         // export: the replaced set's, when another ("?": unknown)
  bool reusedChoice = false;                   // the file dialog was cancelled: the previous choice was used
  std::vector<Finding> hallazgos;
  // Findings beyond the first kKeptPerKind of a kind are only counted: a list
  // of thousands of alike lines helps nobody, and memory stays bounded.
  static constexpr size_t kKeptPerKind = 500;
  std::map<std::string, size_t> omitidos;

  void Add(Finding finding);
  // Every finding, those only counted included.
  size_t Count() const;

  // The closing message: its first line, then the file the run used or wrote
  // and where the tables it replaced are kept.
  std::string Closing() const;
  // One line: how many findings to look at, of which kinds, and how many
  // routine ones; empty when there are none.
  std::string Summary() const;
  // The findings as a reader goes through them: first those to look at, kind
  // by kind, then the routine ones, one line per table with their list below.
  std::string Details() const;
  // Every finding's sentence, one per line, in the order found.
  std::string Lines() const;
  // The whole report as a JSON document.
  std::string Json() const;

 private:
  std::string HoursList() const;
  std::string ChangesText() const;
  std::map<std::string, size_t> counts_;                           // per kind, those only counted included
  std::map<std::pair<std::string, std::string>, size_t> byTable_;  // per kind and table
};

}  // namespace enlazor
