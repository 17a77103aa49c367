// Plays Horavia's part for demos and benchmarks: writes a timetable
// solution SOLUC for the work tables of a folder.
//
//   make_timetable WORKDIR [--lessons N] [--seed N]
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "exchange/platform/platform.h"
#include "tools/timetable.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "uso: make_timetable CARPETA [--lessons N] [--seed N]\n";
    return 2;
  }
  int lessons = 25;
  unsigned seed = 7;
  for (int i = 2; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--lessons") == 0) lessons = std::atoi(argv[i + 1]);
    if (std::strcmp(argv[i], "--seed") == 0) seed = static_cast<unsigned>(std::atoi(argv[i + 1]));
  }
  try {
    enlazor::MakeTimetable(enlazor::platform::PathFromUtf8(argv[1]), lessons, seed);
  } catch (const std::exception& failure) {
    std::cerr << failure.what() << "\n";
    return 1;
  }
  return 0;
}
