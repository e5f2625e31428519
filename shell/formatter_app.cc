#include "shell/formatter_app.h"

#include "shell/progress_dialog.h"

namespace qfmt::shell {

void CFormatterApp::InitInstance() {
  CProgressDlg dialog(*this);
  set_main_window(&dialog);
  (void)dialog.DoModal();
  set_main_window(nullptr);
  set_exit_status(dialog.exit_status());
}

}  // namespace qfmt::shell
