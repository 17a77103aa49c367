// Shows the window, or one of its boxes, on the current display and saves
// the screen as a PNG:
//   enlazor_screenshot FILE.png [ventana | mensaje SAMPLE.xml | copias]
// "mensaje" is the closing box of an export of SAMPLE.xml (into a temporary
// work folder, twice, so that it offers "Deshacer") with its details open.
#include <QApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

#include "app/qt/mainform.h"
#include "app/qt/message_dialog.h"
#include "exchange/platform/platform.h"
#include "export/export_run.h"

namespace {

std::unique_ptr<QWidget> Scene(const QString& scene, const QString& sample, const QTemporaryDir& work) {
  if (scene == "mensaje") {
    const auto file = enlazor::platform::PathFromUtf8(sample.toStdString());
    const auto folder = enlazor::platform::PathFromUtf8(work.path().toStdString());
    enlazor::RunExport(file, folder);
    const enlazor::RunReport report = enlazor::RunExport(file, folder);
    auto box = std::make_unique<MessageDialog>(
        nullptr, "Enlazor",
        enlazor::Message{report.Closing(), report.Summary(), report.Details(), enlazor::kUndoCaption});
    return box;
  }
  if (scene == "copias") {
    return std::make_unique<CopyChooser>(
        nullptr, "Enlazor",
        std::vector<std::string>{
            "1.  09/12/2026 22:40:12  antes de exportar horario-2027.xml  PROFT: 81 filas, ASIGT: 412 filas",
            "2.  02/12/2026 09:15:03  antes de exportar horario.xml  PROFT: 80 filas, ASIGT: 398 filas"});
  }
  return std::make_unique<TMForm>(enlazor::platform::MapWindowsPath(enlazor::platform::kWorkDirectory));
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  const QString target = argc > 1 ? argv[1] : "enlazor.png";
  const QTemporaryDir work;
  std::unique_ptr<QWidget> shown = Scene(argc > 2 ? argv[2] : "ventana", argc > 3 ? argv[3] : "", work);
  shown->show();
  // The details open once the box is on the screen, as when the user clicks.
  if (auto* box = dynamic_cast<MessageDialog*>(shown.get()))
    QTimer::singleShot(300, box->DetailsButton, &QPushButton::click);
  QTimer::singleShot(800, [&] {
    const QPixmap shot = shown->screen()->grabWindow(0);
    application.exit(shot.save(target) ? 0 : 1);
  });
  return application.exec();
}
