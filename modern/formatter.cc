#include "modern/formatter.h"

#include <algorithm>

#include "modern/file_facts.h"
#include "modern/lines.h"
#include "modern/token_stream.h"
#include "platform/check.h"
#include "platform/large_pages.h"

namespace qfmt::modern {
namespace {

// CR LF when the first line feed follows a carriage return, as qfmt does.
std::string_view LineEndOf(std::string_view text) {
  const std::size_t feed = text.find('\n');
  return feed != std::string_view::npos && feed > 0 && text[feed - 1] == '\r' ? "\r\n" : "\n";
}

}  // namespace

bool Format(std::string_view text, const Options& options, std::string& output, std::size_t max_output) {
  return Formatter().Format(text, options, output, max_output);
}

bool Formatter::Format(std::string_view text, const Options& options, std::string& output,
                       std::size_t max_output) {
  output.clear();
  // Most texts come out about as long as they went in: grown at most once.
  output.reserve(std::min(max_output, text.size() + text.size() / 8 + 256));
  platform::PreferLargePages(output.data(), output.capacity());
  const std::int32_t tab_width = options.tab_width > 0 ? options.tab_width : 8;
  const bool record = text.size() <= kMaxRecorded;
  const FileFacts facts = ReadFileFacts(text, tab_width, record ? &tokens_ : nullptr);
  // The replay must not end before the text does.
  QFMT_CHECK(!record || (!tokens_.empty() && tokens_.back().kind == Kind::kEnd));
  LineOptions lines;
  lines.tab_width = tab_width;
  lines.max_line_length = options.max_line_length;
  lines.line_end = LineEndOf(text);
  lines.max_output = max_output;
  if (options.indent_from_file && (facts.tabs || facts.step > 0)) {
    lines.tabs = facts.tabs;
    lines.unit = facts.tabs ? tab_width : facts.step;
  } else {
    const std::string_view unit =
        options.indent_from_file ? kDefaultIndent : std::string_view(options.indent);
    lines.tabs = unit.find('\t') != std::string_view::npos;
    lines.unit = ColumnAfter(unit, 0, tab_width);
  }
  StructureOptions structure;
  structure.braces = options.braces;
  structure.pointers_left = facts.pointers_left;
  TokenStream stream = record ? TokenStream(text, tokens_) : TokenStream(text, tab_width);
  Lines sink(text, lines, output);
  Structure(stream, structure, sink).Run();
  return !sink.overflowed();
}

}  // namespace qfmt::modern
