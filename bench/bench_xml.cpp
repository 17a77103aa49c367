// One Séneca export file: pugixml's load alone (the yardstick), the conforming
// reader alone, and a whole export run, side by side; each in a child process
// so that its peak memory can be read.
//   bench_xml FILE.xml WORKDIR
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <pugixml.hpp>

#include "exchange/xml_reader.h"
#include "export/export_run.h"

namespace {

// Reads every event and keeps nothing.
struct Nothing : enlazor::XmlEvents {
  void StartElement(std::string_view, const char* const*) override {}
  void EndElement() override {}
  void Characters(std::string_view) override {}
};

}  // namespace

using Clock = std::chrono::steady_clock;

namespace {

// Runs work in a child; returns its seconds and peak resident memory in MB.
std::pair<double, double> Measure(const std::function<void()>& work) {
  const pid_t child = fork();
  if (child == 0) {
    const auto start = Clock::now();
    work();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::fwrite(&seconds, sizeof seconds, 1, stderr);  // unused; the parent times the whole child
    _exit(0);
  }
  const auto start = Clock::now();
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  return {seconds, usage.ru_maxrss / 1024.0};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const std::filesystem::path file = argv[1];
  const std::filesystem::path work = argv[2];
  const double mb = std::filesystem::file_size(file) / 1e6;
  std::freopen("/dev/null", "w", stderr);

  const auto pugi = Measure([&] {
    // pugixml as it comes, with its own allocation.
    pugi::set_memory_management_functions(std::malloc, std::free);
    pugi::xml_document doc;
    doc.load_file(file.c_str());
  });
  const auto load = Measure([&] {
    Nothing nothing;
    enlazor::ReadXmlFile(file, nothing);
  });
  const auto run = Measure([&] {
    try {
      enlazor::RunExport(file, work);
    } catch (const std::exception& failure) {
      std::printf("LA EXPORTACIÓN FALLÓ: %s\n", failure.what());
      std::fflush(stdout);
      _exit(1);
    }
  });
  std::printf("archivo %.1f MB\n", mb);
  std::printf("%-28s %7.3f s %8.1f MB/s  memoria máxima %7.1f MB\n", "pugixml load_file solo", pugi.first, mb / pugi.first, pugi.second);
  std::printf("%-28s %7.3f s %8.1f MB/s  memoria máxima %7.1f MB\n", "lector conforme (expat)", load.first, mb / load.first, load.second);
  std::printf("%-28s %7.3f s %8.1f MB/s  memoria máxima %7.1f MB\n", "exportación completa", run.first, mb / run.first, run.second);
  std::printf("RATIO tiempo exportación/pugixml %.2f (objetivo <= 2)  memoria exportación/archivo %.2f (objetivo <= 0.5)\n",
              run.first / pugi.first, run.second / mb);
  return 0;
}
