// Dates and times as Enlazor writes them: Séneca's day-first form in the
// files for Séneca and on screen, and a sortable form in the names and
// descriptions of kept copies.
#pragma once

#include <string>
#include <string_view>

#include "exchange/platform/platform.h"

namespace enlazor {

// "09/12/2026", as Séneca writes dates.
std::string SenecaDate(int day, int month, int year);
// "09/12/2026 22:40:12", as Séneca writes a moment (the "fecha" of a SERVICIO).
std::string SenecaDateTime(const platform::LocalTime& moment);
// "2026-12-09 22:40:12": sorts as the moments do.
std::string SortableDateTime(const platform::LocalTime& moment);
// A sortable moment in Séneca's form; a text of another form as it is.
std::string SenecaFormOf(std::string_view sortable);

}  // namespace enlazor
