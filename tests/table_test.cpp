#include "exchange/dbf/table.h"

#include <cstring>
#include <ctime>
#include <functional>

#include <gtest/gtest.h>

#include "exchange/failure.h"
#include "exchange/platform/platform.h"
#include "other_program.h"
#include "support.h"

namespace enlazor {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

void CreateSample(const fs::path& dir) {
  Table table(dir, "MUESTRA.DBF");
  table.AddField({"COD", FieldType::Text, 4});
  table.AddField({"NUM", FieldType::Integer, 0});
  table.AddField({"HORAS", FieldType::Float, 0});
  table.AddField({"NOMBRE", FieldType::Text, 10});
  table.CreateTable();
  table.Open();
  table.Append();
  table.SetFieldText("COD", "LCyL");
  table.SetFieldText("NOMBRE", "  M\xfasica \x80 y m\xe1s");  // cut at 10 bytes, leading blanks kept
  table.Post();
  table.Append();
  table.SetFieldText("NUM", "42");
  table.Post();
  table.Close();
}

TEST(Table, WritesDBaseIIIBytesExactly) {
  TempDir dir;
  CreateSample(dir.path());
  const std::string bytes = ReadBytes(dir / "MUESTRA.DBF");

  const std::time_t now = std::time(nullptr);
  const std::tm today = *std::localtime(&now);
  std::string header(32, '\0');
  header[0] = 0x03;
  header[1] = static_cast<char>(today.tm_year);
  header[2] = static_cast<char>(today.tm_mon + 1);
  header[3] = static_cast<char>(today.tm_mday);
  header[4] = 2;                       // records
  header[8] = static_cast<char>(161);  // 32 + 4 * 32 + 1
  header[10] = 46;                     // 1 + 4 + 11 + 20 + 10
  header[29] = 0x03;                   // Windows ANSI
  auto descriptor = [](const char* name, char type, int width, int decimals) {
    std::string d(32, '\0');
    std::copy(name, name + std::strlen(name), d.begin());
    d[11] = type;
    d[16] = static_cast<char>(width);
    d[17] = static_cast<char>(decimals);
    return d;
  };
  const std::string expected = header + descriptor("COD", 'C', 4, 0) + descriptor("NUM", 'N', 11, 0) +
                               descriptor("HORAS", 'N', 20, 4) + descriptor("NOMBRE", 'C', 10, 0) + "\x0d" + " LCyL" +
                               std::string(11, ' ') + std::string(20, ' ') + "  M\xfasica \x80" + "     " +
                               "         42" + std::string(20, ' ') + std::string(10, ' ') + "\x1a";
  EXPECT_EQ(bytes, expected);
}

TEST(Table, ReadsBackWhatItWrote) {
  TempDir dir;
  CreateSample(dir.path());
  Table table(dir.path(), "muestra");
  table.Open();
  ASSERT_EQ(table.RowCount(), 2u);
  EXPECT_EQ(table.FieldText("COD"), "LCyL");
  EXPECT_EQ(table.FieldText("NOMBRE"), "  M\xfasica \x80");
  EXPECT_EQ(table.FieldText("NUM"), "");
  EXPECT_EQ(table.FieldInteger("NUM"), 0);
  EXPECT_EQ(table.FieldText("HORAS"), "");
  table.Next();
  EXPECT_EQ(table.FieldText("COD"), "");
  EXPECT_EQ(table.FieldText("num"), "42");
  EXPECT_EQ(table.FieldInteger("NUM"), 42);
  table.Next();
  EXPECT_TRUE(table.Eof());
}

TEST(Table, AppendsToAnExistingTableAndKeepsTheCountRight) {
  TempDir dir;
  CreateSample(dir.path());
  {
    Table table(dir.path(), "MUESTRA");
    table.Open();
    table.Append();
    table.SetFieldText("COD", "X");
    table.Post();
  }
  Table table(dir.path(), "MUESTRA");
  table.Open();
  EXPECT_EQ(table.RowCount(), 3u);
  EXPECT_EQ(ReadBytes(dir / "MUESTRA.DBF")[4], 3);
  EXPECT_EQ(ReadBytes(dir / "MUESTRA.DBF").back(), '\x1a');
}

TEST(Table, FindsTablesWithoutRegardToCaseAndCreatesUpperCaseNames) {
  TempDir dir;
  CreateSample(dir.path());
  fs::rename(dir / "MUESTRA.DBF", dir / "muestra.dbf");
  Table reader(dir.path(), "MUESTRA.DBF");
  reader.Open();
  EXPECT_EQ(reader.RowCount(), 2u);
  reader.Close();
  CreateSample(dir.path());  // replaces the lower-case file
  ASSERT_EQ(testing::Snapshot(dir.path()).size(), 1u);
  EXPECT_EQ(testing::Snapshot(dir.path())[0].first, "MUESTRA.DBF");
}

// A table as another program may leave it: level 7, binary integers, a deleted row.
std::string LevelSevenTable() {
  std::string bytes(68, '\0');
  bytes[0] = 0x04;
  bytes[4] = 3;
  const int headerLength = 68 + 2 * 48 + 1;
  bytes[8] = static_cast<char>(headerLength & 0xFF);
  bytes[9] = static_cast<char>(headerLength >> 8);
  bytes[10] = 1 + 6 + 4;
  auto descriptor = [](const char* name, char type, int width) {
    std::string d(48, '\0');
    std::copy(name, name + std::strlen(name), d.begin());
    d[32] = type;
    d[33] = static_cast<char>(width);
    return d;
  };
  bytes += descriptor("PROFESOR_LARGO", 'C', 6) + descriptor("DIA", 'I', 4) + "\x0d";
  auto integer = [](int32_t v) {
    const uint32_t raw = static_cast<uint32_t>(v) ^ 0x80000000u;
    return std::string{static_cast<char>(raw >> 24), static_cast<char>(raw >> 16), static_cast<char>(raw >> 8),
                       static_cast<char>(raw)};
  };
  bytes += std::string(" GAR1  ") + integer(3);
  bytes += std::string("*BORRA ") + integer(9);
  bytes += std::string(" O'N   ") + integer(-2);
  return bytes + "\x1a";
}

TEST(Table, ReadsLevelSevenTablesAndHidesDeletedRows) {
  TempDir dir;
  WriteBytes(dir / "SOLUC.DBF", LevelSevenTable());
  Table table(dir.path(), "SOLUC");
  table.Open();
  ASSERT_EQ(table.RowCount(), 2u);
  EXPECT_EQ(table.FieldText("PROFESOR_LARGO"), "GAR1");
  EXPECT_EQ(table.FieldInteger("DIA"), 3);
  table.Next();
  EXPECT_EQ(table.FieldText("DIA"), "-2");
}

TEST(Table, FilterSelectsExactCodesWithDoubledQuotes) {
  TempDir dir;
  WriteBytes(dir / "SOLUC.DBF", LevelSevenTable());
  Table table(dir.path(), "SOLUC");
  table.Open();
  table.SetFilter("PROFESOR_LARGO= 'O''N'");
  table.SetFiltered(true);
  ASSERT_EQ(table.RowCount(), 1u);
  EXPECT_EQ(table.FieldInteger("DIA"), -2);
  table.SetFilter("PROFESOR_LARGO= 'gar1'");  // case counts
  table.SetFiltered(true);
  EXPECT_TRUE(table.Eof());
  table.SetFiltered(false);
  EXPECT_EQ(table.RowCount(), 2u);
  for (const char* bad : {"PROF='X", "PROF 'X'", "= 'X'", "PROF= 'O'N'", "PROF= X", "PROF LIKE 'X'"}) {
    EXPECT_EQ(testing::Outcome([&] { table.SetFilter(bad); }), std::string("Expresión de filtro no válida: ") + bad);
  }
}

TEST(Table, FieldFailuresCarryTheSystemsMessages) {
  TempDir dir;
  CreateSample(dir.path());
  Table table(dir.path(), "MUESTRA");
  table.Open();
  EXPECT_EQ(testing::Outcome([&] { table.FieldText("DIA"); }), "No se encuentra el campo 'DIA'");
  EXPECT_EQ(testing::Outcome([&] { table.FieldInteger("COD"); }), "'LCyL' no es un valor entero válido");
  table.Next();
  EXPECT_EQ(testing::Outcome([&] { table.FieldInteger("COD"); }), "'' no es un valor entero válido");
  table.SetComponentName("wwTableSoluc");
  EXPECT_EQ(testing::Outcome([&] { table.FieldText("PROF"); }), "wwTableSoluc: No se encuentra el campo 'PROF'");
}

TEST(Table, DamagedFilesFailWithAClearMessage) {
  TempDir dir;
  CreateSample(dir.path());
  const std::string good = ReadBytes(dir / "MUESTRA.DBF");
  const std::string path = (dir / "MUESTRA.DBF").string();
  auto with = [&](size_t at, std::string bytes) {
    std::string damaged = good;
    damaged.replace(at, bytes.size(), bytes);
    return damaged;
  };
  const struct {
    const char* what;
    std::string bytes;
    std::string message;
  } cases[] = {
      {"shorter than a header", good.substr(0, 20), "el archivo es más corto que su cabecera"},
      {"header longer than the file", good.substr(0, 100), "la cabecera es más larga que el archivo"},
      {"record length disagrees", with(10, "\x2f"),
       "la longitud de registro (47) no coincide con la de los campos (46)"},
      {"field of width 0", with(32 + 16, std::string(1, '\0')), "el campo 'COD' tiene anchura 0"},
      {"no end of fields", with(160, " "), "falta la marca de fin de la lista de campos"},
      {"truncated record", good.substr(0, good.size() - 10), "el último registro está incompleto"},
  };
  for (const auto& c : cases) {
    WriteBytes(dir / "MUESTRA.DBF", c.bytes);
    Table table(dir.path(), "MUESTRA");
    EXPECT_EQ(testing::Outcome([&] { table.Open(); }), "La tabla '" + path + "' está dañada: " + c.message) << c.what;
    EXPECT_FALSE(table.Active());
  }
}

TEST(Table, RecordCountBeyondTheFileStopsAtTheEnd) {
  TempDir dir;
  CreateSample(dir.path());
  std::string bytes = ReadBytes(dir / "MUESTRA.DBF");
  bytes[4] = 9;
  bytes.pop_back();  // no 0x1A either
  WriteBytes(dir / "MUESTRA.DBF", bytes);
  Table table(dir.path(), "MUESTRA");
  table.Open();
  EXPECT_EQ(table.RowCount(), 2u);
}

// A table bigger than one piece of reading, rows deleted on either side of
// the pieces' seam: every live row once, in order; a last row cut short is
// damage, a count past a whole last row is not.
TEST(Table, RowReaderReadsAWholeTableAPieceAtATime) {
  TempDir dir;
  {
    Table table(dir.path(), "GRANDE");
    table.AddField({"N", FieldType::Text, 63});
    table.CreateTable();
  }
  std::string bytes = ReadBytes(dir / "GRANDE.DBF");
  bytes.pop_back();                                                    // the end mark goes after the rows
  const size_t rows = 20001, seam = ((1u << 20) - bytes.size()) / 64;  // 64 bytes a row
  for (size_t k = 0; k < rows; ++k) {
    std::string n = std::to_string(k);
    bytes += (k % 7 == 0 || k == seam ? "*" : " ") + n + std::string(63 - n.size(), ' ');
  }
  for (int b = 0; b < 4; ++b) bytes[4 + b] = static_cast<char>(rows >> (8 * b));
  auto read = [&](const std::string& file) {
    WriteBytes(dir / "GRANDE.DBF", file);
    RowReader reader(dir / "GRANDE.DBF");
    std::vector<size_t> seen;
    while (reader.Next()) seen.push_back(std::stoul(reader.FieldText("n")));
    return seen;
  };
  std::vector<size_t> live;
  for (size_t k = 0; k < rows; ++k) {
    if (k % 7 != 0 && k != seam) live.push_back(k);
  }
  EXPECT_EQ(read(bytes + "\x1a"), live);
  EXPECT_EQ(read(bytes), live);
  EXPECT_EQ(read(bytes.substr(0, bytes.size() - 64)), std::vector<size_t>(live.begin(), live.end() - 1));
  EXPECT_EQ(testing::Outcome([&] { read(bytes.substr(0, bytes.size() - 10)); }),
            "La tabla '" + (dir / "GRANDE.DBF").string() + "' está dañada: el último registro está incompleto");
  WriteBytes(dir / "GRANDE.DBF", bytes);
  EXPECT_EQ(CountRows(dir / "GRANDE.DBF"), live.size());
}

TEST(Table, MissingFolderOrTableIsReported) {
  TempDir dir;
  Table missing(dir / "NOHAY", "CURSOACAD.DBF");
  EXPECT_EQ(testing::Outcome([&] { missing.CreateTable(); }),
            "No existe la carpeta de trabajo '" + (dir / "NOHAY").string() +
                "'. Compruebe que Horavia está instalado: Enlazor trabaja en su carpeta");
  Table absent(dir.path(), "SOLUC");
  EXPECT_EQ(testing::Outcome([&] { absent.Open(); }), "No existe la tabla '" + (dir / "SOLUC.DBF").string() + "'");
}

// Another program holding the sample table as the store does, until released.
class HeldByAnotherProcess {
 public:
  HeldByAnotherProcess(const fs::path& dir, const char* how)
      : program_({testing::Helper("hold_table"), platform::PathToUtf8(dir), "MUESTRA", how}) {
    EXPECT_EQ(program_.ReadLine(), "listo");
  }
  void Release() { program_.Wait(); }

