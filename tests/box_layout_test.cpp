// The message boxes' rules, the same for both windows: wrapping that never
// hides a line and breaks paths at their separators, and a place centred on
// the main window, whole within the screen.
#include "app/box_layout.h"

#include <gtest/gtest.h>

namespace enlazor::look {
namespace {

// Ten pixels a character, whatever bytes it takes.
int Width(std::string_view text) {
  int characters = 0;
  for (const char c : text) characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return 10 * characters;
}

TEST(BoxLayout, LinesWrapAtBlanksPathsAtSeparatorsAndNoLineIsWiderThanItsRoom) {
  const struct {
    const char* what;
    const char* text;
    int characters;  // the room, in characters
    std::vector<std::string> lines;
  } cases[] = {
      {"a line that fits stays", "Proceso finalizado", 20, {"Proceso finalizado"}},
      {"words wrap at blanks",
       "Tablas sustituidas guardadas en la copia",
       20,
       {"Tablas sustituidas", "guardadas en la", "copia"}},
      {"a path breaks after a separator",
       "Copia: C:\\HTEMP\\Enlazor-copias\\2026-12-10 11.42.36",
       22,
       {"Copia:", "C:\\HTEMP\\", "Enlazor-copias\\", "2026-12-10 11.42.36"}},
      {"a Linux path too",
       "/home/jefatura/Documentos/ResultadoTempra.xml",
       26,
       {"/home/jefatura/Documentos/", "ResultadoTempra.xml"}},
      {"a word with no separator breaks between characters", "MMMMMMMMMMMMMMM", 6, {"MMMMMM", "MMMMMM", "MMM"}},
      {"an indented line keeps its indent",
       "  Profesorado (PROFT), fila 7: el profesor",
       22,
       {"  Profesorado (PROFT),", "    fila 7: el", "    profesor"}},
      {"characters of two bytes count once", "Días y tramos", 8, {"Días y", "tramos"}},
      {"each line on its own", "corta\nMMMMMMMM", 5, {"corta", "MMMMM", "MMM"}},
  };
  for (const auto& c : cases) {
    const auto lines = WrapLines(c.text, 10 * c.characters, Width);
    EXPECT_EQ(lines, c.lines) << c.what;
    for (const auto& line : lines) EXPECT_LE(Width(line), 10 * c.characters) << c.what << ": " << line;
  }
}

TEST(BoxLayout, ABoxIsCentredOnTheMainWindowAndWholeOnTheScreen) {
  const Rect screen{0, 0, 1000, 700};
  const struct {
    const char* what;
    Rect owner;
    int width, height;
    Rect at;
  } cases[] = {
      {"centred on the window", {100, 100, 600, 300}, 400, 200, {200, 150, 400, 200}},
      {"moved in at the right edge", {700, 100, 600, 300}, 500, 200, {500, 150, 500, 200}},
      {"moved in at the top", {100, -50, 600, 100}, 300, 400, {250, 0, 300, 400}},
      {"shrunk to the screen", {100, 100, 600, 300}, 1200, 900, {0, 0, 1000, 700}},
  };
  for (const auto& c : cases) {
    const Rect at = PlaceBox(c.owner, screen, c.width, c.height);
    EXPECT_EQ((std::vector<int>{at.left, at.top, at.width, at.height}),
              (std::vector<int>{c.at.left, c.at.top, c.at.width, c.at.height}))
        << c.what;
  }
  // The list fits its widest line within the screen, three lines at least and half the screen's height at most.
  const ListSize narrow = DetailsListSize(200, 1, 15, 20, screen, 60);
  EXPECT_EQ((std::vector<int>{narrow.width, narrow.height}), (std::vector<int>{220, 65}));
  const ListSize wide = DetailsListSize(5000, 500, 15, 20, screen, 60);
  EXPECT_EQ((std::vector<int>{wide.width, wide.height}), (std::vector<int>{940, 320}));
}

}  // namespace
}  // namespace enlazor::look
