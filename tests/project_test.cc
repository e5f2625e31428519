#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <limits>
#include <string>
#include <vector>

#include "project/settings.h"
#include "testing/memory_file_system.h"
#include "tests/support/test_support.h"
#include "tree/file_walk.h"
#include "tree/tree_run.h"

// What qfmt-tree takes from a project: .editorconfig settings, and git's
// ignore rules and index, in real folders and real git repositories.
namespace qfmt::project {
namespace {

using testing::ProgramRun;
using testing::ReadFile;
using testing::WriteFile;
namespace fs = std::filesystem;

constexpr std::int32_t kOff = std::numeric_limits<std::int32_t>::max();

class ProjectTest : public ::testing::Test {
 protected:
  void Write(std::string_view name, std::string_view bytes) const {
    fs::create_directories((folder_ / name).parent_path());
    WriteFile(folder_ / name, bytes);
  }
  ProgramRun Tree(const std::vector<std::string>& arguments, std::string_view input = {}) const {
    return testing::RunTreeProgram(arguments, folder_.path(), input);
  }
  ProgramRun Git(const std::vector<std::string>& arguments) const {
    std::vector<std::string> all = {"-c", "user.name=Test", "-c", "user.email=test@example.com"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    return testing::RunProgram("/usr/bin/git", all, folder_.path());
  }
  // The files that --list names, each followed by a blank.
  std::string Listed(std::vector<std::string> arguments) const {
    arguments.insert(arguments.begin(), {"-l", "-q"});
    std::string names;
    const std::string out = Tree(arguments).out;
    for (std::size_t at = 0; at < out.size(); at = out.find('\n', at) + 1) {
      names += out.substr(at, out.find(':', at) - at) + " ";
    }
    return names;
  }
  testing::TempFolder folder_;
};

// The settings of a file, read afresh (each run reads each .editorconfig once).
FileSettings Resolve(const fs::path& path, const format::StyleOptions& options = {},
                     const GivenOptions& given = {}) {
  EditorConfigFiles editorconfig(platform::SystemFileSystem(), kStyleProperties);
  return ResolveSettings(editorconfig, path.string(), options, given);
}

// "LENGTH [UNIT] BRACE_STYLE <- WHERE THE UNIT CAME FROM"; "off" for no limit.
std::string Describe(const FileSettings& settings) {
  const layout::LayoutOptions& l = settings.style.layout;
  return settings.status.message() + (l.max_line_length == kOff ? "off" : std::to_string(l.max_line_length)) +
         " [" + l.indent_string + "] " + std::to_string(static_cast<int>(l.brace_style)) + " <- " +
         settings.indent_source;
}

// The command line gives 50, two tabs and break where it gives them.
TEST_F(ProjectTest, EditorConfigGivesTheStyleUnlessTheCommandLineDoes) {
  const struct {
    const char* editorconfig;  // below "root = true"
    GivenOptions given;
    std::string settings;
  } cases[] = {
      {"[*.c]\nindent_style = tab\n", {}, "80 [\t] 1 <- FOLDER/.editorconfig [*.c]: indent_style = tab"},
      {"[*]\nindent_style = space\nindent_size = 4\nmax_line_length = 100\n",
       {},
       "100 [    ] 1 <- FOLDER/.editorconfig [*]: indent_style = space, indent_size = 4"},
      {"[*]\nindent_size = tab\ntab_width = 2\n",
       {},
       "80 [  ] 1 <- FOLDER/.editorconfig [*]: indent_size = 2"},
      {"[*]\nmax_line_length = off\nqfmt_brace_style = break\n", {}, "off [   ] 0 <- default"},
      {"[*.h]\nindent_style = tab\n", {}, "80 [   ] 1 <- default"},
      {"[*]\nindent_size = 4\n[sub/*.c]\nindent_size = unset\n", {}, "80 [   ] 1 <- default"},
      {"[*]\nindent_style = tab\nmax_line_length = 100\nqfmt_brace_style = attach\n",
       {true, true, true},
       "50 [\t\t] 0 <- command line"},
      {"[*]\nindent_style = tab\nmax_line_length = 100\n",
       {false, true, false},
       "100 [\t\t] 0 <- command line"},
  };
  const format::StyleOptions command_line{.layout = {50, "\t\t", lexer::BraceStyle::kBreak}};
  for (const auto& c : cases) {
    Write(".editorconfig", "root = true\n" + std::string(c.editorconfig));
    const format::StyleOptions& defaults = c.given.indent ? command_line : format::StyleOptions{};
    std::string expected = c.settings;
    if (const std::size_t at = expected.find("FOLDER"); at != std::string::npos)
      expected.replace(at, 6, folder_.path().string());
    EXPECT_EQ(Describe(Resolve(folder_ / "sub/a.c", defaults, c.given)), expected) << c.editorconfig;
  }
}

TEST_F(ProjectTest, BadEditorConfigValuesAreErrorsThatSayWhatIsWrong) {
  struct Case {
    const char* editorconfig;
    std::string error;
  };
  const std::vector<Case> cases = {
      {"max_line_length = wide", "max_line_length = wide: a whole number of 1 or more, or off, is needed"},
      {"max_line_length = 0", "max_line_length = 0: a whole number of 1 or more, or off, is needed"},
      {"indent_style = tabs", "indent_style = tabs: tab or space is needed"},
      {"indent_size = 65", "indent_size = 65: a whole number from 1 to 64 is needed"},
      {"qfmt_brace_style = kr", "qfmt_brace_style = kr: attach or break is needed"},
      {"indent_style = tab\nindent_size = 4\ntab_width = 0",
       "tab_width = 0: a whole number from 1 to 64 is needed"},
  };
  // The error names the file and the section that give the value.
  for (const Case& c : cases) {
    Write(".editorconfig", "root = true\n[*.h]\nindent_size = 2\n[{a,b}.c]\n" + std::string(c.editorconfig) +
                               "\n[*.h]\n" + std::string(c.editorconfig) + "\n");
    EXPECT_EQ(Resolve(folder_ / "a.c").status.message(),
              (folder_ / ".editorconfig").string() + " [{a,b}.c]: " + c.error);
  }
  Write(".editorconfig", "root = true\n[*]\nnot a property\n");
  EXPECT_EQ(Resolve(folder_ / "a.c").status.message(),
            "cannot parse " + (folder_ / ".editorconfig").string() + ", line 3");
}

// A folder's .editorconfig adds to those above it, up to one with "root = true".
TEST_F(ProjectTest, NestedEditorConfigFilesAndTheRoot) {
  Write(".editorconfig", "root = true\n[*]\nindent_size = 2\nmax_line_length = 70\n");
  Write("sub/.editorconfig", "[*.c]\nmax_line_length = 60\n");
  Write("sub/deep/.editorconfig", "root = true\n[*]\nindent_style = tab\n");
  // 61 columns: broken at 60, not at 70.
  const std::string kDeclaration = "int function_name(int first_parameter, int second_parameter);\n";
  for (const char* file : {"sub/deep/a.c", "sub/a.c", "sub/a.h"}) {
    Write(file, "void f() {\nint  x;\n}\n" + kDeclaration);
  }
  ProgramRun run = Tree({"-q", "sub/a.c", "sub/a.h", "sub/deep/a.c"});
  EXPECT_EQ(run.out,
            "void f()\n{\n  int x;\n}\nint function_name(int first_parameter,\n                  int "
            "second_parameter);\n"
            "void f()\n{\n  int x;\n}\n" +
                kDeclaration + "void f()\n{\n\tint x;\n}\n" + kDeclaration);
  run = Tree({"--print-settings", "sub/a.c", "--indent", "\\t"});
  EXPECT_EQ(run.out,
            "sub/a.c:\n"
            "  style modern  (default)\n"
            "  max-line-length 60  (sub/.editorconfig [*.c]: max_line_length = 60)\n"
            "  indent \"\\t\"  (command line)\n"
            "  brace-style attach  (default)\n");
  EXPECT_EQ(run.status, tree::kExitOk);

  // With tabs, tab_width says how wide each is against the line length: the
  // classic lines break where a unit of as many blanks breaks them.
  Write("tabs/.editorconfig",
        "root = true\n[*]\nindent_style = tab\nindent_size = 8\ntab_width = 4\nmax_line_length = 30\n");
  const std::string text = "int f(){if(a){return aaaaaaaaaa + bbbbbbbbbb + cccccccccc;}}";
  Write("tabs/a.c", text);
  std::string tabs;
  const std::string blanks =
      testing::Settled(text, {30, std::string(8, ' '), lexer::BraceStyle::kAttach, true});
  for (std::size_t at = 0; at < blanks.size(); at = blanks.find('\n', at) + 1) {
    const std::size_t indent = blanks.find_first_not_of(' ', at) - at;
    tabs +=
        std::string(indent / 4, '\t') + blanks.substr(at + indent, blanks.find('\n', at) + 1 - at - indent);
  }
  EXPECT_NE(tabs, testing::Settled(text, {30, "\t\t", lexer::BraceStyle::kAttach, true}));
  EXPECT_EQ(Tree({"-q", "--style", "classic", "tabs/a.c"}).out, tabs);
}

// Walks leave out what git ignores, but not what it tracks, and what
// --exclude names; files named on the command line are taken.
TEST_F(ProjectTest, WalksFollowGitsIgnoreRulesAndExcludes) {
  ASSERT_EQ(Git({"init", "-q", "."}).status, 0);
  Write(".gitignore", "build/\n*.gen.c\n");
  for (const char* file : {"src/a.c", "src/b.gen.c", "src/kept.gen.c", "build/c.c", "third_party/d.c"}) {
    Write(file, "int  x;");
  }
  ASSERT_EQ(Git({"add", "-f", "src/kept.gen.c"}).status, 0);
  const std::string here = folder_.path().string();
  const struct {
    std::vector<std::string> arguments;
    std::string listed;
  } cases[] = {
      {{"."}, "./src/a.c ./src/kept.gen.c ./third_party/d.c "},
      {{"src"}, "src/a.c src/kept.gen.c "},
      {{"build/c.c", "src/b.gen.c"}, "build/c.c src/b.gen.c "},
      {{"--exclude", "third_party", "--exclude", "*.gen.c", "."}, "./src/a.c "},
      {{"--exclude", "src/*", "src", "third_party"}, "third_party/d.c "},
      // Regression: these spellings excluded nothing. A pattern matches the
      // path from the walk's folder and from the current one, with or
      // without "./", a trailing '/' or a full path; and named files too.
      {{"--exclude", "./third_party", "."}, "./src/a.c ./src/kept.gen.c "},
      {{"--exclude", "third_party/d.c", here}, here + "/src/a.c " + here + "/src/kept.gen.c "},
      {{"--exclude", "./src/kept.gen.c", "./src"}, "./src/a.c "},
      {{"--exclude", "kept.gen.c", "--exclude", "src/", "./src", "third_party"}, "third_party/d.c "},
      {{"--exclude", here + "/src", "."}, "./third_party/d.c "},
      {{"--exclude", "third_party", "src/a.c", "third_party/d.c", "./third_party"}, "src/a.c "},
  };
  for (const auto& c : cases) EXPECT_EQ(Listed(c.arguments), c.listed) << c.arguments.front();
  EXPECT_EQ(Tree({"--check", "-q", "build"}).error,
            "build: nothing taken from this folder: git ignores all that it holds\n");
}

// Regression: a walk of the folder above the repository app did not apply
// its ignore rules (a walk of app did).
TEST_F(ProjectTest, EveryRepositoryThatAWalkEntersBringsItsIgnoreRules) {
  ASSERT_EQ(Git({"init", "-q", "app"}).status, 0);
  Write("app/.gitignore", "build/\n");
  for (const char* file : {"app/build/gen.c", "app/main.c", "src/a.c"}) Write(file, "int  x;");
  EXPECT_EQ(Listed({"."}), "./app/main.c ./src/a.c ");
  EXPECT_EQ(Listed({"app"}), "app/main.c ");
}

// Regression: a repository that git refuses (another user's, "dubious
// ownership") was read as one without ignore rules, and its ignored files
// were rewritten with status 0. Its files are left alone, the run goes on,
// and git's safe.directory lets it be read.
TEST_F(ProjectTest, RepositoryOfAnotherUserIsLeftAloneUntilTrusted) {
  if (::geteuid() != 0 || testing::NobodyUid() == static_cast<uid_t>(-1))
    GTEST_SKIP() << "a repository of another user needs root to make";
  // Git's settings of this test alone (no safe.directory of the machine's user).
  ASSERT_EQ(::setenv("HOME", folder_.path().c_str(), 1), 0);
  ASSERT_EQ(::setenv("XDG_CONFIG_HOME", folder_.path().c_str(), 1), 0);
  if (!Git({"config", "--get-all", "safe.directory"}).out.empty())
    GTEST_SKIP() << "the system's git trusts every repository";
  ASSERT_EQ(Git({"init", "-q", "app"}).status, 0);
  Write("app/.gitignore", "build/\n");
  for (const char* file : {"app/build/gen.c", "app/main.c", "src/a.c"}) Write(file, "int  x;");
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder_ / "app"))
    ASSERT_EQ(::lchown(entry.path().c_str(), testing::NobodyUid(), static_cast<gid_t>(-1)), 0);
  ASSERT_EQ(::lchown((folder_ / "app").c_str(), testing::NobodyUid(), static_cast<gid_t>(-1)), 0);
  const std::string app = fs::canonical(folder_ / "app").string();
  ProgramRun run = Tree({"-w", "-q", "app", "src"});
  EXPECT_EQ(run.status, tree::kExitFileError);
  EXPECT_EQ(run.error,
            "app: error: git does not trust the repository " + app +
                " (dubious ownership: it belongs to another user), so its ignore rules cannot be read "
                "and its files are left as they are; to trust it: git config --global --add "
                "safe.directory " +
                app + "\n");
  EXPECT_EQ(ReadFile(folder_ / "app/main.c") + ReadFile(folder_ / "app/build/gen.c") +
                ReadFile(folder_ / "src/a.c"),
            "int  x;int  x;int x;\n");
  ASSERT_EQ(Git({"config", "--global", "--add", "safe.directory", app}).status, 0);
  run = Tree({"-w", "-q", "app"});
  EXPECT_EQ(run.status, tree::kExitOk) << run.error;
  EXPECT_EQ(ReadFile(folder_ / "app/main.c") + ReadFile(folder_ / "app/build/gen.c"), "int x;\nint  x;");
}

// --staged judges what will be committed; -w formats it and stages it again.
TEST_F(ProjectTest, StagedContentIsCheckedAndFormattedInGitsIndex) {
  ASSERT_EQ(Git({"init", "-q", "."}).status, 0);
  Write("src/a.c", "int x;\n");
  Write("src/b.c", "int  b;");
  Write("notes.txt", "words  here");
  ASSERT_EQ(Git({"add", "."}).status, 0);
  ASSERT_EQ(Git({"commit", "-q", "-m", "first"}).status, 0);

  Write("src/a.c", "int  a;");  // staged, then the working copy changes again
  ASSERT_EQ(Git({"add", "src/a.c"}).status, 0);
  Write("src/a.c", "int   a2;");
  Write("src/c.c", "int  c;");
  Write("notes.txt", "more  words");
  ASSERT_EQ(Git({"add", "src/c.c", "notes.txt"}).status, 0);

  ProgramRun run = Tree({"--staged", "--check", "-q"});
  EXPECT_EQ(run.out,
            "src/a.c:1:5: error: not formatted (qfmt-tree --staged -w src/a.c)\n"
            "src/c.c:1:5: error: not formatted (qfmt-tree --staged -w src/c.c)\n");
  EXPECT_EQ(run.status, tree::kExitWouldChange);
  EXPECT_EQ(Tree({"--staged", "--check", "-q", "src/c.c"}).out,
            "src/c.c:1:5: error: not formatted (qfmt-tree --staged -w src/c.c)\n");

  run = Tree({"--staged", "-w", "-q"});
  EXPECT_EQ(run.status, tree::kExitOk);
  EXPECT_EQ(run.error,
            "src/a.c: the working copy differs from the staged text; only the staged text is formatted\n");
  EXPECT_EQ(Git({"show", ":src/a.c"}).out, "int a;\n");
  EXPECT_EQ(Git({"show", ":src/c.c"}).out, "int c;\n");
  EXPECT_EQ(ReadFile(folder_ / "src/a.c"), "int   a2;");  // work not yet staged is kept
  EXPECT_EQ(ReadFile(folder_ / "src/c.c"), "int c;\n");
  EXPECT_EQ(Git({"status", "--porcelain"}).out, "M  notes.txt\nMM src/a.c\nA  src/c.c\n");
  EXPECT_EQ(Tree({"--staged", "--check"}).status, tree::kExitOk);
}

// Regression: --staged -w staged the working copy's mode (a "chmod +x" that
// was not staged, or the loss of a staged "--chmod=+x"), wrote through a
// working copy that was a symbolic link and staged the link, and formatted
// what --exclude left out. Only the staged content changes, whatever
// core.filemode says.
TEST_F(ProjectTest, StagedFormattingChangesTheStagedContentOnly) {
  for (const std::string filemode : {"true", "false"}) {
    const fs::path repository = folder_ / ("repo-" + filemode);
    const std::string in = repository.string();
    ASSERT_EQ(Git({"init", "-q", in}).status, 0);
    ASSERT_EQ(Git({"-C", in, "config", "core.filemode", filemode}).status, 0);
    for (const char* file : {"x.c", "y.c", "link.c", "third/z.c", "../outside.c"})
      Write(in + "/" + file, "int  x;");
    ASSERT_EQ(Git({"-C", in, "add", "."}).status, 0);
    ASSERT_EQ(Git({"-C", in, "update-index", "--chmod=+x", "x.c"}).status, 0);
    fs::permissions(repository / "y.c", fs::perms::owner_exec, fs::perm_options::add);
    fs::remove(repository / "link.c");
    fs::create_symlink("../outside.c", repository / "link.c");

    const ProgramRun run =
        testing::RunTreeProgram({"--staged", "-w", "-q", "--exclude", "third"}, repository);
    EXPECT_EQ(run.status, tree::kExitOk) << filemode;
    EXPECT_EQ(run.error,
              "link.c: the working copy is not a regular file; only the staged text is formatted\n");
    EXPECT_EQ(Git({"-C", in, "ls-files", "--format=%(objectmode) %(path)"}).out,
              "100644 link.c\n100644 third/z.c\n100755 x.c\n100644 y.c\n")
        << filemode;
    std::string staged;
    for (const char* file : {":link.c", ":third/z.c", ":x.c", ":y.c"})
      staged += Git({"-C", in, "show", file}).out;
    EXPECT_EQ(staged, "int x;\nint  x;int x;\nint x;\n") << filemode;
    EXPECT_EQ(ReadFile(folder_ / "outside.c") + ReadFile(repository / "x.c"), "int  x;int x;\n") << filemode;
    EXPECT_TRUE(fs::is_symlink(repository / "link.c")) << filemode;
    fs::remove(folder_ / "outside.c");
  }
}

// Each .editorconfig is read once in a run, however many files it governs,
// and the private copies are gone when the run ends.
TEST(EditorConfigFilesTest, EachFileIsReadOncePerRun) {
  testing::MemoryFileSystem files;
  fs::path temp;
  for (const fs::path& part : fs::temp_directory_path()) files.AddFolder((temp /= part).string());
  files.AddFolder("/p");
  files.AddFile("/p/.editorconfig", "root = true\n[*]\nindent_size = 2\n");
  const testing::Contents before = files.Files();
  int reads = 0;
  files.faults.after_read = [&](const std::string& name) { reads += name == "/p/.editorconfig" ? 1 : 0; };
  {
    EditorConfigFiles editorconfig(files, kStyleProperties);
    for (const char* file : {"/p/a.c", "/p/b.c", "/p/c.h"})
      EXPECT_EQ(editorconfig.Read(file).status.message(), "");
  }
  EXPECT_EQ(reads, 1);
  EXPECT_EQ(files.Files(), before);
}

// --changed formats only the lines that differ from HEAD, or from a commit
// named, in the files that git shows as changed.
TEST_F(ProjectTest, ChangedLinesOnly) {
  ASSERT_EQ(Git({"init", "-q", "."}).status, 0);
  Write("src/a.c", "int  a;\nint  b;\nint  c;\n");
  Write("src/b.c", "int  z;\n");
  ASSERT_EQ(Git({"add", "."}).status, 0);
  ASSERT_EQ(Git({"commit", "-q", "-m", "first"}).status, 0);
  Write("src/a.c", "int  a;\nint  bb;\nint  c;\n");
  ASSERT_EQ(Git({"add", "src/a.c"}).status, 0);
  Write("src/a.c", "int  a;\nint  bb;\nint  c;\nint  d;\n");  // a line not yet staged

  ProgramRun run = Tree({"--changed", "--check", "-q"});
  EXPECT_EQ(run.out, "src/a.c:2:5: error: not formatted (qfmt-tree --changed -w src/a.c)\n");
  EXPECT_EQ(run.status, tree::kExitWouldChange);
  EXPECT_EQ(Tree({"--changed=HEAD", "-d", "-q"}).out,
            "--- a/src/a.c\n+++ b/src/a.c\n@@ -1,4 +1,4 @@\n int  a;\n-int  bb;\n+int bb;\n int  c;\n-int  "
            "d;\n+int d;\n");
  run = Tree({"--changed", "--staged", "-w", "-q"});
  EXPECT_EQ(run.status, tree::kExitOk);
  EXPECT_EQ(Git({"show", ":src/a.c"}).out, "int  a;\nint bb;\nint  c;\n");
  EXPECT_EQ(ReadFile(folder_ / "src/a.c"), "int  a;\nint  bb;\nint  c;\nint  d;\n");
  run = Tree({"--changed=nope", "-l"});
  EXPECT_EQ(run.status, tree::kExitFileError);
  EXPECT_TRUE(run.error.starts_with("qfmt-tree: error: cannot find the commit 'nope' in git: ")) << run.error;
}

}  // namespace
}  // namespace qfmt::project
