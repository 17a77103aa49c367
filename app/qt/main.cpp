// Enlazor: the window that moves timetable data between Séneca and Horavia.
#include <QApplication>

#include "app/qt/mainform.h"
#include "exchange/platform/platform.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  TMForm MForm(enlazor::platform::MapWindowsPath(enlazor::platform::kWorkDirectory));
  MForm.show();
  return application.exec();
}
