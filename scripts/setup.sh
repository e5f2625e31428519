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
if [ -n "$need" ]; then
  if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null 2>&1; then
    echo "installing:$need" >&2
    apt-get update -qq >/dev/null
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $need >/dev/null
  else
    echo "missing:$need (install them, then run this again)" >&2
    exit 1
  fi
fi
generator=""
command -v ninja >/dev/null 2>&1 && generator="-G Ninja"
jobs=$(nproc 2>/dev/null || echo 2)
