// MForm, the program's only window, and its two commands.
#pragma once

#include <QLabel>
#include <QWidget>
#include <filesystem>
#include <memory>

#include "app/glyph_button.h"
#include "app/gradient_panel.h"
#include "app/ui_services.h"

class TMForm : public QWidget {
  Q_OBJECT

 public:
  // workDir: Horavia's work directory; ui: the dialogs (Qt's own when null).
  explicit TMForm(std::filesystem::path workDir, std::unique_ptr<UiServices> ui = nullptr);
  ~TMForm() override;

  GradientPanel *Draw3D1, *Draw3D2, *Draw3D3;
  QLabel *Label1, *Label3, *Label4;
  GlyphButton *BClose, *BExportar, *BImportar;

  const QString& ArchivoXML() const { return archivoXml_; }

 public slots:
  void BExportarClick();
  void BImportarClick();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void CreatePanels();
  void CreateLabels();
  void CreateButtons();
  // Both commands begin alike: the dialog replaces ArchivoXML only on confirm.
  void ChooseExchangeFile();
  template <typename Run>
  bool RunCommand(Run run);

  std::filesystem::path workDir_;
  std::unique_ptr<UiServices> ui_;
  QString archivoXml_;
};
