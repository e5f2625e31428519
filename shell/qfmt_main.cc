// qfmt.exe: the classic program on Windows, a dialog application. It formats
// one C or C++ file, keeping a ".Backup" copy of it, while its "running"
// window shows; without "-i" it shows its usage dialog.

#include <windows.h>

#include "shell/formatter_app.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*command_line*/, int /*show*/) {
  qfmt::shell::CFormatterApp app(instance);
  return app.Run();
}
