#include "exchange/dates.h"

#include <cstdio>

namespace enlazor {

std::string SenecaDate(int day, int month, int year) {
  char text[32];
  std::snprintf(text, sizeof text, "%02d/%02d/%04d", day, month, year);
  return text;
}

std::string SenecaDateTime(const platform::LocalTime& moment) {
  char time[32];
  std::snprintf(time, sizeof time, " %02d:%02d:%02d", moment.hour, moment.minute, moment.second);
  return SenecaDate(moment.day, moment.month, moment.year) + time;
}

std::string SortableDateTime(const platform::LocalTime& moment) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", moment.year, moment.month, moment.day, moment.hour,
                moment.minute, moment.second);
  return text;
}

std::string SenecaFormOf(std::string_view sortable) {
  if (sortable.size() < 10 || sortable[4] != '-' || sortable[7] != '-') return std::string(sortable);
  return std::string(sortable.substr(8, 2)) + "/" + std::string(sortable.substr(5, 2)) + "/" +
         std::string(sortable.substr(0, 4)) + std::string(sortable.substr(10));
}

}  // namespace enlazor
