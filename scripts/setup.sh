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
. scripts/packages.sh
install_packages $need || exit 1
generator=""
command -v ninja >/dev/null 2>&1 && generator="-G Ninja"
jobs=$(nproc 2>/dev/null || echo 2)
