# Sourced by the other scripts: installs what the build needs when it is
# missing and the machine allows it (root with apt-get), then configures.
need=""
command -v cmake >/dev/null 2>&1 || need="$need cmake"
command -v g++ >/dev/null 2>&1 || need="$need g++"
command -v ninja >/dev/null 2>&1 || need="$need ninja-build"
[ -f /usr/include/gtest/gtest.h ] || need="$need libgtest-dev"
# The tests of qfmt-tree's diffs compare with diff and apply them with patch.
command -v diff >/dev/null 2>&1 || need="$need diffutils"
command -v patch >/dev/null 2>&1 || need="$need patch"
# qfmt-tree reads .editorconfig and git's ignore rules and index through these
# libraries; its tests make real git repositories.
pkg-config --exists editorconfig 2>/dev/null || need="$need libeditorconfig-dev"
pkg-config --exists libgit2 2>/dev/null || need="$need libgit2-dev"
command -v pkg-config >/dev/null 2>&1 || need="$need pkg-config"
command -v git >/dev/null 2>&1 || need="$need git"
# The tests of qfmt-tree's safe writes give files access control lists and
# extended attributes with these, and read them back.
command -v setfacl >/dev/null 2>&1 || need="$need acl"
command -v setfattr >/dev/null 2>&1 || need="$need attr"
# The man pages are made from the programs' help.
command -v help2man >/dev/null 2>&1 || need="$need help2man"
. scripts/packages.sh
install_packages $need || exit 1
generator=""
command -v ninja >/dev/null 2>&1 && generator="-G Ninja"
jobs=$(nproc 2>/dev/null || echo 2)
# The settings of build/, the same for scripts/demo.sh and scripts/test.sh, so
# that one reuses what the other built.
build_flags="-DCMAKE_BUILD_TYPE=RelWithDebInfo -DQFMT_WERROR=ON"
