// Shows the window, or one of its boxes over it, on the current display and
// saves the screen as a PNG:
//   enlazor_screenshot FILE.png [ventana | mensaje | cancelado | copias] SAMPLES_FOLDER
// The boxes come from real runs in a temporary work folder: "mensaje" is the
// closing box of the October re-export of the sample school, over the set of
// its September export in which Horavia made five assignments, details open;
// "cancelado" the box of an export whose dialog was cancelled; "copias" the
// list of the copies those exports kept.
#include <QApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

#include "app/flows.h"
#include "app/qt/mainform.h"
#include "app/qt/message_dialog.h"
#include "exchange/dbf/table.h"
#include "exchange/platform/platform.h"
#include "exchange/set/copies.h"
#include "export/export_run.h"

namespace {

namespace fs = std::filesystem;

// September's export, Horavia's five assignments, then October's.
enlazor::RunReport ReExport(const fs::path& samples, const fs::path& work) {
  enlazor::RunExport(samples / "seneca-ies-enlazor.xml", work);
  enlazor::Table asigt(work, "ASIGT");
  asigt.Open();
  for (int k = 0; k < 5; ++k) {
    asigt.Append();
    asigt.SetFieldText("CASIG", "M");
    asigt.Post();
  }
  asigt.Close();
  return enlazor::RunExport(samples / "seneca-ies-enlazor-octubre.xml", work);
}

std::unique_ptr<QDialog> Box(const QString& scene, const fs::path& samples, const fs::path& work, QWidget* owner) {
  enlazor::RunReport report = ReExport(samples, work);
  if (scene == "copias") {
    return std::make_unique<CopyChooser>(owner, "Enlazor", enlazor::CopyChoices(enlazor::ListCopies(work)));
  }
  if (scene == "cancelado") {
    report = enlazor::RunExport(samples / "seneca-ies-enlazor-octubre.xml", work);
    report.reusedChoice = true;
  }
  return std::make_unique<MessageDialog>(
      owner, "Enlazor", enlazor::Message{report.Closing(), report.Summary(), report.Details(), enlazor::kUndoCaption});
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  const QString target = argc > 1 ? argv[1] : "enlazor.png";
  const QString scene = argc > 2 ? argv[2] : "ventana";
  const fs::path samples = enlazor::platform::PathFromUtf8(argc > 3 ? argv[3] : "samples");
  const QTemporaryDir work;
  const fs::path folder = enlazor::platform::PathFromUtf8(work.path().toStdString());
  TMForm form(folder);
  form.show();
  std::unique_ptr<QDialog> box = scene == "ventana" ? nullptr : Box(scene, samples, folder, &form);
  if (box) QTimer::singleShot(200, box.get(), &QDialog::show);  // over the window once it is drawn
  // The details open once the box is on the screen, as when the user clicks.
  if (auto* message = dynamic_cast<MessageDialog*>(box.get()); message && scene == "mensaje")
    QTimer::singleShot(500, message->DetailsButton, &QPushButton::click);
  QTimer::singleShot(1100, [&] {
    const QPixmap shot = form.screen()->grabWindow(0);
    application.exit(shot.save(target) ? 0 : 1);
  });
  return application.exec();
}
