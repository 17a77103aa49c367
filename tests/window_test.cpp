#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include "app/look.h"
#include "app/qt/mainform.h"
#include "app/qt/message_dialog.h"
#include "exchange/platform/platform.h"
#include "scripted_ui.h"
#include "support.h"

namespace {

namespace fs = std::filesystem;
using enlazor::testing::TempDir;

using enlazor::testing::Script;
using enlazor::testing::ScriptedUi;

class Window : public ::testing::Test {
 protected:
  Window() : form(work(), std::make_unique<ScriptedUi>(script)) { savedCwd = fs::current_path(); }
  ~Window() override { fs::current_path(savedCwd); }
  fs::path work() {
    fs::create_directories(dir / "HTEMP");
    return dir / "HTEMP";
  }
  void ShowActive() {
    form.show();
    QApplication::setActiveWindow(&form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  }

  TempDir dir;
  Script script;
  TMForm form;
  fs::path savedCwd;
};

// The gradient as it should be: each half blends linearly, rounded per channel.
QColor Expected(int row, int h, QColor start, QColor middle, QColor end) {
  const int split = h / 2;
  const bool upper = row < split;
  const QColor a = upper ? end : middle, b = upper ? middle : start;
  const int n = upper ? split : h - split, i = upper ? row : row - split;
  auto channel = [&](int x, int y) { return static_cast<int>(std::floor(x + (y - x) * double(i) / (n - 1) + 0.5)); };
  return QColor(channel(a.red(), b.red()), channel(a.green(), b.green()), channel(a.blue(), b.blue()));
}

TEST_F(Window, PanelsPaintTheirGradientRowByRowWithARaisedBevel) {
  const struct {
    GradientPanel* panel;
    QColor start, middle, end;
  } panels[] = {{form.Draw3D1, {194, 205, 254}, {207, 242, 254}, {204, 216, 230}},
                {form.Draw3D2, {249, 211, 125}, {255, 255, 255}, {255, 238, 221}},
                {form.Draw3D3, {249, 211, 125}, {255, 255, 255}, {255, 238, 221}}};
  for (const auto& p : panels) {
    const QImage image = p.panel->grab().toImage();
    const int w = image.width(), h = image.height();
    for (int row = 1; row < h - 1; ++row) {
      for (int x : {1, w / 3, w - 2}) {
        const QColor got = image.pixelColor(x, row);
        if (p.panel->childAt(x, row)) continue;
        ASSERT_EQ(got, Expected(row, h, p.start, p.middle, p.end))
            << p.panel->objectName().toStdString() << " row " << row;
      }
    }
    const QRgb light = p.panel->palette().color(QPalette::Light).rgb(),
               dark = p.panel->palette().color(QPalette::Dark).rgb();
    EXPECT_EQ(image.pixel(0, 0), light);
    EXPECT_EQ(image.pixel(w - 2, 0), light);
    EXPECT_EQ(image.pixel(0, h - 2), light);
    EXPECT_EQ(image.pixel(w - 1, 0), dark);
    EXPECT_EQ(image.pixel(w - 1, h / 2), dark);
    EXPECT_EQ(image.pixel(0, h - 1), dark);
    EXPECT_EQ(image.pixel(w / 2, h - 1), dark);
  }
  EXPECT_EQ(GradientPanel::RowColour(0, 169, {249, 211, 125}, {255, 255, 255}, {255, 238, 221}), QColor(255, 238, 221));
  EXPECT_EQ(GradientPanel::RowColour(84, 169, {249, 211, 125}, {255, 255, 255}, {255, 238, 221}),
            QColor(255, 255, 255));
  EXPECT_EQ(GradientPanel::RowColour(168, 169, {249, 211, 125}, {255, 255, 255}, {255, 238, 221}),
            QColor(249, 211, 125));
  // A half taller than 256 rows is drawn as 256 bands.
  EXPECT_EQ(GradientPanel::RowColour(1, 1024, {0, 0, 0}, {255, 255, 255}, {0, 0, 0}),
            GradientPanel::RowColour(0, 1024, {0, 0, 0}, {255, 255, 255}, {0, 0, 0}));
  EXPECT_EQ(GradientPanel::RowColour(511, 1024, {0, 0, 0}, {255, 255, 255}, {0, 0, 0}), QColor(255, 255, 255));
}

TEST_F(Window, LayoutAndCaptions) {
  EXPECT_EQ(form.windowTitle(), "Exportar e importar datos entre Horavia y Séneca");
  EXPECT_EQ(form.size(), QSize(632, 266));
  EXPECT_EQ(form.windowIcon().availableSizes().size(), 5);
  EXPECT_EQ(form.minimumSize(), form.maximumSize());
  EXPECT_FALSE(form.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
  EXPECT_TRUE(form.windowFlags() & Qt::WindowCloseButtonHint);
  const std::pair<QWidget*, QRect> geometry[] = {
      {form.Draw3D1, {0, 168, 633, 97}},   {form.Draw3D2, {1, 0, 315, 169}},   {form.Draw3D3, {316, 0, 317, 169}},
      {form.Label3, {24, 24, 265, 57}},    {form.Label4, {8, 24, 305, 57}},    {form.BClose, {256, 32, 89, 25}},
      {form.BExportar, {96, 120, 89, 25}}, {form.BImportar, {96, 120, 89, 25}}};
  for (const auto& [widget, rect] : geometry) EXPECT_EQ(widget->geometry(), rect) << widget->objectName().toStdString();
  EXPECT_EQ(form.Label1->pos(), QPoint(8, 72));
  EXPECT_EQ(form.Label1->text(), "Enlazor V-1.2");
  EXPECT_EQ(form.Label3->text(), "Transformar datos desde Séneca hacia Horavia ");
  EXPECT_EQ(form.Label4->text(), "Transformar datos desde Horavia hacia Séneca");
  EXPECT_TRUE(form.Label3->wordWrap());
  EXPECT_EQ(form.Label3->font().pixelSize(), 16);
  EXPECT_TRUE(form.Label3->font().bold());
  EXPECT_EQ(form.Label1->font().pixelSize(), 11);
  EXPECT_EQ(form.BClose->text(), "&Salir");
  EXPECT_EQ(form.BExportar->text(), "Aceptar");
  EXPECT_EQ(form.BImportar->text(), "Aceptar");
  EXPECT_EQ(form.BClose->parentWidget(), form.Draw3D1);
  EXPECT_EQ(form.BExportar->parentWidget(), form.Draw3D2);
  EXPECT_EQ(form.BImportar->parentWidget(), form.Draw3D3);
}

// At the display scales laptops use (QT_SCALE_FACTOR, one run each), the
// window keeps its layout in the display's own pixels: 632 x 266 times the
// scale, every gradient row on the formula at that height, no caption cut.
TEST_F(Window, SharpAtTheDisplaysScale) {
  const qreal scale = form.devicePixelRatioF();
  const QImage whole = form.grab().toImage();
  EXPECT_NEAR(whole.width(), 632 * scale, 1);
  EXPECT_NEAR(whole.height(), 266 * scale, 1);
  for (GradientPanel* panel : {form.Draw3D1, form.Draw3D2, form.Draw3D3}) {
    const QImage image = panel->grab().toImage();
    const int h = image.height(), edge = enlazor::look::Scaled(1, scale);
    for (int row = edge; row < h - edge; ++row) {
      const auto& c = enlazor::look::kPanels[panel == form.Draw3D1 ? 0 : panel == form.Draw3D2 ? 1 : 2];
      const QColor want = GradientPanel::RowColour(row, h, {c.start.r, c.start.g, c.start.b},
                                                   {c.middle.r, c.middle.g, c.middle.b}, {c.end.r, c.end.g, c.end.b});
      ASSERT_EQ(image.pixelColor(edge, row), want)
          << panel->objectName().toStdString() << " row " << row << " of " << h;
    }
  }
  for (QLabel* label : {form.Label3, form.Label4}) {
    const QRect needed =
        label->fontMetrics().boundingRect(QRect(0, 0, label->width(), 1000), Qt::TextWordWrap, label->text());
    EXPECT_LE(needed.height(), label->height()) << label->objectName().toStdString();
  }
  EXPECT_LE(form.Label1->fontMetrics().horizontalAdvance(form.Label1->text()), form.Label1->width());
  for (GlyphButton* button : {form.BClose, form.BExportar, form.BImportar}) {
    EXPECT_LE(18 + 4 + button->fontMetrics().horizontalAdvance(button->text().remove('&')), button->width());
  }
}

// The closing box with the sample's kind of details open: centred on the
// main window, whole on the screen, every line shown (long ones wrap, paths
// at their separators, no horizontal scroll bar), and the user can make it larger.
TEST_F(Window, TheMessageBoxShowsEveryLineCentredOnTheWindow) {
  ShowActive();
  const std::string longLine(150, 'M');
  const std::string path = "/home/jefatura/Documentos/Horarios/2026-2027/Enlazor-copias/2026-12-10 01.42.36";
  MessageDialog box(
      &form, "Enlazor",
      {"Proceso finalizado\nArchivo de Séneca: C:\\HTEMP\\sauce\\horario.xml\nTablas sustituidas guardadas en: " +
           path + path,
       "3 avisos para revisar (1 empleado repetido, 2 valores cortados); 262 códigos renumerados.",
       "corta\n" + longLine + "\n  " + path + std::string(40, '\n'), "Deshacer"});
  box.show();
  box.DetailsButton->click();
  QApplication::processEvents();
  EXPECT_TRUE(box.Details->isVisible());
  const QRect screen = box.screen()->availableGeometry();
  EXPECT_TRUE(screen.contains(box.frameGeometry())) << box.frameGeometry().width() << " x " << screen.width();
  const QPoint centre = form.frameGeometry().center(), boxCentre = box.frameGeometry().center();
  if (box.frameGeometry().width() < screen.width() - 4 && box.frameGeometry().height() < screen.height() - 4) {
    EXPECT_LE(std::abs(centre.x() - boxCentre.x()), 2);
    EXPECT_LE(std::abs(centre.y() - boxCentre.y()), 2);
  }
  EXPECT_FALSE(box.Details->horizontalScrollBar()->isVisible());
  for (const QString& line : box.Details->toPlainText().split('\n')) {
    EXPECT_LE(box.Details->fontMetrics().horizontalAdvance(line), box.Details->viewport()->width())
        << line.toStdString();
  }
  for (QLabel* text : {box.Text, box.Summary}) EXPECT_LE(text->sizeHint().width(), screen.width() / 2 + 2);
  EXPECT_NE(box.Text->text().indexOf("Enlazor-copias/"), -1);  // the path broke at a separator, not in a name
  EXPECT_LE(box.Details->geometry().bottom(), box.Ok->geometry().top());
  EXPECT_NE(box.minimumSize(), box.maximumSize());
  box.Extra->click();
  EXPECT_TRUE(box.ExtraPressed());
}

// Both command buttons show "Aceptar"; a screen reader hears what each does,
// and the panels' texts are there to read.
TEST_F(Window, AssistiveTechnologyHearsWhatEachButtonDoes) {
  const struct {
    QWidget* widget;
    const char* name;
  } expected[] = {
      {form.BExportar, "Transformar datos desde Séneca hacia Horavia"},
      {form.BImportar, "Transformar datos desde Horavia hacia Séneca"},
      {form.BClose, "Salir"},
      {form.Label3, "Transformar datos desde Séneca hacia Horavia "},
      {form.Label4, "Transformar datos desde Horavia hacia Séneca"},
      {form.Label1, "Enlazor V-1.2"},
  };
  for (const auto& e : expected) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(e.widget);
    ASSERT_NE(accessible, nullptr) << e.name;
    EXPECT_EQ(accessible->text(QAccessible::Name).toStdString(), e.name);
  }
  EXPECT_EQ(QAccessible::queryAccessibleInterface(form.BExportar)->text(QAccessible::Description), "Aceptar");
  EXPECT_EQ(form.BExportar->text(), "Aceptar");  // the caption shown stays
}

TEST_F(Window, TheContextMenuRecoversEarlierTables) {
  const auto actions = form.actions();
  ASSERT_EQ(actions.size(), 1);
  EXPECT_EQ(actions[0]->text(), QString::fromUtf8("&Recuperar tablas anteriores…"));
  EXPECT_EQ(form.contextMenuPolicy(), Qt::ActionsContextMenu);
  actions[0]->trigger();
  ASSERT_EQ(script.shown.size(), 1u);
  EXPECT_EQ(script.shown[0].rfind("mensaje: No hay copias de tablas anteriores", 0), 0u);
}

TEST(Glyphs, HaveAGreyedDisabledForm) {
  for (const auto glyph : {GlyphButton::Glyph::Door, GlyphButton::Glyph::Check}) {
    const QImage normal = GlyphButton::Draw(glyph, true).toImage();
    const QImage greyed = GlyphButton::Draw(glyph, false).toImage();
    EXPECT_EQ(normal.size(), QSize(18, 18));
    EXPECT_NE(normal, greyed);
    for (int y = 0; y < 18; ++y) {
      for (int x = 0; x < 18; ++x) {
        const QColor c = greyed.pixelColor(x, y);
        if (c.alpha() > 0) {
          ASSERT_LE(std::abs(c.red() - c.green()) + std::abs(c.green() - c.blue()), 2);
        }
      }
    }
  }
}

TEST_F(Window, KeyboardFollowsTheTabOrderAndEnterPressesTheFocusedButton) {
  ShowActive();
  EXPECT_EQ(QApplication::focusWidget(), form.BClose);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), form.BExportar);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), form.BImportar);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), form.BClose);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
  EXPECT_EQ(QApplication::focusWidget(), form.BImportar);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  EXPECT_TRUE(form.isVisible());
  EXPECT_TRUE(script.offered.empty());
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);  // the import command starts
  EXPECT_EQ(script.offered.size(), 1u);
  form.BExportar->setFocus();
  QTest::keyClick(form.BExportar, Qt::Key_Space);
  EXPECT_EQ(script.offered.size(), 2u);
  form.BClose->setFocus();
  QTest::keyClick(form.BClose, Qt::Key_Return);
  EXPECT_FALSE(form.isVisible());
}

TEST_F(Window, TheAccessKeyClosesTheWindowWithOrWithoutAlt) {
  for (const auto modifier : {Qt::NoModifier, Qt::AltModifier}) {
    ShowActive();
    QTest::keyClick(&form, Qt::Key_S, modifier);
    EXPECT_FALSE(form.isVisible()) << modifier;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
