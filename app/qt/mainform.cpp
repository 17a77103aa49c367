#include "app/qt/mainform.h"

#include "app/qt/qt_ui_services.h"

#include <QScreen>
#include <QShortcut>


namespace {

QFont SansSerif8(bool bold) {
  QFont font;
  font.setFamilies({"MS Sans Serif", "Microsoft Sans Serif", "Liberation Sans", "DejaVu Sans"});
  font.setPixelSize(11);
  font.setBold(bold);
  return font;
}

QFont Arial12Bold() {
  QFont font;
  font.setFamilies({"Arial", "Liberation Sans", "DejaVu Sans"});
  font.setPixelSize(16);
  font.setBold(true);
  return font;
}

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
  setWindowTitle("Exportar e importar datos entre Horavia y Séneca");
  setFixedSize(632, 266);
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
}

TMForm::~TMForm() = default;

void TMForm::CreatePanels() {
  Draw3D1 = new GradientPanel(QColor(194, 205, 254), QColor(207, 242, 254), QColor(204, 216, 230), this);
  Draw3D1->setGeometry(0, 168, 633, 97);
  const QColor start(249, 211, 125), middle(255, 255, 255), end(255, 238, 221);
  Draw3D2 = new GradientPanel(start, middle, end, this);
  Draw3D2->setGeometry(1, 0, 315, 169);
  Draw3D3 = new GradientPanel(start, middle, end, this);
  Draw3D3->setGeometry(316, 0, 317, 169);
  Draw3D1->setObjectName("Draw3D1");
  Draw3D2->setObjectName("Draw3D2");
  Draw3D3->setObjectName("Draw3D3");
}

void TMForm::CreateLabels() {
  Label1 = MakeLabel("Enlazor V-1.2", Draw3D1, QRect(8, 72, 0, 0), SansSerif8(true), false);
  Label1->setStyleSheet("color: rgb(255, 0, 0)");
  Label1->adjustSize();
  Label3 = MakeLabel("Transformar datos desde Séneca hacia Horavia ", Draw3D2, QRect(24, 24, 265, 57), Arial12Bold(), true);
  Label4 = MakeLabel("Transformar datos desde Horavia hacia Séneca", Draw3D3, QRect(8, 24, 305, 57), Arial12Bold(), true);
  Label1->setObjectName("Label1");
  Label3->setObjectName("Label3");
  Label4->setObjectName("Label4");
}

void TMForm::CreateButtons() {
  BClose = MakeButton("&Salir", GlyphButton::Glyph::Door, Draw3D1, QRect(256, 32, 89, 25));
  BExportar = MakeButton("Aceptar", GlyphButton::Glyph::Check, Draw3D2, QRect(96, 120, 89, 25));
  BImportar = MakeButton("Aceptar", GlyphButton::Glyph::Check, Draw3D3, QRect(96, 120, 89, 25));
  BClose->setObjectName("BClose");
  BExportar->setObjectName("BExportar");
  BImportar->setObjectName("BImportar");
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
