#include "app/mainform.h"

#include <QDir>
#include <QFileInfo>
#include <QScreen>
#include <QShortcut>

#include "exchange/failure.h"
#include "export/export_run.h"
#include "import/import_run.h"

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

// Shows the busy cursor for as long as it lives.
class BusyCursor {
 public:
  explicit BusyCursor(UiServices& ui) : ui_(ui) {}
  ~BusyCursor() { Restore(); }
  void Show() {
    if (!shown_) ui_.SetBusy(true);
    shown_ = true;
  }
  void Restore() {
    if (shown_) ui_.SetBusy(false);
    shown_ = false;
  }

 private:
  UiServices& ui_;
  bool shown_ = false;
};

}  // namespace

TMForm::TMForm(std::filesystem::path workDir, std::unique_ptr<UiServices> ui)
    : QWidget(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint),
      workDir_(std::move(workDir)),
      ui_(ui ? std::move(ui) : std::make_unique<QtUiServices>(this)) {
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

void TMForm::ChooseExchangeFile() {
  const std::optional<QString> chosen = ui_->ChooseFile(archivoXml_);
  if (!chosen) return;
  archivoXml_ = *chosen;
  // As the Windows dialog does: the chosen file's folder becomes the current
  // one, so that the import finds the "base.xml" kept beside the exchange files.
  const QString folder = QFileInfo(archivoXml_).absolutePath();
  if (QFileInfo(folder).isDir()) QDir::setCurrent(folder);
}

// Runs a command's run; refusals go to the message box, failures to the error
// report, and the busy cursor is restored either way. True when it completed.
template <typename Run>
bool TMForm::RunCommand(Run run) {
  BusyCursor busy(*ui_);
  try {
    run([&] { busy.Show(); });
  } catch (const enlazor::Refusal& refusal) {
    busy.Restore();
    ui_->ShowMessage(QString::fromUtf8(refusal.what()));
    return false;
  } catch (const std::exception& failure) {
    busy.Restore();
    ui_->ReportError(WithFullStop(QString::fromUtf8(failure.what())));
    return false;
  }
  busy.Restore();
  return true;
}

void TMForm::BExportarClick() {
  ChooseExchangeFile();
  const std::filesystem::path file = archivoXml_.toStdString();
  if (RunCommand([&](const auto& showBusy) { enlazor::RunExport(file, workDir_, showBusy); })) {
    ui_->ShowMessage("Proceso finalizado");
  }
}

void TMForm::BImportarClick() {
  ChooseExchangeFile();
  const std::filesystem::path file = archivoXml_.toStdString();
  const std::filesystem::path base = std::filesystem::absolute("base.xml");
  if (RunCommand([&](const auto& showBusy) { enlazor::RunImport(file, workDir_, base, showBusy); })) {
    ui_->ShowMessage("Proceso Terminado");
  }
}
