#pragma once

#include "shell/framework.h"

namespace qfmt::shell {

// Commands that the progress dialog posts itself once it exists.
inline constexpr WPARAM ID_RUN_JOB = 101;
// Also the command of the system-menu item that shows the usage.
inline constexpr WPARAM IDM_SHOW_USAGE = 16;

// The "running" window: the application's main window, in which the job runs
// when the command line holds "-i", and over which the usage dialog shows
// otherwise. Either way a quit request ends it afterwards.
class CProgressDlg final : public Dialog {
 public:
  explicit CProgressDlg(const Application& app);

  // The exit status of the job, 0 until it has run.
  [[nodiscard]] int exit_status() const { return exit_status_; }

 private:
  bool OnInitDialog() override;
  bool OnCommand(WPARAM wparam, LPARAM lparam) override;
  bool OnSysCommand(WPARAM wparam, LPARAM lparam) override;
  bool OnPaint() override;
  HICON OnQueryDragIcon() override { return m_hIcon; }

  void AddUsageMenuItem();

  HICON m_hIcon;
  int exit_status_ = 0;
};

}  // namespace qfmt::shell
