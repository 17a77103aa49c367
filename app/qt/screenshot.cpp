// Shows the window on the current display and saves the screen as a PNG:
//   enlazor_screenshot FILE.png
#include <QApplication>
#include <QScreen>
#include <QTimer>

#include "app/qt/mainform.h"
#include "exchange/platform.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  const QString target = argc > 1 ? argv[1] : "enlazor.png";
  TMForm form(enlazor::platform::MapWindowsPath(enlazor::platform::kWorkDirectory));
  form.show();
  QTimer::singleShot(800, [&] {
    const QPixmap shot = form.screen()->grabWindow(0);
    application.exit(shot.save(target) ? 0 : 1);
  });
  return application.exec();
}
