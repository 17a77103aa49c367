// One Séneca export file: expat's own checker xmlwf and pugixml's load (the
// yardsticks), the conforming reader alone, and a whole export run, side by
// side, the best of three runs each.
//   bench_xml FILE.xml WORKDIR
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <pugixml.hpp>

#include "bench/measure.h"
#include "exchange/xml/xml_reader.h"
#include "export/export_run.h"

namespace {

// Reads every event and keeps nothing.
struct Nothing : enlazor::XmlEvents {
  void StartElement(std::string_view, const char* const*) override {}
  void EndElement() override {}
  void Characters(std::string_view) override {}
};

void Line(const char* what, const bench::Figure& figure, double mb) {
  std::printf("%-28s %7.3f s %8.1f MB/s  memoria máxima %7.1f MB\n", what, figure.seconds, mb / figure.seconds,
              figure.megabytes);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const std::filesystem::path file = argv[1];
  const std::filesystem::path work = argv[2];
  const double mb = std::filesystem::file_size(file) / 1e6;
  const auto xmlwf = bench::Best(3, [&](int) { return bench::MeasureCommand({"xmlwf", file.string()}); });
  const auto pugi = bench::Best(3, [&](int) {
    return bench::Measure([&] {
      pugi::xml_document doc;
      doc.load_file(file.c_str());
    });
  });
  const auto load = bench::Best(3, [&](int) {
    return bench::Measure([&] {
      Nothing nothing;
      enlazor::ReadXmlFile(file, nothing);
    });
  });
  const auto run = bench::Best(3, [&](int n) {
    return bench::Measure([&] {
      const auto folder = work / std::to_string(n);  // a work folder of its own: no earlier set to keep
      std::filesystem::create_directories(folder);
      try {
        enlazor::RunExport(file, folder);
      } catch (const std::exception& failure) {
        std::printf("LA EXPORTACIÓN FALLÓ: %s\n", failure.what());
        std::fflush(stdout);
        _exit(1);
      }
    });
  });
  // The same file again over the set the first export made: the replaced set is kept as a copy.
  const auto again = bench::Best(3, [&](int n) {
    const auto folder = work / ("otra-" + std::to_string(n));
    std::filesystem::create_directories(folder);
    bench::Measure([&] { enlazor::RunExport(file, folder); });
    return bench::Measure([&] {
      try {
        enlazor::RunExport(file, folder);
      } catch (const std::exception& failure) {
        std::printf("LA REEXPORTACIÓN FALLÓ: %s\n", failure.what());
        std::fflush(stdout);
        _exit(1);
      }
    });
  });
  std::printf("archivo %.1f MB\n", mb);
  Line("xmlwf (expat, comprobación)", xmlwf, mb);
  Line("pugixml load_file solo", pugi, mb);
  Line("lector conforme (expat)", load, mb);
  Line("exportación completa", run, mb);
  Line("reexportación (con copia)", again, mb);
  std::printf(
      "RATIO exportación/xmlwf %.2f (objetivo <= 1.5)  memoria exportación/archivo %.2f (objetivo <= 0.5)  "
      "memoria reexportación/archivo %.2f (objetivo <= 0.5)  exportación/pugixml %.2f\n",
      run.seconds / xmlwf.seconds, run.megabytes / mb, again.megabytes / mb, run.seconds / pugi.seconds);
  return 0;
}
