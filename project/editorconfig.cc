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

// note [origins]
// Messages and --print-settings name the file and section that give a value.
// The library says only what the values are, so each copied line that sets
// a property in a section is followed by a line that sets a companion
// property (OriginPrefix() and the property's name) to the number of an
// origin, the file and section. The two stand in the same section of the
// same file, so the library's precedence picks the companion of the line it
// picks. Copies keep, for each of their lines, the line of the file it came
// from, so that the library's parse errors name the file's lines.

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

// A number that a copy holds: it was written by this run.
std::size_t Number(std::string_view text) {
  std::size_t number = 0;
  std::from_chars(text.data(), text.data() + text.size(), number);
  return number;
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

}  // namespace

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

PropertyOrigin EditorConfig::OriginOf(std::string_view name) const {
  for (const auto& [key, origin] : origins) {
    if (key == name) return origin;
  }
  return {};
}

EditorConfig EditorConfigFiles::Read(const std::string& path) {
  EditorConfig config;
  std::error_code error;
  // The library matches its globs against a full path.
  const fs::path full = fs::absolute(path, error).lexically_normal();
  if (error) {
    config.status = "cannot make a full path of it: " + error.message();
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
      if (config.status = Ensure(*it, present); !config.status.ok()) return config;
      any = any || present;
    }
  }
  if (!any) return config;
  const int status = Parse(root_ + full.string(), config);
  if (status != 0) {
    config.status = "cannot read .editorconfig: " + std::string(editorconfig_get_error_msg(status));
    return config;
  }
  const std::string_view problem = config.Find(MarkerName());
  const std::lock_guard lock(mutex_);
  if (!problem.empty()) {
    config.properties.clear();
    config.status = problems_.at(Number(problem));
    return config;
  }
  SeparateOrigins(config);
  return config;
}

// See note [origins].
void EditorConfigFiles::SeparateOrigins(EditorConfig& config) const {
  const std::string prefix = OriginPrefix();
  std::erase_if(config.properties, [&](const std::pair<std::string, std::string>& property) {
    if (!property.first.starts_with(prefix)) return false;
    config.origins.emplace_back(property.first.substr(prefix.size()), origins_.at(Number(property.second)));
    return true;
  });
}

platform::Status EditorConfigFiles::Ensure(const std::string& folder, bool& present) {
  const auto [it, inserted] = sources_.try_emplace(folder);
  present = it->second.present;
  if (!inserted) return {};
  const std::string real = InFolder(folder, kFileName), shown = ShownPath(real);
  std::string bytes;
  const platform::Status read = ReadSettingsFile(files_, real, bytes);
  if (read.missing()) return {};
  it->second.present = present = true;
  if (!read.ok()) return Fail(folder, "cannot read " + shown + ": " + read.message());
  const Copy copy = Reduced(bytes, real);
  if (platform::Status written = WriteCopy(folder, copy.text); !written.ok()) {
    sources_.erase(it);  // the next file tries again
    return written;
  }
  // The folders above hold parsed copies only: an error is this copy's.
  EditorConfig unused;
  const int status = Parse(InFolder(CopyOf(folder), token_), unused);
  if (status > 0) {
    const auto line = static_cast<std::size_t>(status);
    return Fail(folder, "cannot parse " + shown + ", line " +
                            std::to_string(line <= copy.lines.size() ? copy.lines[line - 1] : line));
  }
  if (status < 0) return Fail(folder, "cannot read " + shown + ": " + editorconfig_get_error_msg(status));
  return {};
}

platform::Status EditorConfigFiles::Fail(const std::string& folder, std::string problem) {
  const std::string marker = "[*]\n" + MarkerName() + " = " + std::to_string(problems_.size()) + "\n";
  problems_.push_back(std::move(problem));
  return WriteCopy(folder, marker);
}

std::string EditorConfigFiles::CopyOf(const std::string& folder) const {
  return folder == "/" ? root_ : root_ + folder;
}

platform::Status EditorConfigFiles::MakeCopyFolders(const std::string& folder) {
  if (root_.empty()) {
    std::error_code error;
    const std::string temp = fs::temp_directory_path(error).string();
    if (const platform::Status status = files_.CreateTempFolder(error ? "/tmp" : temp, "qfmt-tree-",
                                                                platform::TempName::kRandomSuffix, root_);
        !status.ok()) {
      return "cannot make a private folder for copies of the .editorconfig files: " + status.message();
    }
    made_folders_.push_back(root_);
  }
  std::string path = root_;
  for (const fs::path& part : fs::path(folder).relative_path()) {
    const std::string parent = path;
    path += "/" + part.string();
    if (std::find(made_folders_.begin(), made_folders_.end(), path) != made_folders_.end()) continue;
    std::string made;
    if (const platform::Status status =
            files_.CreateTempFolder(parent, part.string(), platform::TempName::kExact, made);
        !status.ok()) {
      return "cannot make the private folder " + path + ": " + status.message();
    }
    made_folders_.push_back(made);
  }
  return {};
}

// A marker replaces the copy that it stands for.
platform::Status EditorConfigFiles::WriteCopy(const std::string& folder, std::string_view bytes) {
  if (platform::Status made = MakeCopyFolders(folder); !made.ok()) return made;
  const std::string name = CopyName();
  const std::string path = InFolder(CopyOf(folder), name);
  if (const auto made = std::find(made_files_.begin(), made_files_.end(), path); made != made_files_.end()) {
    (void)files_.Remove(path);
    made_files_.erase(made);
  }
  std::unique_ptr<platform::TempFile> file;
  const platform::Status status =
      files_.CreateTempFile(CopyOf(folder), name, platform::TempName::kExact, file);
  if (!status.ok()) return "cannot copy " + ShownPath(InFolder(folder, kFileName)) + ": " + status.message();
  made_files_.push_back(path);
  if (!file->Write(bytes.data(), bytes.size()) || !file->Close())
    return "cannot copy " + ShownPath(InFolder(folder, kFileName)) + ": a write failed";
  return {};
}

EditorConfigFiles::Copy EditorConfigFiles::Reduced(std::string_view text, const std::string& file) {
  std::vector<std::string_view> lines;
  for (std::size_t at = 0; at <= text.size();) {
    const std::size_t end = std::min(text.find('\n', at), text.size());
    lines.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  std::vector<bool> kept(lines.size(), true);
  std::vector<std::string_view> sets(lines.size());  // the property a kept line sets inside a section
  std::map<std::string, std::size_t> last_set;       // in the current section: property -> its last line
  std::vector<std::string_view> section_of(lines.size());
  std::size_t header = lines.size();  // of the current section; none before the first
  std::string_view section;           // its header as written; empty before the first
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
      section = line;
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
    const auto used = std::find(properties_.begin(), properties_.end(), lower);
    if (lower != "root" && used == properties_.end()) {
      kept[i] = false;
      continue;
    }
    section_used = true;
    if (used != properties_.end() && !section.empty()) {
      sets[i] = *used;
      section_of[i] = section;
    }
    const auto [earlier, first] = last_set.try_emplace(lower, i);
    if (!first) kept[std::exchange(earlier->second, i)] = false;
  }
  end_section();
  Copy copy;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (kept[i]) copy.text += lines[i];
    copy.lines.push_back(i + 1);
    if (i + 1 < lines.size()) copy.text += '\n';
    if (!kept[i] || sets[i].empty()) continue;
    copy.text += OriginPrefix() + std::string(sets[i]) + " = " + std::to_string(origins_.size()) + "\n";
    copy.lines.push_back(i + 1);
    origins_.push_back({file, std::string(section_of[i])});
  }
  return copy;
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
