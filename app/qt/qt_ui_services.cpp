#include "app/qt/qt_ui_services.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

#include "app/look.h"
#include "app/qt/message_dialog.h"

namespace {

namespace look = enlazor::look;

QString Title() {
  return QString::fromStdString(enlazor::ApplicationTitle(QCoreApplication::applicationFilePath().toStdString()));
}
QString Q(const std::string& utf8) { return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())); }

}  // namespace

std::optional<std::string> QtUiServices::ChooseFile(const std::string& lastChoice, const std::string& initialFolder) {
  QFileDialog dialog(owner_, Q(look::kDialogTitle));
  dialog.setNameFilter(Q(look::kDialogFilterName) + " (" + Q(look::kDialogFilterPattern) + ")");
  dialog.setDefaultSuffix(Q(look::kDialogExtension));
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  dialog.setSizeGripEnabled(true);
  dialog.setDirectory(Q(initialFolder));
  if (!lastChoice.empty()) dialog.selectFile(Q(lastChoice));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().first().toStdString();
}

bool QtUiServices::ShowMessage(const enlazor::Message& message) {
  MessageDialog box(owner_, Title(), message);
  box.exec();
  return box.ExtraPressed();
}

bool QtUiServices::Confirm(const std::string& question, const std::string& yes) {
  QMessageBox box(QMessageBox::Question, Title(), Q(question), QMessageBox::NoButton, owner_);
  QPushButton* accept = box.addButton(Q(yes), QMessageBox::AcceptRole);
  QPushButton* cancel = box.addButton(Q(enlazor::look::kCancel), QMessageBox::RejectRole);
  box.setDefaultButton(cancel);
  box.setEscapeButton(cancel);
  box.exec();
  return box.clickedButton() == accept;
}

std::optional<size_t> QtUiServices::ChooseCopy(const std::vector<std::string>& copies) {
  CopyChooser chooser(owner_, Title(), copies);
  if (chooser.exec() != QDialog::Accepted) return std::nullopt;
  return chooser.Chosen();
}

void QtUiServices::ReportError(const std::string& text) {
  QMessageBox::critical(owner_, Title(), Q(text), QMessageBox::Ok);
}

// The desktop's file manager shows the file selected where it knows how
// (the freedesktop.org interface every common one offers); otherwise its
// folder opens.
void QtUiServices::ShowFile(const std::string& path) {
  const QUrl file = QUrl::fromLocalFile(Q(path));
  QDBusInterface manager("org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
                         "org.freedesktop.FileManager1", QDBusConnection::sessionBus());
  if (manager.isValid()) {
    const QDBusMessage reply = manager.call("ShowItems", QStringList{file.toString()}, QString());
    if (reply.type() != QDBusMessage::ErrorMessage) return;
  }
  QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(Q(path)).absolutePath()));
}

void QtUiServices::SetBusy(bool busy) {
  if (busy)
    QApplication::setOverrideCursor(Qt::WaitCursor);
  else
    QApplication::restoreOverrideCursor();
}
