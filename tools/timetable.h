// Plays Horavia's part for demos, tests and benchmarks: reads the work
// tables of an export and writes a timetable solution SOLUC in the same
// folder. Each teacher gets about `lessons` lessons over the week's slots;
// every tenth teacher also has a lesson left unplaced (DIA 0). No lesson goes
// into a slot labelled "Recreo", the break some schools list among the slots.
#pragma once

#include <filesystem>

namespace enlazor {

// Raises a Failure when the tables lack rooms, units, subjects or slots.
void MakeTimetable(const std::filesystem::path& dir, int lessons = 25, unsigned seed = 7);

}  // namespace enlazor
