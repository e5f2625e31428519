#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "project/settings.h"
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
  testing::TempFolder folder_;
};

// "LENGTH [UNIT] BRACE_STYLE <- WHERE THE UNIT CAME FROM"; "off" for no limit.
std::string Describe(const FileSettings& settings) {
  const layout::LayoutOptions& l = settings.style.layout;
  return settings.error + (l.max_line_length == kOff ? "off" : std::to_string(l.max_line_length)) + " [" +
         l.indent_string + "] " + std::to_string(l.brace_style) + " <- " + settings.indent_source;
}

// The command line gives 50, two tabs and break where it gives them.
TEST_F(ProjectTest, EditorConfigGivesTheStyleUnlessTheCommandLineDoes) {
  const struct {
    const char* editorconfig;  // below "root = true"
    GivenOptions given;
    std::string settings;
  } cases[] = {
      {"[*.c]\nindent_style = tab\n", {}, "80 [\t] 1 <- .editorconfig: indent_style = tab"},
      {"[*]\nindent_style = space\nindent_size = 4\nmax_line_length = 100\n",
       {},
       "100 [    ] 1 <- .editorconfig: indent_style = space, indent_size = 4"},
      {"[*]\nindent_size = tab\ntab_width = 2\n", {}, "80 [  ] 1 <- .editorconfig: indent_size = 2"},
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
  const format::StyleOptions command_line{.layout = {50, "\t\t", 0}};
  for (const auto& c : cases) {
    Write(".editorconfig", "root = true\n" + std::string(c.editorconfig));
    const format::StyleOptions& defaults = c.given.indent ? command_line : format::StyleOptions{};
    EXPECT_EQ(Describe(ResolveSettings((folder_ / "sub/a.c").string(), defaults, c.given)), c.settings)
        << c.editorconfig;
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
    EXPECT_EQ(ResolveSettings((folder_ / "a.c").string(), {}, {}).error,
              (folder_ / ".editorconfig").string() + " [{a,b}.c]: " + c.error);
  }
  Write(".editorconfig", "root = true\n[*]\nnot a property\n");
  EXPECT_EQ(ResolveSettings((folder_ / "a.c").string(), {}, {}).error,
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
  const std::string blanks = testing::Settled(text, {30, std::string(8, ' '), 1, true});
  for (std::size_t at = 0; at < blanks.size(); at = blanks.find('\n', at) + 1) {
    const std::size_t indent = blanks.find_first_not_of(' ', at) - at;
    tabs +=
        std::string(indent / 4, '\t') + blanks.substr(at + indent, blanks.find('\n', at) + 1 - at - indent);
  }
  EXPECT_NE(tabs, testing::Settled(text, {30, "\t\t", 1, true}));
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
  const auto listed = [&](std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"-l", "-q"});
    std::string names;
    const std::string out = Tree(arguments).out;
    for (std::size_t at = 0; at < out.size(); at = out.find('\n', at) + 1) {
      names += out.substr(at, out.find(':', at) - at) + " ";
    }
    return names;
  };
  EXPECT_EQ(listed({"."}), "./src/a.c ./src/kept.gen.c ./third_party/d.c ");
  EXPECT_EQ(listed({"src"}), "src/a.c src/kept.gen.c ");
  EXPECT_EQ(listed({"build/c.c", "src/b.gen.c"}), "build/c.c src/b.gen.c ");
  EXPECT_EQ(listed({"--exclude", "third_party", "--exclude", "*.gen.c", "."}), "./src/a.c ");
  EXPECT_EQ(listed({"--exclude", "src/*", "src", "third_party"}), "third_party/d.c ");
  EXPECT_EQ(Tree({"--check", "-q", "build"}).error,
            "build: nothing taken from this folder: git ignores all that it holds\n");
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
