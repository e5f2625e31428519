#pragma once

#include <windows.h>

#include <string>
#include <string_view>

// The little of a dialog application framework that the shell needs, over
// the plain Win32 API: the application, with its name, main window and
// message box; modal dialogs made from resource templates; a paint scope.
namespace qfmt::shell {

class Dialog;

class Application {
 public:
  // The name is the executable's file name without its folder and extension.
  explicit Application(HINSTANCE instance);
  virtual ~Application() = default;
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // Runs InitInstance; the application ends when it returns (it has no
  // message loop of its own). Returns the process's exit status.
  [[nodiscard]] int Run();

  [[nodiscard]] HINSTANCE instance() const { return instance_; }
  [[nodiscard]] const std::string& name() const { return name_; }
  // The main window's handle; null while it does not exist.
  [[nodiscard]] HWND main_window() const;
  void set_main_window(const Dialog* dialog) { main_window_ = dialog; }
  void set_exit_status(int status) { exit_status_ = status; }

  // The application's message box: its name as caption, a warning icon and
  // one OK button, owned by the main window. Returns when it is closed.
  void DoMessageBox(std::string_view text) const;

 protected:
  virtual void InitInstance() = 0;

 private:
  HINSTANCE instance_;
  std::string name_;
  const Dialog* main_window_ = nullptr;
  int exit_status_ = 0;
};

// A modal dialog made from a template in the program's resources. The
// dialog manager runs its modal loop, which ends at EndDialog or at a quit
// request; each message reaches the handlers below through one dialog
// procedure, and what a handler leaves gets the dialog manager's default
// handling.
class Dialog {
 public:
  // The application's main window, once it exists, owns the dialog, as it
  // owns the application's message boxes.
  Dialog(const Application& app, int template_id);
  virtual ~Dialog() = default;
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;

  // Shows the dialog and returns when it has ended: EndDialog's result, or
  // -1 when it could not be made.
  INT_PTR DoModal();
  // Null before the dialog exists and after it has ended.
  [[nodiscard]] HWND hwnd() const { return hwnd_; }

 protected:
  [[nodiscard]] const Application& app() const { return app_; }
  void EndDialog(INT_PTR result) { ::EndDialog(hwnd_, result); }

  // WM_INITDIALOG; true lets the dialog manager focus the first control.
  virtual bool OnInitDialog() { return true; }
  // WM_COMMAND; true when handled. OK and Cancel end the dialog.
  virtual bool OnCommand(WPARAM wparam, LPARAM lparam);
  // WM_SYSCOMMAND; true when handled.
  virtual bool OnSysCommand(WPARAM /*wparam*/, LPARAM /*lparam*/) { return false; }
  // WM_PAINT; true when handled.
  virtual bool OnPaint() { return false; }
  // WM_QUERYDRAGICON: the icon shown while the minimised window is dragged,
  // or null for the default.
  virtual HICON OnQueryDragIcon() { return nullptr; }

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  INT_PTR OnMessage(UINT message, WPARAM wparam, LPARAM lparam);

  const Application& app_;
  int template_id_;
  HWND hwnd_ = nullptr;
};

// Painting a window between BeginPaint and EndPaint.
class PaintScope {
 public:
  explicit PaintScope(HWND hwnd) : hwnd_(hwnd), dc_(::BeginPaint(hwnd, &paint_)) {}
  ~PaintScope() { ::EndPaint(hwnd_, &paint_); }
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;
  [[nodiscard]] HDC dc() const { return dc_; }

 private:
  HWND hwnd_;
  PAINTSTRUCT paint_{};
  HDC dc_;
};

}  // namespace qfmt::shell
