#include "project/editorconfig.h"

#include <editorconfig/editorconfig.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <map>
#include <random>

#include "project/settings.h"
#include "project/settings_file.h"

namespace qfmt::project {

// note [private copies]
// The EditorConfig library opens the files it reads itself, by name, for
// every file whose settings it is asked for, and waits forever on a FIFO. So
// each .editorconfig is read once, here, as a settings file may be, and
// copied into a private folder of the run (readable by its owner only, in
// the temporary folder), at the same path below it as the folder it came
// from. The library is asked about the same path below that folder, with a
// random name for its files: it reads only the copies, as nobody can have
// made a file of that name in the folders above the private one. Each copy
// is parsed once when it is made. One that cannot be read or parsed is
// copied as a marker instead, a section "[*]" that sets a property of that
// random name to the problem's number: the library gives the marker to
// exactly the files that the file governs (none below a "root = true"), and
// for them the problem is an error.

// note [what the copies hold]
// The library's time grows with the square of the distinct properties that
// its files give (a hostile file of 1 MiB of them takes it minutes), and it
// reads the copies for every formatted file. So a copy holds only the lines
// that bear on the properties qfmt-tree uses: "root", section headers, and
// in each section the last line that sets each of those properties. Every
// other line that plainly sets a property ("name = value"), and each header
// of a section left empty, becomes a blank line, so that line numbers stay;
// every line that is not plainly one or the other is kept for the library to
// judge.

namespace {

namespace fs = std::filesystem;
constexpr std::string_view kFileName = ".editorconfig";

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

std::string RandomToken() {
  constexpr std::string_view kLetters = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device device;
  std::uniform_int_distribution<std::size_t> pick(0, kLetters.size() - 1);
  std::string token;
  for (int i = 0; i < 16; ++i) token += kLetters[pick(device)];
  return token;
}

std::string InFolder(const std::string& folder, std::string_view name) {
  return (folder == "/" ? folder : folder + "/") + std::string(name);
}

std::string_view Trimmed(std::string_view text) {
  const std::size_t begin = text.find_first_not_of(" \t\r");
  if (begin == std::string_view::npos) return {};
  return text.substr(begin, text.find_last_not_of(" \t\r") - begin + 1);
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

// A section of an .editorconfig file, as far as FindOrigin needs it.
struct Section {
  std::string glob;
  std::vector<std::string> names;  // of the properties it sets, in lower case
};

struct ConfigFile {
  std::vector<Section> sections;
  bool root = false;
};

// Reads an .editorconfig as the EditorConfig library does: "[glob]" opens
// a section, "name = value" (or "name : value") sets a property, and lines
// that begin with '#' or ';' are comments.
ConfigFile ParseConfigFile(std::string_view text) {
  ConfigFile config;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = std::min(text.find('\n', at), text.size());
    const std::string_view line = Trimmed(text.substr(at, end - at));
    at = end + 1;
    if (line.empty() || line.front() == '#' || line.front() == ';') continue;
    if (line.front() == '[') {
      const std::size_t close = line.rfind(']');
      const std::size_t length = close == std::string_view::npos ? line.size() - 1 : close - 1;
      config.sections.push_back({std::string(line.substr(1, length)), {}});
      continue;
    }
    const std::size_t equals = line.find_first_of("=:");
    if (equals == std::string_view::npos) continue;
    const std::string name = Lower(Trimmed(line.substr(0, equals)));
    if (!config.sections.empty()) {
      config.sections.back().names.push_back(name);
    } else if (name == "root") {
      config.root = Lower(Trimmed(line.substr(equals + 1))) == "true";
    }
  }
  return config;
}

// The index of the '}' or ']' that closes the one at `open`, or npos.
std::size_t Closing(std::string_view glob, std::size_t open, char close) {
  int depth = 0;
  for (std::size_t i = open; i < glob.size(); ++i) {
    if (glob[i] == '\\') {
      ++i;
    } else if (glob[i] == glob[open] && close == '}') {
      ++depth;
    } else if (glob[i] == close && (close == '}' ? --depth == 0 : i > open + 1)) {
      return i;
    }
  }
  return std::string_view::npos;
}

// The glob's matcher: "*" no '/', "**" anything, "?" one character but '/',
// "[seq]" and "[!seq]", "{a,b}" alternatives, "{1..9}" numbers, "\" escapes.
bool Matches(std::string_view glob, std::string_view path);

bool MatchesBraces(std::string_view glob, std::size_t close, std::string_view path) {
  const std::string_view inside = glob.substr(1, close - 1);
  const std::string_view rest = glob.substr(close + 1);
  if (const std::size_t dots = inside.find(".."); dots != std::string_view::npos) {
    long low = 0, high = 0;
    const std::string low_text(inside.substr(0, dots)), high_text(inside.substr(dots + 2));
    if (!low_text.empty() && !high_text.empty() &&
        std::isdigit(static_cast<unsigned char>(high_text.back()))) {
      low = std::strtol(low_text.c_str(), nullptr, 10);
      high = std::strtol(high_text.c_str(), nullptr, 10);
      std::size_t end = path.empty() || path.front() != '-' ? 0 : 1;
      while (end < path.size() && std::isdigit(static_cast<unsigned char>(path[end]))) ++end;
      for (; end > 0; --end) {
        const long number = std::strtol(std::string(path.substr(0, end)).c_str(), nullptr, 10);
        if (std::min(low, high) <= number && number <= std::max(low, high) && Matches(rest, path.substr(end)))
          return true;
      }
      return false;
    }
  }
  // Top-level commas split the alternatives; without one the braces are literal.
  std::vector<std::string_view> alternatives;
  std::size_t begin = 0;
  int depth = 0;
  for (std::size_t i = 0; i < inside.size(); ++i) {
    if (inside[i] == '\\') {
      ++i;
    } else if (inside[i] == '{') {
      ++depth;
    } else if (inside[i] == '}') {
      --depth;
    } else if (inside[i] == ',' && depth == 0) {
      alternatives.push_back(inside.substr(begin, i - begin));
      begin = i + 1;
    }
  }
  if (alternatives.empty())
    return !path.empty() && path.front() == '{' && Matches(glob.substr(1), path.substr(1));
  alternatives.push_back(inside.substr(begin));
  return std::any_of(alternatives.begin(), alternatives.end(), [&](std::string_view alternative) {
    return Matches(std::string(alternative) + std::string(rest), path);
  });
}

bool MatchesClass(std::string_view glob, std::size_t close, std::string_view path) {
  if (path.empty() || path.front() == '/') return false;
  std::string_view set = glob.substr(1, close - 1);
  const bool negated = set.starts_with('!');
  if (negated) set.remove_prefix(1);
  bool found = false;
  for (std::size_t i = 0; i < set.size(); ++i) {
    if (i + 2 < set.size() && set[i + 1] == '-') {
      found = found || (set[i] <= path.front() && path.front() <= set[i + 2]);
      i += 2;
    } else {
      found = found || set[i] == path.front();
    }
  }
  return found != negated && Matches(glob.substr(close + 1), path.substr(1));
}

bool Matches(std::string_view glob, std::string_view path) {
  while (!glob.empty()) {
    const char c = glob.front();
    if (c == '*') {
      const bool any = glob.starts_with("**");
      glob.remove_prefix(any ? 2 : 1);
      // "/**/" also matches a single '/'.
      if (any && glob.starts_with('/') && Matches(glob.substr(1), path)) return true;
      for (std::size_t i = 0;; ++i) {
        if (Matches(glob, path.substr(i))) return true;
        if (i == path.size() || (!any && path[i] == '/')) return false;
      }
    }
    if (c == '{' || c == '[') {
      const std::size_t close = Closing(glob, 0, c == '{' ? '}' : ']');
      if (close != std::string_view::npos)
        return c == '{' ? MatchesBraces(glob, close, path) : MatchesClass(glob, close, path);
    }
    if (path.empty()) return false;
    if (c == '?') {
      if (path.front() == '/') return false;
    } else {
      const std::size_t length = c == '\\' && glob.size() > 1 ? 2 : 1;
      if (glob[length - 1] != path.front()) return false;
      glob.remove_prefix(length - 1);
    }
    glob.remove_prefix(1);
    path.remove_prefix(1);
  }
  return path.empty();
}

}  // namespace

bool GlobMatches(std::string_view glob, std::string_view folder, std::string_view path) {
  std::string full(folder);
  if (full.ends_with('/')) full.pop_back();
  if (glob.find('/') == std::string_view::npos) {
    full += "/**/";
  } else if (!glob.starts_with('/')) {
    full += '/';
  }
  full += glob;
  return Matches(full, path);
}

std::string_view EditorConfig::Find(std::string_view name) const {
  for (const auto& [key, value] : properties) {
    // "unset" takes back what a file further up gave.
    if (key == name) return value == "unset" ? std::string_view() : std::string_view(value);
  }
  return {};
}

EditorConfigFiles::~EditorConfigFiles() {
  for (auto it = made_files_.rbegin(); it != made_files_.rend(); ++it) (void)files_.Remove(*it);
  for (auto it = made_folders_.rbegin(); it != made_folders_.rend(); ++it) (void)files_.RemoveFolder(*it);
}

// From the texts read for Read: the files are not read again.
PropertyOrigin EditorConfigFiles::FindOrigin(const std::string& path, std::string_view name) {
  std::error_code error;
  const fs::path full = fs::absolute(path, error).lexically_normal();
  if (error) return {};
  const std::lock_guard lock(mutex_);
  for (fs::path folder = full.parent_path();; folder = folder.parent_path()) {
    if (const auto source = sources_.find(folder.string());
        source != sources_.end() && source->second.present) {
      const ConfigFile config = ParseConfigFile(source->second.text);
      for (auto section = config.sections.rbegin(); section != config.sections.rend(); ++section) {
        if (std::find(section->names.begin(), section->names.end(), name) != section->names.end() &&
            GlobMatches(section->glob, folder.string(), full.string())) {
          return {InFolder(folder.string(), kFileName), "[" + section->glob + "]"};
        }
      }
      if (config.root) return {};
    }
    if (!folder.has_relative_path()) return {};
  }
}

EditorConfig EditorConfigFiles::Read(const std::string& path) {
  EditorConfig config;
  std::error_code error;
  // The library matches its globs against a full path.
  const fs::path full = fs::absolute(path, error).lexically_normal();
  if (error) {
    config.error = "cannot make a full path of it: " + error.message();
    return config;
  }
  std::vector<std::string> folders;
  for (fs::path folder = full.parent_path();; folder = folder.parent_path()) {
    folders.push_back(folder.string());
    if (!folder.has_relative_path()) break;
  }
  bool any = false;
  {
    const std::lock_guard lock(mutex_);
    if (token_.empty()) token_ = RandomToken();
    // From the top down, so that a copy is parsed below copies already parsed.
    for (auto it = folders.rbegin(); it != folders.rend(); ++it) {
      bool present = false;
      if (config.error = Ensure(*it, present); !config.error.empty()) return config;
      any = any || present;
    }
  }
  if (!any) return config;
  const int status = Parse(root_ + full.string(), config);
  if (status != 0) {
    config.error = "cannot read .editorconfig: " + std::string(editorconfig_get_error_msg(status));
    return config;
  }
  const std::string_view problem = config.Find(MarkerName());
  if (problem.empty()) return config;
  std::size_t index = 0;
  std::from_chars(problem.data(), problem.data() + problem.size(), index);
  const std::lock_guard lock(mutex_);
  config.properties.clear();
  config.error = index < problems_.size() ? problems_[index] : "cannot read .editorconfig";
  return config;
}

std::string EditorConfigFiles::Ensure(const std::string& folder, bool& present) {
  const auto [it, inserted] = sources_.try_emplace(folder);
  present = it->second.present;
  if (!inserted) return {};
  const std::string real = InFolder(folder, kFileName), shown = ShownPath(real);
  std::string bytes, problem;
  const SettingsFile read = ReadSettingsFile(files_, real, bytes, problem);
  if (read == SettingsFile::kAbsent) return {};
  it->second.present = present = true;
  if (read == SettingsFile::kUnreadable) return Fail(folder, "cannot read " + shown + ": " + problem);
  if (std::string error = WriteCopy(folder, Reduced(bytes)); !error.empty()) {
    sources_.erase(it);  // the next file tries again
    return error;
  }
  // The folders above hold parsed copies only: an error is this copy's.
  EditorConfig unused;
  const int status = Parse(InFolder(CopyOf(folder), token_), unused);
  if (status > 0) return Fail(folder, "cannot parse " + shown + ", line " + std::to_string(status));
  if (status < 0) return Fail(folder, "cannot read " + shown + ": " + editorconfig_get_error_msg(status));
  it->second.text = std::move(bytes);
  return {};
}

std::string EditorConfigFiles::Fail(const std::string& folder, std::string problem) {
  const std::string marker = "[*]\n" + MarkerName() + " = " + std::to_string(problems_.size()) + "\n";
  problems_.push_back(std::move(problem));
  return WriteCopy(folder, marker);
}

std::string EditorConfigFiles::CopyOf(const std::string& folder) const {
  return folder == "/" ? root_ : root_ + folder;
}

std::string EditorConfigFiles::MakeCopyFolders(const std::string& folder) {
  if (root_.empty()) {
    std::error_code error;
    const std::string temp = fs::temp_directory_path(error).string();
    if (const platform::FsStatus status = files_.CreateTempFolder(error ? "/tmp" : temp, "qfmt-tree-",
                                                                  platform::TempName::kRandomSuffix, root_);
        !status.ok()) {
      return "cannot make a private folder for copies of the .editorconfig files: " + status.error;
    }
    made_folders_.push_back(root_);
  }
  std::string path = root_;
  for (const fs::path& part : fs::path(folder).relative_path()) {
    const std::string parent = path;
    path += "/" + part.string();
    if (std::find(made_folders_.begin(), made_folders_.end(), path) != made_folders_.end()) continue;
    std::string made;
    if (const platform::FsStatus status =
            files_.CreateTempFolder(parent, part.string(), platform::TempName::kExact, made);
        !status.ok()) {
      return "cannot make the private folder " + path + ": " + status.error;
    }
    made_folders_.push_back(made);
  }
  return {};
}

// A marker replaces the copy that it stands for.
std::string EditorConfigFiles::WriteCopy(const std::string& folder, std::string_view bytes) {
  if (std::string error = MakeCopyFolders(folder); !error.empty()) return error;
  const std::string name = CopyName();
  const std::string path = InFolder(CopyOf(folder), name);
  if (const auto made = std::find(made_files_.begin(), made_files_.end(), path); made != made_files_.end()) {
    (void)files_.Remove(path);
    made_files_.erase(made);
  }
  std::unique_ptr<platform::TempFile> file;
  const platform::FsStatus status =
      files_.CreateTempFile(CopyOf(folder), name, platform::TempName::kExact, file);
  if (!status.ok()) return "cannot copy " + ShownPath(InFolder(folder, kFileName)) + ": " + status.error;
  made_files_.push_back(path);
  if (!file->Write(bytes.data(), bytes.size()) || !file->Close())
    return "cannot copy " + ShownPath(InFolder(folder, kFileName)) + ": a write failed";
  return {};
}

std::string EditorConfigFiles::Reduced(std::string_view text) const {
  std::vector<std::string_view> lines;
  for (std::size_t at = 0; at <= text.size();) {
    const std::size_t end = std::min(text.find('\n', at), text.size());
    lines.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  std::vector<bool> kept(lines.size(), true);
  std::map<std::string, std::size_t> last_set;  // in the current section: property -> its last line
  std::size_t header = lines.size();            // of the current section; none before the first
  bool section_used = false;
  const auto end_section = [&] {
    if (header < lines.size() && !section_used) kept[header] = false;
    last_set.clear();
  };
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string_view line = Trimmed(lines[i]);
    if (line.starts_with('[')) {
      end_section();
      // One the library might read otherwise is kept, and its section too.
      const bool plain_header = line.ends_with(']') && line.find_first_of(";#") == std::string_view::npos;
      header = plain_header ? i : lines.size();
      section_used = !plain_header;
      continue;
    }
    const std::size_t mark = line.find_first_of("=:");
    const std::string_view name = Trimmed(line.substr(0, mark));
    const bool plain =
        mark != std::string_view::npos && !name.empty() &&
        name.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_.-") ==
            std::string_view::npos;
    if (!plain) {
      section_used = section_used || !(line.empty() || line.starts_with('#') || line.starts_with(';'));
      continue;
    }
    const std::string lower = Lower(name);
    if (lower != "root" && std::find(properties_.begin(), properties_.end(), lower) == properties_.end()) {
      kept[i] = false;
      continue;
    }
    section_used = true;
    const auto [earlier, first] = last_set.try_emplace(lower, i);
    if (!first) kept[std::exchange(earlier->second, i)] = false;
  }
  end_section();
  std::string reduced;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (kept[i]) reduced += lines[i];
    if (i + 1 < lines.size()) reduced += '\n';
  }
  return reduced;
}

int EditorConfigFiles::Parse(const std::string& full, EditorConfig& config) const {
  const Handle handle;
  if (handle.get() == nullptr) return EDITORCONFIG_PARSE_MEMORY_ERROR;
  const std::string name = CopyName();
  editorconfig_handle_set_conf_file_name(handle.get(), name.c_str());
  const int status = editorconfig_parse(full.c_str(), handle.get());
  if (status != 0) return status;
  const int count = editorconfig_handle_get_name_value_count(handle.get());
  for (int i = 0; i < count; ++i) {
    const char* property = nullptr;
    const char* value = nullptr;
    editorconfig_handle_get_name_value(handle.get(), i, &property, &value);
    config.properties.emplace_back(property, value);
  }
  return 0;
}

}  // namespace qfmt::project
