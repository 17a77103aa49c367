// How the benchmarks measure: each piece of work in a child process of its
// own, so that its peak memory is its own; the best of a few runs, since a
// shared machine only ever makes a run slower.
#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace bench {

struct Figure {
  double seconds = 0;
  double megabytes = 0;  // peak resident memory
};

// Runs work in a child; its seconds and peak memory.
inline Figure Measure(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) {
    work();
    _exit(0);
  }
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return {WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds : -1, usage.ru_maxrss / 1024.0};
}

// A program run as a command, its output thrown away.
inline Figure MeasureCommand(std::vector<std::string> command) {
  return Measure([&] {
    std::vector<char*> argv;
    for (auto& word : command) argv.push_back(word.data());
    argv.push_back(nullptr);
    freopen("/dev/null", "w", stdout);
    execvp(argv[0], argv.data());
    _exit(127);
  });
}

// The fastest of runs runs (run: the run's number, from 0), with its memory.
inline Figure Best(int runs, const std::function<Figure(int)>& once) {
  Figure best{1e9, 0};
  for (int run = 0; run < runs; ++run) {
    const Figure figure = once(run);
    if (figure.seconds >= 0 && figure.seconds < best.seconds) best = figure;
  }
  return best;
}

}  // namespace bench
