#include "shell/usage_dialog.h"

#include "job/messages.h"
#include "shell/resource_ids.h"

namespace qfmt::shell {

CUsageDlg::CUsageDlg(const Application& app) : Dialog(app, IDD_USAGE), m_usageText(job::UsageDialogText()) {}

// The text box is read-only, so the text never needs reading back.
bool CUsageDlg::OnInitDialog() {
  ::SetDlgItemTextA(hwnd(), IDC_USAGE_TEXT, m_usageText.c_str());
  return true;
}

}  // namespace qfmt::shell
