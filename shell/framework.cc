#include "shell/framework.h"

namespace qfmt::shell {
namespace {

std::string ModuleFileName(HINSTANCE instance) {
  std::string name(MAX_PATH, '\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameA(instance, name.data(), static_cast<DWORD>(name.size()));
    if (length < name.size()) {
      name.resize(length);
      return name;
    }
    name.resize(name.size() * 2);  // cut short: try a longer buffer
  }
}

std::string ApplicationName(const std::string& path) {
  const std::size_t folder_end = path.find_last_of("\\/");
  std::string name = path.substr(folder_end == std::string::npos ? 0 : folder_end + 1);
  const std::size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.resize(dot);
  return name;
}

}  // namespace

Application::Application(HINSTANCE instance)
    : instance_(instance), name_(ApplicationName(ModuleFileName(instance))) {}

int Application::Run() {
  InitInstance();
  return exit_status_;
}

HWND Application::main_window() const { return main_window_ == nullptr ? nullptr : main_window_->hwnd(); }

void Application::DoMessageBox(std::string_view text) const {
  (void)::MessageBoxA(main_window(), std::string(text).c_str(), name_.c_str(), MB_OK | MB_ICONEXCLAMATION);
}

Dialog::Dialog(const Application& app, int template_id) : app_(app), template_id_(template_id) {}

INT_PTR Dialog::DoModal() {
  // The main window has no handle yet while it is itself being made.
  const INT_PTR result = ::DialogBoxParamA(app_.instance(), MAKEINTRESOURCEA(template_id_),
                                           app_.main_window(), DialogProc, reinterpret_cast<LPARAM>(this));
  hwnd_ = nullptr;
  return result;
}

bool Dialog::OnCommand(WPARAM wparam, LPARAM /*lparam*/) {
  const WORD id = LOWORD(wparam);
  if (id != IDOK && id != IDCANCEL) return false;
  EndDialog(id);
  return true;
}

// The object arrives with WM_INITDIALOG and is kept in the dialog's user
// data; the few messages that come before it get the default handling.
INT_PTR CALLBACK Dialog::DialogProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    auto* dialog = reinterpret_cast<Dialog*>(lparam);
    ::SetWindowLongPtrA(hwnd, DWLP_USER, lparam);
    dialog->hwnd_ = hwnd;
    return dialog->OnInitDialog() ? TRUE : FALSE;
  }
  auto* dialog = reinterpret_cast<Dialog*>(::GetWindowLongPtrA(hwnd, DWLP_USER));
  return dialog == nullptr ? FALSE : dialog->OnMessage(message, wparam, lparam);
}

INT_PTR Dialog::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
      return OnCommand(wparam, lparam) ? TRUE : FALSE;
    case WM_SYSCOMMAND:
      return OnSysCommand(wparam, lparam) ? TRUE : FALSE;
    case WM_PAINT:
      return OnPaint() ? TRUE : FALSE;
    case WM_QUERYDRAGICON:
      // For this message a dialog procedure returns the icon itself, not a
      // handled flag.
      return reinterpret_cast<INT_PTR>(OnQueryDragIcon());
    default:
      return FALSE;
  }
}

}  // namespace qfmt::shell
