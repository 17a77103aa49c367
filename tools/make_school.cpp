// Writes a synthetic Séneca export of a school, in the real file's form:
// ISO-8859-1 with the Windows characters real files carry, every dato named,
// ANNO_ACADEMICO first and without registros, the other groups in Séneca's
// order with registros, records numbered as Séneca numbers them (MATERIA_1,
// PROFESOR_1, ...), numeric identifiers, slot times in minutes since
// midnight, one employee listed twice (two posts). As in real schools, every
// unit and every subject names its course of CURSOS_DEL_CENTRO; mixed units
// are listed once per course; the school day has two plans (morning and
// evening slots, X_PLAJORESCCEN) and the morning break is listed as a slot.
//
//   make_school [--teachers N] [--units N] [--rooms N] [--subjects N]
//               [--slots N] [--seed N] [--octubre] > school.xml
// --octubre: the same school a month on, as a mid-year re-export finds it:
// two teachers gone (the fifth and sixth), three come, a unit added.
// --slots: the morning's lesson slots; the break and two evening slots come with them.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "exchange/codec.h"
#include "exchange/dates.h"

namespace {

struct Options {
  int teachers = 80, units = 40, rooms = 50, subjects = 250, slots = 6;
  unsigned seed = 2026;
  bool october = false;
};

const char* const kGiven[] = {"Ana",         "Antonio", "María",      "José",  "Carmen",  "Francisco",
                              "Lucía",       "Manuel",  "Isabel",     "Jesús", "Rocío",   "Ángel",
                              "Pilar",       "Rafael",  "Inmaculada", "Juan",  "Dolores", "Miguel",
                              "Encarnación", "Sergio",  "Nuria",      "Óscar", "Elena",   "Pablo"};
const char* const kSurnames[] = {"García",    "López",   "Martínez", "Sánchez",  "Pérez",  "Gómez", "Ruiz",    "Díaz",
                                 "Moreno",    "Muñoz",   "Álvarez",  "Romero",   "Gil",    "Luna",  "Navarro", "Torres",
                                 "Domínguez", "Vázquez", "Ramos",    "Castillo", "Ortega", "Rubio", "Marín",   "Sanz",
                                 "Iglesias",  "Nuñez",   "Medina",   "Garrido",  "O’Neill"};
const char* const kPosts[] = {"Profesor/a de Enseñanza Secundaria", "Maestro/a", "Profesor/a Técnico/a de F.P.",
                              "Profesor/a de Religión"};
const char* const kSubjects[] = {"Lengua Castellana y Literatura",
                                 "Matemáticas",
                                 "Geografía e Historia",
                                 "Biología y Geología",
                                 "Física y Química",
                                 "Inglés",
                                 "Francés",
                                 "Educación Física",
                                 "Música",
                                 "Tecnología",
                                 "Educación Plástica",
                                 "Religión",
                                 "Valores Éticos",
                                 "Latín",
                                 "Filosofía",
                                 "Economía",
                                 "Tutoría",
                                 "Lectura Comprensiva",
                                 "Literatura Clásica",
                                 "Historia del Arte"};
const char* const kLevels[] = {"1º ESO",          "2º ESO",          "3º ESO",  "4º ESO",
                               "1º Bachillerato", "2º Bachillerato", "1º CFGM", "2º CFGM"};

// Names are held here in UTF-8 and written in ISO-8859-1, as Séneca writes them.
void Dato(const char* name, const std::string& value) {
  std::printf("        <dato nombre_dato=\"%s\">%s</dato>\n", name, enlazor::Utf8ToAnsi(value).c_str());
}

void OpenGroup(const char* seq, int records) {
  std::printf("    <grupo_datos seq=\"%s\" registros=\"%d\">\n", seq, records);
}
void CloseGroup() { std::printf("    </grupo_datos>\n"); }
// Séneca names each record after its kind: MATERIA_1, PROFESOR_1, ...
void OpenRecord(const char* kind, int n) { std::printf("      <grupo_datos seq=\"%s_%d\">\n", kind, n); }
void CloseRecord() { std::printf("      </grupo_datos>\n"); }

std::string Number(long base, int k) { return std::to_string(base + k); }

std::string Escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '&')
      out += "&amp;";
    else if (c == '<')
      out += "&lt;";
    else
      out += c;
  }
  return out;
}

