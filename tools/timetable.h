// Plays Horavia's part for demos, tests and benchmarks: reads the work
// tables of an export and writes a timetable solution SOLUC in the same
// folder, as a head of studies' timetable looks.
//
// Each teacher works in one school-day plan (most in the morning, every
// twelfth in the evening) and gets about `lessons` lessons a week: classes
// of units under subjects of the unit's own courses, and what Horavia
// schedules as subjects of its own, which it adds to ASIGNOMT: guard duties
// ("GU", "Guardia"), break duty on the break ("GREC", "Guardia de recreo"),
// extracurricular activities ("EXT") and a committee meeting Séneca has no
// activity for ("CCP"); tutorías ("TUT") and department meetings ("REU")
// stand in SOLUC only, as codes the user's list of activities names. No
// class goes into the break. Every tenth teacher has a lesson left unplaced
// (DIA 0).
//
// A few deliberate exceptions show what the import finds: teacher 2 has a
// class under the same-named subject of another course, teacher 4 one under
// a subject its unit's course lacks, teacher 6 no lesson at all, teacher 8
// every slot of the week, teacher 10 a class on the break (counting from 0,
// in the order of PROFT).
//
// The courses of units and subjects and the slots' plans come from what the
// export kept of the Séneca file; without it every subject serves every unit
// and all slots make one plan.
#pragma once

#include <filesystem>

namespace enlazor {

// Raises a Failure when the tables lack rooms, units, subjects or slots.
void MakeTimetable(const std::filesystem::path& dir, int lessons = 25, unsigned seed = 7);

}  // namespace enlazor
