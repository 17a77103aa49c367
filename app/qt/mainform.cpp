#include "app/qt/mainform.h"

#include "app/look.h"
#include "app/qt/qt_ui_services.h"

#include <QAction>
#include <QIcon>
#include <QScreen>
#include <QShortcut>

namespace {

namespace look = enlazor::look;

template <size_t N>
QFont Font(const char* const (&faces)[N], int pixels, bool bold) {
  QFont font;
  QStringList families;
  for (const char* face : faces) families << face;
  font.setFamilies(families);
  font.setPixelSize(pixels);
  font.setBold(bold);
  return font;
}

QFont SansSerif8(bool bold) { return Font(look::kSmallFontFaces, look::kSmallFontPixels, bold); }
QFont Arial12Bold() { return Font(look::kBigFontFaces, look::kBigFontPixels, true); }

QRect Q(look::Rect r) { return QRect(r.left, r.top, r.width, r.height); }

QLabel* MakeLabel(const QString& caption, QWidget* parent, QRect geometry, const QFont& font, bool wrap) {
  auto* label = new QLabel(caption, parent);
  label->setAttribute(Qt::WA_TranslucentBackground);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setWordWrap(wrap);
  label->setFont(font);
  label->setFocusPolicy(Qt::NoFocus);
  label->setGeometry(geometry);
  return label;
}

GlyphButton* MakeButton(const QString& caption, GlyphButton::Glyph glyph, QWidget* parent, QRect geometry) {
  auto* button = new GlyphButton(caption, glyph, parent);
  button->setGeometry(geometry);
  button->setAutoDefault(true);  // Enter presses the button that has the focus
  button->setFocusPolicy(Qt::StrongFocus);
  return button;
}

}  // namespace

TMForm::TMForm(std::filesystem::path workDir, std::unique_ptr<enlazor::UiServices> ui)
    : QWidget(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint),
      ui_(ui ? std::move(ui) : std::make_unique<QtUiServices>(this)),
      flows_(std::move(workDir), *ui_) {
  setObjectName("MForm");
  setWindowTitle(QString::fromUtf8(look::kCaption));
  Q_INIT_RESOURCE(icon);  // the icon lives in this static library
  QIcon icon;
  for (const char* size : {"16", "32", "48", "64", "256"}) icon.addFile(QString(":/icono/") + size + ".png");
  setWindowIcon(icon);
  setFixedSize(look::kClientWidth, look::kClientHeight);
  setFont(SansSerif8(false));
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::Button);
  CreatePanels();
  CreateLabels();
  CreateButtons();
  // The access key S of "&Salir" closes the window, with or without Alt. The
  // window owns both shortcuts, so the button's own mnemonic is switched off.
  BClose->setShortcut(QKeySequence());
  for (const auto& key : {QKeySequence(Qt::Key_S), QKeySequence(Qt::ALT | Qt::Key_S)}) {
    connect(new QShortcut(key, this), &QShortcut::activated, BClose, &QPushButton::click);
  }
  // The window's menu, on a right click anywhere on it.
  auto* recuperar = new QAction(QString::fromUtf8(enlazor::kRecuperarCaption), this);
  connect(recuperar, &QAction::triggered, this, &TMForm::RecuperarClick);
  addAction(recuperar);
  setContextMenuPolicy(Qt::ActionsContextMenu);
}

TMForm::~TMForm() = default;

void TMForm::CreatePanels() {
  auto make = [this](const look::Panel& p) {
    auto colour = [](look::Rgb c) { return QColor(c.r, c.g, c.b); };
    auto* panel = new GradientPanel(colour(p.start), colour(p.middle), colour(p.end), this);
    panel->setGeometry(p.where.left, p.where.top, p.where.width, p.where.height);
    return panel;
  };
  Draw3D1 = make(look::kPanels[0]);
  Draw3D2 = make(look::kPanels[1]);
  Draw3D3 = make(look::kPanels[2]);
  Draw3D1->setObjectName("Draw3D1");
  Draw3D2->setObjectName("Draw3D2");
  Draw3D3->setObjectName("Draw3D3");
}

void TMForm::CreateLabels() {
  QLabel** labels[] = {&Label1, &Label3, &Label4};
  GradientPanel* panels[] = {Draw3D1, Draw3D2, Draw3D3};
  for (int k = 0; k < 3; ++k) {
    const look::Label& label = look::kLabels[k];
    *labels[k] = MakeLabel(QString::fromUtf8(label.caption), panels[label.panel], Q(label.where),
                           label.big ? Arial12Bold() : SansSerif8(true), label.big);
  }
  const auto red = look::kVersionColour;
  Label1->setStyleSheet(QString("color: rgb(%1, %2, %3)").arg(red.r).arg(red.g).arg(red.b));
  Label1->adjustSize();
  Label1->setObjectName("Label1");
  Label3->setObjectName("Label3");
  Label4->setObjectName("Label4");
}

void TMForm::CreateButtons() {
  auto make = [&](int k, GlyphButton::Glyph glyph, QWidget* panel) {
    return MakeButton(look::kButtonCaptions[k], glyph, panel, Q(look::kButtons[k]));
  };
  BClose = make(0, GlyphButton::Glyph::Door, Draw3D1);
  BExportar = make(1, GlyphButton::Glyph::Check, Draw3D2);
  BImportar = make(2, GlyphButton::Glyph::Check, Draw3D3);
  BClose->setObjectName("BClose");
  BExportar->setObjectName("BExportar");
  BImportar->setObjectName("BImportar");
  // Both command buttons read "Aceptar": a screen reader names each by the
  // action its panel's text says; the caption is what it shows.
  BExportar->setAccessibleName(Label3->text().trimmed());
  BImportar->setAccessibleName(Label4->text().trimmed());
  for (GlyphButton* button : {BExportar, BImportar}) button->setAccessibleDescription(button->text());
  BClose->setAccessibleName(QString::fromUtf8(look::kButtonCaptions[0]).remove('&'));
  setTabOrder(BClose, BExportar);
  setTabOrder(BExportar, BImportar);
  connect(BClose, &QPushButton::clicked, this, &QWidget::close);
  connect(BExportar, &QPushButton::clicked, this, &TMForm::BExportarClick);
  connect(BImportar, &QPushButton::clicked, this, &TMForm::BImportarClick);
}

void TMForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (const QScreen* screen = this->screen()) move(screen->availableGeometry().center() - rect().center());
  BClose->setFocus(Qt::OtherFocusReason);
}

void TMForm::BExportarClick() { flows_.BExportarClick(); }

void TMForm::BImportarClick() { flows_.BImportarClick(); }

void TMForm::RecuperarClick() { flows_.RecuperarClick(); }