void AnnoAcademico() {
  std::printf("    <grupo_datos seq=\"ANNO_ACADEMICO\">\n");
  std::printf("      <dato nombre_dato=\"C_ANNO\">2026</dato>\n");
  std::printf("      <dato nombre_dato=\"F_INIHORREG\">15/09/2026</dato>\n");
  std::printf("      <dato nombre_dato=\"F_FINHORREG\">22/06/2027</dato>\n");
  CloseGroup();
}

constexpr int kLevelCount = static_cast<int>(std::size(kLevels));

// The course offer of a level: what units and subjects name as their X_OFERTAMATRIG.
std::string Course(int level) { return Number(6001, (level % kLevelCount) * 7); }

void CursosDelCentro() {
  OpenGroup("CURSOS_DEL_CENTRO", kLevelCount);
  for (int i = 0; i < kLevelCount; ++i) {
    OpenRecord("CURSO", i + 1);
    Dato("X_OFERTAMATRIG", Course(i));
    Dato("D_OFERTAMATRIG", kLevels[i]);
    CloseRecord();
  }
  CloseGroup();
}

// A subject has the same name in every course that teaches it, each course
// with its own identifiers, as in Séneca; Bachillerato's name their course,
// and a second round of subjects are electives.
std::string SubjectName(int i) {
  const int subjects = static_cast<int>(std::size(kSubjects));
  const int level = (i / subjects) % kLevelCount;
  std::string name = kSubjects[i % subjects];
  if (level == 4 || level == 5) name += std::string(" ") + kLevels[level];
  if (i >= subjects * kLevelCount) name += " optativa";
  return name;
}

void Materias(const Options& o) {
  OpenGroup("MATERIAS", o.subjects);
  for (int i = 0; i < o.subjects; ++i) {
    const int level = (i / static_cast<int>(std::size(kSubjects))) % kLevelCount;
    OpenRecord("MATERIA", i + 1);
    Dato("X_OFERTAMATRIG", Course(level));
    Dato("X_MATERIAOMG", Number(41000, i));
    Dato("D_MATERIAC", Escape(SubjectName(i)));
    CloseRecord();
  }
  CloseGroup();
}

// The activities with the codes real Séneca files use for teaching, tutoría
// and guard duties, and some more, two of them outside the regular timetable.
void Actividades() {
  struct Activity {
    const char *code, *name;
    const char *regular, *unit, *subject;
  };
  const Activity activities[] = {{"1", "Docencia", "S", "S", "S"},
                                 {"2", "Tutoría lectiva", "S", "S", "N"},
                                 {"25", "Guardia", "S", "N", "N"},
                                 {"353", "Guardia de recreo", "S", "N", "N"},
                                 {"7", "Reunión de departamento", "S", "N", "N"},
                                 {"18", "Atención a las familias", "S", "N", "N"},
                                 {"33", "Actividades extraescolares", "N", "N", "N"},
                                 {"50", "Programa de refuerzo – tarde", "N", "S", "N"}};
  const int count = static_cast<int>(std::size(activities));
  OpenGroup("ACTIVIDADES", count);
  for (int i = 0; i < count; ++i) {
    OpenRecord("ACTIVIDAD", i + 1);
    Dato("L_REGULAR", activities[i].regular);
    Dato("X_ACTIVIDAD", activities[i].code);
    Dato("D_ACTIVIDAD", activities[i].name);
    Dato("L_REQUNIDAD", activities[i].unit);
    Dato("L_REQMATERIA", activities[i].subject);
    CloseRecord();
  }
  CloseGroup();
}

void Dependencias(const Options& o) {
  OpenGroup("DEPENDENCIAS", o.rooms);
  for (int i = 0; i < o.rooms; ++i) {
    OpenRecord("DEPENDENCIA", i + 1);
    Dato("X_DEPENDENCIA", Number(2081400, i * 13));
    Dato("D_DEPENDENCIA",
         i < 8 ? std::string("Laboratorio ") + std::to_string(i + 1) : "Aula " + std::to_string(i - 7));
    CloseRecord();
  }
  CloseGroup();
}