 private:
  testing::OtherProgram program_;
};

TEST(Table, ExclusiveHoldRefusesOtherProcessesUntilReleased) {
  TempDir dir;
  CreateSample(dir.path());
  const std::string inUse = "La tabla '" + (dir / "MUESTRA.DBF").string() +
                            "' está en uso por otro programa: cierre Horavia y repita la orden";
  HeldByAnotherProcess other(dir.path(), "enlazor-exclusive");
  Table shared(dir.path(), "MUESTRA", Table::Use::Shared);
  Table exclusive(dir.path(), "MUESTRA", Table::Use::Exclusive);
  EXPECT_EQ(testing::Outcome([&] { shared.Open(); }), inUse);
  EXPECT_EQ(testing::Outcome([&] { exclusive.Open(); }), inUse);
  EXPECT_EQ(testing::Outcome([&] { CreateSample(dir.path()); }), inUse);
  other.Release();
  shared.Open();
  EXPECT_TRUE(shared.Active());
}

TEST(Table, SharedOpensCoexist) {
  TempDir dir;
  CreateSample(dir.path());
  HeldByAnotherProcess other(dir.path(), "enlazor-shared");
  Table shared(dir.path(), "MUESTRA", Table::Use::Shared);
  shared.Open();
  EXPECT_TRUE(shared.Active());
  Table exclusive(dir.path(), "MUESTRA", Table::Use::Exclusive);
  EXPECT_NE(testing::Outcome([&] { exclusive.Open(); }), testing::kDone);
}

}  // namespace
}  // namespace enlazor
