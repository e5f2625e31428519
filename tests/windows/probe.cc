// qfmt-probe: what the Windows tests need of Windows itself, under wine.
//
//   qfmt-probe run COMMAND_LINE
//     Starts a program with exactly this raw command line, in the current
//     folder and with the probe's standard streams, waits for it and exits
//     with its exit status.
//   qfmt-probe window CAPTION [SECONDS]
//     Waits (10 seconds by default) for a visible top-level window with this
//     caption and describes it on standard output:
//       caption "OLC Quillon"
//       owner "CAPTION" | owner none
//       window 284 x 171 pixels
//       client 278 x 146 pixels, 185 x 97 units
//       control 65535 Static "The Quillon is running." at 36,44 size 113 x 8 units
//     Units are dialog units of the font "MS Sans Serif", 8 points, which
//     the probe measures itself the way Windows defines them. Texts are
//     written with \n, \r, \t, \\, \" and \xHH escapes.
//   qfmt-probe syscommand CAPTION NUMBER
//     Posts WM_SYSCOMMAND with wParam NUMBER to the window, as choosing an
//     item of its system menu does.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

int Fail(const char* what) {
  std::fprintf(stderr, "qfmt-probe: %s (error %lu)\n", what, ::GetLastError());
  return 125;
}

int Run(const char* command_line) {
  std::string line = command_line;  // CreateProcessA may write into it
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  if (::CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                       &process) == 0) {
    return Fail("cannot start the program");
  }
  ::WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = 0;
  ::GetExitCodeProcess(process.hProcess, &status);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return static_cast<int>(status);
}

std::string Escaped(const std::string& text) {
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    char hex[5];
    std::snprintf(hex, sizeof hex, "\\x%02x", byte);
    out += c == '\n'                     ? "\\n"
           : c == '\r'                   ? "\\r"
           : c == '\t'                   ? "\\t"
           : c == '\\'                   ? "\\\\"
           : c == '"'                    ? "\\\""
           : byte < 0x20 || byte >= 0x7f ? hex
                                         : std::string(1, c);
  }
  return out;
}

// The text of a window of another process: WM_GETTEXT, which Windows carries
// across processes (GetWindowText does not reach a control's own text).
std::string TextOf(HWND window) {
  const LRESULT length = ::SendMessageA(window, WM_GETTEXTLENGTH, 0, 0);
  std::vector<char> text(static_cast<std::size_t>(length) + 1);
  const LRESULT copied =
      ::SendMessageA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  return std::string(text.data(), static_cast<std::size_t>(copied));
}

std::string ClassOf(HWND window) {
  char name[64] = {};
  ::GetClassNameA(window, name, sizeof name);
  return name;
}

// Dialog base units of "MS Sans Serif", 8 points: the average width of the
// 52 letters and the height of the font, in pixels.
struct BaseUnits {
  int x = 0;
  int y = 0;
};

BaseUnits MeasureBaseUnits() {
  const HDC dc = ::GetDC(nullptr);
  const int height = -::MulDiv(8, ::GetDeviceCaps(dc, LOGPIXELSY), 72);
  const HFONT font =
      ::CreateFontA(height, 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "MS Sans Serif");
  const HGDIOBJ old = ::SelectObject(dc, font);
  TEXTMETRICA metrics{};
  ::GetTextMetricsA(dc, &metrics);
  static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  SIZE size{};
  ::GetTextExtentPoint32A(dc, kLetters, 52, &size);
  ::SelectObject(dc, old);
  ::DeleteObject(font);
  ::ReleaseDC(nullptr, dc);
  return {(size.cx / 26 + 1) / 2, metrics.tmHeight};
}

// Pixels back to dialog units: each unit is at least one pixel, so rounding
// finds the units that Windows mapped.
int Units(LONG pixels, int per_units, int base) {
  return static_cast<int>((pixels * per_units + base / 2) / base);
}

struct Description {
  BaseUnits units;
  std::string text;
};

BOOL CALLBACK DescribeControl(HWND control, LPARAM data) {
  auto& description = *reinterpret_cast<Description*>(data);
  RECT rect{};
  ::GetWindowRect(control, &rect);
  ::MapWindowPoints(nullptr, ::GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
  const BaseUnits& u = description.units;
  char line[128];
  std::snprintf(line, sizeof line, " at %d,%d size %d x %d units\n", Units(rect.left, 4, u.x),
                Units(rect.top, 8, u.y), Units(rect.right - rect.left, 4, u.x),
                Units(rect.bottom - rect.top, 8, u.y));
  description.text += "control " + std::to_string(::GetDlgCtrlID(control)) + " " + ClassOf(control) + " \"" +
                      Escaped(TextOf(control)) + "\"" + line;
  return TRUE;
}

int DescribeWindow(const char* caption, double seconds) {
  HWND window = nullptr;
  for (double waited = 0; waited <= seconds; waited += 0.1) {
    window = ::FindWindowA(nullptr, caption);
    if (window != nullptr && ::IsWindowVisible(window) != 0) break;
    window = nullptr;
    ::Sleep(100);
  }
  if (window == nullptr) {
    std::printf("no window \"%s\"\n", Escaped(caption).c_str());
    return 1;
  }
  Description description{MeasureBaseUnits(), ""};
  const HWND owner = ::GetWindow(window, GW_OWNER);
  RECT frame{};
  ::GetWindowRect(window, &frame);
  RECT client{};
  ::GetClientRect(window, &client);
  std::printf("caption \"%s\"\n", Escaped(TextOf(window)).c_str());
  if (owner == nullptr) {
    std::printf("owner none\n");
  } else {
    std::printf("owner \"%s\"\n", Escaped(TextOf(owner)).c_str());
  }
  std::printf("window %ld x %ld pixels\n", frame.right - frame.left, frame.bottom - frame.top);
  std::printf("client %ld x %ld pixels, %d x %d units\n", client.right, client.bottom,
              Units(client.right, 4, description.units.x), Units(client.bottom, 8, description.units.y));
  ::EnumChildWindows(window, DescribeControl, reinterpret_cast<LPARAM>(&description));
  std::fputs(description.text.c_str(), stdout);
  return 0;
}

int PostSysCommand(const char* caption, const char* number) {
  const HWND window = ::FindWindowA(nullptr, caption);
  if (window == nullptr) return Fail("no such window");
  return ::PostMessageA(window, WM_SYSCOMMAND, std::strtoul(number, nullptr, 10), 0) != 0
             ? 0
             : Fail("cannot post");
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "run" && argc == 3) return Run(argv[2]);
  if (command == "window" && (argc == 3 || argc == 4))
    return DescribeWindow(argv[2], argc == 4 ? std::atof(argv[3]) : 10);
  if (command == "syscommand" && argc == 4) return PostSysCommand(argv[2], argv[3]);
  std::fputs("usage: qfmt-probe run COMMAND_LINE | window CAPTION [SECONDS] | syscommand CAPTION N\n",
             stderr);
  return 64;
}