void TiposDeGuardia() {
  OpenGroup("TIPOS_GUARDIA", 2);
  for (int i = 0; i < 2; ++i) {
    OpenRecord("TIPO_GUARDIA", i + 1);
    Dato("X_TIPOGUARDIA", std::to_string(i + 1));
    Dato("D_TIPOGUARDIA", i == 0 ? "Guardia de aula" : "Guardia de recreo");
    CloseRecord();
  }
  CloseGroup();
}

// The morning plan's lesson slots with the break listed among them, as some
// schools list it, then the evening plan's two slots.
void Tramos(const Options& o) {
  struct Slot {
    std::string label;
    int start, minutes;
    const char* plan;
  };
  std::vector<Slot> slots;
  int start = 8 * 60 + 15;
  for (int i = 0; i < o.slots; ++i) {
    if (i == 3) {
      slots.push_back({"Recreo", start, 30, "4411"});
      start += 30;
    }
    slots.push_back({std::to_string(i + 1) + "ª hora", start, 60, "4411"});
    start += 60;
  }
  if (o.slots >= 4) {
    slots.push_back({"Tarde", 16 * 60, 60, "4412"});
    slots.push_back({"Tarde2", 17 * 60, 60, "4412"});
  }
  OpenGroup("TRAMOS_HORARIOS", static_cast<int>(slots.size()));
  for (size_t i = 0; i < slots.size(); ++i) {
    OpenRecord("TRAMO", static_cast<int>(i) + 1);
    Dato("X_TRAMO", Number(175300, static_cast<int>(i)));
    Dato("T_HORCEN", slots[i].label);
    Dato("N_INICIO", std::to_string(slots[i].start));
    Dato("N_FIN", std::to_string(slots[i].start + slots[i].minutes));
    Dato("X_PLAJORESCCEN", slots[i].plan);
    CloseRecord();
  }
  CloseGroup();
}

void Unidades(const Options& o) {
  // Five groups per course; the last two units are mixed, listed once for each of their two courses.
  const int mixed = o.units >= 4 ? 2 : 0;
  OpenGroup("UNIDADES", o.units + mixed + (o.october ? 1 : 0));
  int record = 1;
  for (int i = 0; i < o.units; ++i) {
    const std::string id = Number(1201000, i * 17);
    const int level = (i / 5) % static_cast<int>(std::size(kLevels));
    const std::string letter(1, static_cast<char>('A' + i % 5 + 5 * (i / 40)));
    const bool isMixed = i >= o.units - mixed;
    // A mixed unit is taught in two courses: 3º and 4º ESO, or 1º and 2º CFGM.
    const int firstLevel = isMixed ? (i % 2 ? 2 : 6) : level;
    const std::string name = isMixed ? std::string(i % 2 ? "3º y 4º ESO PMAR " : "1º y 2º CFGM Dual ") + letter
                                     : std::string(kLevels[level]) + " " + letter;
    for (int k = 0; k < (isMixed ? 2 : 1); ++k) {
      OpenRecord("UNIDAD_CURSO", record++);
      Dato("X_UNIDAD", id);
      Dato("T_NOMBRE", name);
      Dato("X_OFERTAMATRIG", Course(firstLevel + k));
      CloseRecord();
    }
  }
  if (o.october) {  // a group opened after September
    OpenRecord("UNIDAD_CURSO", record);
    Dato("X_UNIDAD", "1209999");
    Dato("T_NOMBRE", "2º Bachillerato C");
    Dato("X_OFERTAMATRIG", Course(5));
    CloseRecord();
  }
  CloseGroup();
}

