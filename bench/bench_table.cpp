// Writes and reads a table of 1,000,000 rows with five fields, beside a plain
// copy and a plain read of the same bytes.
//   bench_table FOLDER [ROWS]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <vector>

#include "exchange/table.h"

using Clock = std::chrono::steady_clock;
using enlazor::FieldType;
using enlazor::Table;

namespace {

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

void Report(const char* what, double seconds, size_t rows, size_t bytes) {
  std::printf("%-26s %8.3f s %12.0f filas/s %9.1f MB/s\n", what, seconds, rows ? rows / seconds : 0.0,
              bytes / seconds / 1e6);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const std::filesystem::path dir = argv[1];
  const size_t rows = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 1000000;

  auto start = Clock::now();
  {
    Table table(dir, "BENCH");
    table.AddField({"PROF", FieldType::Text, 4});
    table.AddField({"NOMBRE", FieldType::Text, 40});
    table.AddField({"DIA", FieldType::Integer, 0});
    table.AddField({"AULA", FieldType::Text, 10});
    table.AddField({"HORA", FieldType::Text, 8});
    table.CreateTable();
    table.Open();
    for (size_t i = 0; i < rows; ++i) {
      table.Append();
      table.SetFieldText("PROF", "P" + std::to_string(i % 1000));
      table.SetFieldText("NOMBRE", "Profesora n\xfamero " + std::to_string(i));
      table.SetFieldText("DIA", std::to_string(i % 7 + 1));
      table.SetFieldText("AULA", std::to_string(2081400 + i % 50));
      table.SetFieldText("HORA", "08:30");
      table.Post();
    }
  }
  const double write = Seconds(start);
  const auto path = dir / "BENCH.DBF";
  const size_t bytes = std::filesystem::file_size(path);

  start = Clock::now();
  size_t checksum = 0;
  {
    Table table(dir, "BENCH");
    table.Open();
    for (table.First(); !table.Eof(); table.Next()) {
      for (const char* field : {"PROF", "NOMBRE", "DIA", "AULA", "HORA"}) checksum += table.FieldText(field).size();
    }
  }
  const double read = Seconds(start);

  // The same bytes copied and read plainly.
  start = Clock::now();
  std::vector<char> buffer(bytes);
  {
    std::ifstream in(path, std::ios::binary);
    in.read(buffer.data(), static_cast<std::streamsize>(bytes));
  }
  const double plainRead = Seconds(start);
  start = Clock::now();
  {
    std::ofstream out(dir / "COPIA.DBF", std::ios::binary);
    out.write(buffer.data(), static_cast<std::streamsize>(bytes));
  }
  const double plainWrite = Seconds(start);

  std::printf("tabla de %zu filas, %zu bytes (suma %zu)\n", rows, bytes, checksum);
  Report("escribir con el almacén", write, rows, bytes);
  Report("escribir copia simple", plainWrite, rows, bytes);
  Report("leer todo con el almacén", read, rows, bytes);
  Report("leer bytes simple", plainRead, rows, bytes);
  std::printf("RATIO escritura %.2f  lectura %.2f\n", write / plainWrite, read / plainRead);
  return 0;
}
