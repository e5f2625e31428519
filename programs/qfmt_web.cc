// qfmt.js, the browser playground's WebAssembly module: a plain C interface
// over format::TextFormatter and the styles of format/styles.h. The page
// (web/qfmt-api.js) makes one Playground, writes the settings and the text
// into buffers that the Playground owns, and reads the result's five words.

#include <cstdint>
#include <memory>
#include <string>

#include "format/styles.h"
#include "format/text_formatter.h"

namespace {

using namespace qfmt;

// What qfmt_format leaves for the page, read from the module's memory as
// five 32-bit words (the module is 32-bit).
struct WebResult {
  const char* output = nullptr;  // the formatted text, when message is empty
  std::uint32_t output_size = 0;
  const char* message = nullptr;  // why it was not formatted, or empty
  std::int32_t line = 0;          // where, from 1; 0 when the message names no place
  std::int32_t column = 0;        // in bytes, from 1
};
static_assert(sizeof(void*) != 4 || sizeof(WebResult) == 20, "the page reads five 32-bit words");

class Playground {
 public:
  [[nodiscard]] const char* StylesJson() const { return styles_json_.c_str(); }
  [[nodiscard]] char* SettingsBuffer(std::uint32_t size) {
    settings_.resize(size);
    return settings_.data();
  }
  [[nodiscard]] char* TextBuffer(std::uint32_t size) {
    text_.resize(size);
    return text_.data();
  }
  [[nodiscard]] const WebResult* Format();

 private:
  void SetPlace(const platform::TextPosition& place) {
    result_.line = static_cast<std::int32_t>(place.line);
    result_.column = static_cast<std::int32_t>(place.column);
  }

  std::string styles_json_ = format::StylesJson();
  std::string settings_;
  std::string text_;
  std::string output_;
  std::string message_;
  WebResult result_;
};

const WebResult* Playground::Format() {
  result_ = WebResult();
  output_.clear();
  message_.clear();
  const format::StyleChoice choice = format::ReadStyleChoice(settings_);
  if (!choice.status.ok()) {
    message_ = choice.status.message();
  } else {
    format::TextFormatter formatter(choice.text);
    const format::TextOutcome outcome = formatter.Format(text_, choice.options);
    message_ = outcome.status.ok() ? outcome.skipped : outcome.status.message();
    if (outcome.has_error_place) SetPlace(outcome.error_place);
    if (outcome.long_token_place) SetPlace(*outcome.long_token_place);
    if (message_.empty()) output_ = formatter.formatted();
  }
  result_.output = output_.data();
  result_.output_size = static_cast<std::uint32_t>(output_.size());
  result_.message = message_.c_str();
  return &result_;
}

}  // namespace

// The page's interface; every call but qfmt_new takes the Playground it made.
extern "C" {
Playground* qfmt_new() { return std::make_unique<Playground>().release(); }
void qfmt_delete(Playground* playground) { std::unique_ptr<Playground>{playground}; }
const char* qfmt_styles(const Playground* playground) { return playground->StylesJson(); }
char* qfmt_settings_buffer(Playground* playground, std::uint32_t size) {
  return playground->SettingsBuffer(size);
}
char* qfmt_text_buffer(Playground* playground, std::uint32_t size) { return playground->TextBuffer(size); }
const WebResult* qfmt_format(Playground* playground) { return playground->Format(); }
}
