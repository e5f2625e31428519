#pragma once

#include "shell/framework.h"

namespace qfmt::shell {

// The application: it shows the progress dialog, in which everything
// happens, and ends when that dialog has ended.
class CFormatterApp final : public Application {
 public:
  using Application::Application;

 private:
  void InitInstance() override;
};

}  // namespace qfmt::shell