void Empleados(const Options& o) {
  const int repeated = o.teachers >= 2 ? 1 : 0;
  // In October two teachers have left and three have come: new employees past the others.
  const int gone = o.october && o.teachers >= 6 ? 2 : 0, come = o.october ? 3 : 0;
  OpenGroup("EMPLEADOS", o.teachers + repeated - gone + come);
  int record = 1;
  for (int i = 0; i < o.teachers + repeated + come; ++i) {
    if (gone && (i == 4 || i == 5)) continue;
    if (i >= o.teachers + repeated) {
      const char* const names[][3] = {{"Pardo", "Vega", "Luis"}, {"Soto", "Rey", "Eva"}, {"Mena", "Gil", "Raúl"}};
      const auto& name = names[i - o.teachers - repeated];
      OpenRecord("PROFESOR", record++);
      Dato("X_EMPLEADO", Number(7000001, i - o.teachers - repeated));
      Dato("F_TOMAPOS", "01/10/2026");
      Dato("D_PUESTO", kPosts[0]);
      Dato("APELLIDO1", name[0]);
      Dato("APELLIDO2", name[1]);
      Dato("NOMBRE", name[2]);
      CloseRecord();
      continue;
    }
    // The last record is a second post of the first employee.
    const int who = i < o.teachers ? i : 0;
    std::mt19937 person(static_cast<unsigned>(who) * 7919u + o.seed);
    auto pick = [&](auto& list) { return list[person() % std::size(list)]; };
    OpenRecord("PROFESOR", record++);
    Dato("X_EMPLEADO", Number(5030000, who * 101));
    Dato("F_TOMAPOS", enlazor::SenecaDate(1 + who % 28, 9, 2000 + who % 25));
    Dato("D_PUESTO", Escape(i < o.teachers ? pick(kPosts) : kPosts[1]));
    std::string surname1 = pick(kSurnames), surname2 = pick(kSurnames), given = pick(kGiven);
    if (who >= 100) {
      // Beyond a real school's staff the names vary by their initials too, so
      // that the four-character codes do not run out.
      static const std::vector<std::string> letters = [] {
        std::vector<std::string> all;
        for (char c = 'A'; c <= 'Z'; ++c) all.emplace_back(1, c);
        for (const char* c : {"À", "Á", "Â", "Ä", "Ç", "È", "É", "Ê", "Ë", "Ì", "Í",
                              "Î", "Ï", "Ñ", "Ò", "Ó", "Ô", "Ö", "Ù", "Ú", "Û", "Ü"}) {
          all.emplace_back(c);
        }
        return all;
      }();
      auto initial = [](int k) { return letters[static_cast<size_t>(k) % letters.size()]; };
      surname1 = initial(who) + surname1.substr(surname1[0] & 0x80 ? 2 : 1);
      surname2 = initial(who / 48) + surname2.substr(surname2[0] & 0x80 ? 2 : 1);
      given = initial(who / (48 * 48)) + given.substr(given[0] & 0x80 ? 2 : 1);
    }
    Dato("APELLIDO1", Escape(surname1));
    Dato("APELLIDO2", Escape(surname2));
    Dato("NOMBRE", given);
    CloseRecord();
  }
  CloseGroup();
}

bool ReadOption(int& i, int argc, char** argv, const char* name, int& value) {
  if (std::strcmp(argv[i], name) != 0 || i + 1 >= argc) return false;
  value = std::atoi(argv[++i]);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    int seed = 0;
    if (ReadOption(i, argc, argv, "--teachers", o.teachers) || ReadOption(i, argc, argv, "--units", o.units) ||
        ReadOption(i, argc, argv, "--rooms", o.rooms) || ReadOption(i, argc, argv, "--subjects", o.subjects) ||
        ReadOption(i, argc, argv, "--slots", o.slots)) {
      continue;
    }
    if (ReadOption(i, argc, argv, "--seed", seed)) {
      o.seed = static_cast<unsigned>(seed);
      continue;
    }
    if (std::strcmp(argv[i], "--octubre") == 0) {
      o.october = true;
      continue;
    }
    std::fprintf(
        stderr,
        "uso: make_school [--teachers N] [--units N] [--rooms N] [--subjects N] [--slots N] [--seed N] [--octubre]\n");
    return 2;
  }
  std::printf("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n");
  std::printf(
      "<SERVICIO modulo=\"HORARIOS\" tipo=\"E\" autor=\"IES Sierra de Enlazor\" fecha=\"01/09/2026 10:00:00\">\n");
  std::printf("  <BLOQUE_DATOS>\n");
  AnnoAcademico();
  CursosDelCentro();
  Materias(o);
  Actividades();
  Dependencias(o);
  TiposDeGuardia();
  Tramos(o);
  Unidades(o);
  Empleados(o);
  std::printf("  </BLOQUE_DATOS>\n</SERVICIO>\n");
  return 0;
}
