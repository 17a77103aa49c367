// Enlazor on Windows: the window that moves timetable data between Séneca and Horavia.
#include <windows.h>

#include <objbase.h>

#include "app/win32/dpi.h"
#include "app/win32/mainform.h"
#include "exchange/platform/platform.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // The file dialog works through the component runtime, on this one thread.
  ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  enlazor::win32::BecomeDpiAware();
  int code = 0;
  {
    TMForm MForm(enlazor::platform::MapWindowsPath(enlazor::platform::kWorkDirectory));
    MForm.Show();
    code = MForm.Run();
  }
  ::CoUninitialize();
  return code;
}
