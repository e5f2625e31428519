#pragma once

#include <string>

#include "shell/framework.h"

namespace qfmt::shell {

// The usage dialog: the program's icon, the usage text in a read-only text
// box that wraps it at word ends, and an OK button.
class CUsageDlg final : public Dialog {
 public:
  explicit CUsageDlg(const Application& app);

 private:
  bool OnInitDialog() override;

  std::string m_usageText;
};

}  // namespace qfmt::shell
