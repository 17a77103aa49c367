// A small companion for the interoperability test: writes a table with the
// store, or prints every visible row of a table as UTF-8 text.
//   dbf_tool write DIR      writes DIR/MUESTRA.DBF
//   dbf_tool dump DIR NAME FIELDS  prints "FIELD=text" pairs, one row per line
//   dbf_tool check DIR NAME        reads every field of every row
#include <iostream>
#include <string>

#include "exchange/codec.h"
#include "exchange/dbf/table.h"

using namespace enlazor;

namespace {

void Write(const std::filesystem::path& dir) {
  Table table(dir, "MUESTRA");
  table.AddField({"COD", FieldType::Text, 4});
  table.AddField({"NOMBRE", FieldType::Text, 40});
  table.AddField({"DNI", FieldType::Integer, 0});
  table.AddField({"HORAS", FieldType::Float, 0});
  table.CreateTable();
  table.Open();
  const char* rows[][3] = {{"LC", "Lengua Castellana y Literatura", "12"},
                           {"M\xfas", "  M\xfasica \x80 \x8a\x9c", ""},
                           {"Lectura muy larga", "", "-7"}};
  for (const auto& row : rows) {
    table.Append();
    table.SetFieldText("COD", row[0]);
    table.SetFieldText("NOMBRE", row[1]);
    table.SetFieldText("DNI", row[2]);
    table.Post();
  }
}

void Dump(const std::filesystem::path& dir, const std::string& name, const std::string& fields) {
  Table table(dir, name);
  table.Open();
  for (table.First(); !table.Eof(); table.Next()) {
    std::string line;
    size_t start = 0;
    while (start <= fields.size()) {
      const size_t comma = std::min(fields.find(',', start), fields.size());
      const std::string field = fields.substr(start, comma - start);
      line += (line.empty() ? "" : "|") + field + "=" + AnsiToUtf8(table.FieldText(field));
      start = comma + 1;
    }
    std::cout << line << "\n";
  }
}

void Check(const std::filesystem::path& dir, const std::string& name) {
  Table table(dir, name);
  table.Open();
  for (table.First(); !table.Eof(); table.Next()) {
    for (size_t field = 0; field < table.FieldCount(); ++field) table.FieldText(field);
  }
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const std::string command = argc > 2 ? argv[1] : "";
    if (command == "write")
      Write(argv[2]);
    else if (command == "dump" && argc > 4)
      Dump(argv[2], argv[3], argv[4]);
    else if (command == "check" && argc > 3)
      Check(argv[2], argv[3]);
    else
      return 2;
  } catch (const std::exception& failure) {
    std::cerr << failure.what() << "\n";
    return 1;
  }
  return 0;
}
