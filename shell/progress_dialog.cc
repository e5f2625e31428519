#include "shell/progress_dialog.h"

#include "job/options.h"
#include "job/run_job.h"
#include "platform/file_system.h"
#include "shell/resource_ids.h"
#include "shell/shell_console.h"
#include "shell/usage_dialog.h"

namespace qfmt::shell {

CProgressDlg::CProgressDlg(const Application& app)
    : Dialog(app, IDD_PROGRESS), m_hIcon(::LoadIconA(app.instance(), MAKEINTRESOURCEA(IDI_APP))) {}

// The command is posted, not run here, so that the job starts only once the
// dialog exists and its modal loop takes messages.
bool CProgressDlg::OnInitDialog() {
  AddUsageMenuItem();
  ::SendMessageA(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
  ::SendMessageA(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
  const WPARAM command = job::HasInputMarker(::GetCommandLineA()) ? ID_RUN_JOB : IDM_SHOW_USAGE;
  ::PostMessageA(hwnd(), WM_COMMAND, command, 0);
  return true;
}

void CProgressDlg::AddUsageMenuItem() {
  char text[256] = {};
  if (::LoadStringA(app().instance(), IDS_USAGE_MENU, text, sizeof text) == 0) return;
  const HMENU menu = ::GetSystemMenu(hwnd(), FALSE);
  if (menu == nullptr) return;
  ::AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  ::AppendMenuA(menu, MF_STRING, IDM_SHOW_USAGE, text);
}

// The whole word is compared: a control's notification, which carries its
// code in the high half, is not one of these commands.
bool CProgressDlg::OnCommand(WPARAM wparam, LPARAM lparam) {
  if (wparam == ID_RUN_JOB) {
    ShellConsole console(app());
    exit_status_ = job::RunJob(::GetCommandLineA(), platform::SystemFileSystem(), console);
    ::PostQuitMessage(0);
  }
  if (wparam == IDM_SHOW_USAGE) {
    CUsageDlg usage(app());
    (void)usage.DoModal();
    ::PostQuitMessage(0);
  }
  return Dialog::OnCommand(wparam, lparam);
}

// The low four bits of a system command are the system's own.
bool CProgressDlg::OnSysCommand(WPARAM wparam, LPARAM /*lparam*/) {
  if ((wparam & 0xFFF0) != IDM_SHOW_USAGE) return false;
  CUsageDlg usage(app());
  (void)usage.DoModal();
  return true;
}

// A minimised dialog shows the icon centred in its client area.
bool CProgressDlg::OnPaint() {
  if (::IsIconic(hwnd()) == 0) return false;
  const PaintScope paint(hwnd());
  ::SendMessageA(hwnd(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(paint.dc()), 0);
  const int icon_width = ::GetSystemMetrics(SM_CXICON);
  const int icon_height = ::GetSystemMetrics(SM_CYICON);
  RECT client{};
  ::GetClientRect(hwnd(), &client);
  const int x = (client.right - client.left - icon_width + 1) / 2;
  const int y = (client.bottom - client.top - icon_height + 1) / 2;
  ::DrawIcon(paint.dc(), x, y, m_hIcon);
  return true;
}

}  // namespace qfmt::shell
