// MForm, the program's only window, and its two commands.
#pragma once

#include <QLabel>
#include <QWidget>
#include <filesystem>
#include <memory>

#include "app/flows.h"
#include "app/qt/glyph_button.h"
#include "app/qt/gradient_panel.h"

class TMForm : public QWidget {
  Q_OBJECT

 public:
  // workDir: Horavia's work directory; ui: the dialogs (Qt's own when null).
  explicit TMForm(std::filesystem::path workDir, std::unique_ptr<enlazor::UiServices> ui = nullptr);
  ~TMForm() override;

  GradientPanel *Draw3D1, *Draw3D2, *Draw3D3;
  QLabel *Label1, *Label3, *Label4;
  GlyphButton *BClose, *BExportar, *BImportar;

  QString ArchivoXML() const { return QString::fromStdString(flows_.ArchivoXML()); }

 public slots:
  void BExportarClick();
  void BImportarClick();
  // "Recuperar tablas anteriores…", in the window's context menu.
  void RecuperarClick();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void CreatePanels();
  void CreateLabels();
  void CreateButtons();

  std::unique_ptr<enlazor::UiServices> ui_;
  enlazor::CommandFlows flows_;
};
