#include "app/qt/qt_ui_services.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

#include "exchange/platform.h"

namespace {

QString Title() { return QString::fromStdString(enlazor::ApplicationTitle(QCoreApplication::applicationFilePath().toStdString())); }
QString Q(const std::string& utf8) { return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())); }

}  // namespace

std::optional<std::string> QtUiServices::ChooseFile(const std::string& lastChoice) {
  QFileDialog dialog(owner_, "Archivo XML");
  dialog.setNameFilter("*.xml (*.xml)");
  dialog.setDefaultSuffix("xml");
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  dialog.setSizeGripEnabled(true);
  const std::string sauce = enlazor::platform::PathToUtf8(enlazor::platform::MapWindowsPath("c:\\htemp\\sauce"));
  dialog.setDirectory(Q(sauce));
  if (!lastChoice.empty()) dialog.selectFile(Q(lastChoice));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().first().toStdString();
}

void QtUiServices::ShowMessage(const std::string& text, const std::string& summary, const std::string& details) {
  QMessageBox box(QMessageBox::NoIcon, Title(), Q(text), QMessageBox::NoButton, owner_);
  QPushButton* ok = box.addButton("Aceptar", QMessageBox::AcceptRole);
  box.setDefaultButton(ok);
  box.setEscapeButton(ok);
  if (!summary.empty()) box.setInformativeText(Q(summary));
  if (!details.empty()) box.setDetailedText(Q(details));
  box.exec();
}

void QtUiServices::ReportError(const std::string& text) { QMessageBox::critical(owner_, Title(), Q(text), QMessageBox::Ok); }

void QtUiServices::SetBusy(bool busy) {
  if (busy) QApplication::setOverrideCursor(Qt::WaitCursor);
  else QApplication::restoreOverrideCursor();
}
