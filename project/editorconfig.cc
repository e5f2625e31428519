#include "project/editorconfig.h"

#include <editorconfig/editorconfig.h>

#include <filesystem>

namespace qfmt::project {
namespace {

// Owns an EditorConfig handle.
class Handle {
 public:
  Handle() : handle_(editorconfig_handle_init()) {}
  ~Handle() {
    if (handle_ != nullptr) editorconfig_handle_destroy(handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  [[nodiscard]] editorconfig_handle get() const { return handle_; }

 private:
  editorconfig_handle handle_;
};

}  // namespace

std::string_view EditorConfig::Find(std::string_view name) const {
  for (const auto& [key, value] : properties) {
    // "unset" takes back what a file further up gave.
    if (key == name) return value == "unset" ? std::string_view() : std::string_view(value);
  }
  return {};
}

EditorConfig ReadEditorConfig(const std::string& path) {
  EditorConfig config;
  std::error_code error;
  // The library matches its globs against a full path.
  const std::string full = std::filesystem::absolute(path, error).lexically_normal().string();
  if (error) {
    config.error = "cannot make a full path of it: " + error.message();
    return config;
  }
  const Handle handle;
  if (handle.get() == nullptr) {
    config.error = "cannot read .editorconfig: out of memory";
    return config;
  }
  const int status = editorconfig_parse(full.c_str(), handle.get());
  if (status != 0) {
    const char* file = editorconfig_handle_get_err_file(handle.get());
    config.error = status > 0 && file != nullptr
                       ? "cannot parse " + std::string(file) + ", line " + std::to_string(status)
                       : "cannot read .editorconfig: " + std::string(editorconfig_get_error_msg(status));
    return config;
  }
  const int count = editorconfig_handle_get_name_value_count(handle.get());
  for (int i = 0; i < count; ++i) {
    const char* name = nullptr;
    const char* value = nullptr;
    editorconfig_handle_get_name_value(handle.get(), i, &name, &value);
    config.properties.emplace_back(name, value);
  }
  return config;
}

}  // namespace qfmt::project
