#include "app/ui_services.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

#include "exchange/platform.h"

namespace {

QString Title() { return ApplicationTitle(QCoreApplication::applicationFilePath()); }

}  // namespace

QString ApplicationTitle(const QString& executablePath) {
  const QString name = QFileInfo(executablePath).fileName();
  const QString stem = name.left(name.indexOf('.') < 0 ? name.size() : name.indexOf('.'));
  return stem.left(1) + stem.mid(1).toLower();
}

QString WithFullStop(const QString& message) {
  if (!message.isEmpty() && message.back().unicode() > u'.') return message + ".";
  return message;
}

std::optional<QString> QtUiServices::ChooseFile(const QString& lastChoice) {
  QFileDialog dialog(owner_, "Archivo XML");
  dialog.setNameFilter("*.xml (*.xml)");
  dialog.setDefaultSuffix("xml");
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  dialog.setSizeGripEnabled(true);
  const std::string sauce = enlazor::platform::MapWindowsPath("c:\\htemp\\sauce").string();
  dialog.setDirectory(QString::fromStdString(sauce));
  if (!lastChoice.isEmpty()) dialog.selectFile(lastChoice);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().first();
}

void QtUiServices::ShowMessage(const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, Title(), text, QMessageBox::NoButton, owner_);
  QPushButton* ok = box.addButton("Aceptar", QMessageBox::AcceptRole);
  box.setDefaultButton(ok);
  box.setEscapeButton(ok);
  box.exec();
}

void QtUiServices::ReportError(const QString& text) {
  QMessageBox::critical(owner_, Title(), text, QMessageBox::Ok);
}

void QtUiServices::SetBusy(bool busy) {
  if (busy) QApplication::setOverrideCursor(Qt::WaitCursor);
  else QApplication::restoreOverrideCursor();
}
