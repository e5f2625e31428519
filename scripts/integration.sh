#!/usr/bin/env bash
# Checks qfmt-tree where it meets other tools, with the real tools: the
# set-up scripts (the wait for the package manager's lock, the demo after the
# tests), the pre-commit framework (both hooks, try-repo on this checkout),
# the Vim and Emacs recipes in editors/, the problem matcher, the shell
# completions, and the Debian package made by CPack, checked by lintian. Uses
# the programs in build/ (scripts/test.sh builds them). A section whose tool
# is missing is skipped with a message; in CI (CI=true) the tool is installed
# instead, and the package is installed into the machine with dpkg, run, and
# removed again.
set -eu
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build
[ -x "$build/qfmt-tree" ] || { echo "integration: no build/qfmt-tree; run bash scripts/test.sh first" >&2; exit 1; }
. scripts/packages.sh

work=$(mktemp -d /tmp/qfmtint_XXXXXX)
trap 'rm -rf "$work"' EXIT
export PATH="$build:$PATH"
failures=0

# have COMMAND PACKAGE WHAT: true when COMMAND can be run; in CI its package
# is installed, elsewhere WHAT is skipped with a message.
have() {
  command -v "$1" >/dev/null 2>&1 && return 0
  if [ "${CI:-}" = true ]; then
    install_packages "$2" || exit 1
    return 0
  fi
  echo "integration: skipped $3: no $1 (apt-get install $2)"
  return 1
}
fail() {
  echo "integration: FAILED: $*" >&2
  failures=$((failures + 1))
}
# passed WHAT: says that WHAT passed, unless a check failed since `start`.
start=0
passed() {
  if [ "$failures" = "$start" ]; then echo "integration: $1 ok"; fi
  start=$failures
}
# same FILE EXPECTED-FILE WHAT
same() { cmp -s "$1" "$2" || fail "$3: $(od -c "$1" | head -3)"; }

# A text that qfmt-tree changes, and what it makes of it (worked out by hand,
# with the modern style that qfmt-tree takes by default: one blank between
# tokens, none at the end of a line); qfmt's classic layout leaves a blank
# after each semicolon.
printf 'int  x;\nint  y;\n' >"$work/messy"
printf 'int x;\nint y;\n' >"$work/formatted"
printf 'int x; \nint y; \n' >"$work/classic"

# The set-up scripts wait for the package manager's lock while another
# installation holds it, and give up after QFMT_LOCK_WAIT seconds.
if have python3 python3 "the wait for the package manager's lock"; then
  touch "$work/lock"
  # Holds an fcntl lock on $work/lock, as dpkg does on its own, until told to let go.
  python3 -c 'import fcntl, os, sys, time
f = open(sys.argv[1], "w"); fcntl.lockf(f, fcntl.LOCK_EX); open(sys.argv[2], "w").close()
for _ in range(300):
    if os.path.exists(sys.argv[3]): break
    time.sleep(0.1)' "$work/lock" "$work/locked" "$work/release" &
  holder=$!
  for _ in $(seq 100); do [ -e "$work/locked" ] && break; sleep 0.1; done
  if (QFMT_PACKAGE_LOCKS=$work/lock QFMT_LOCK_WAIT=1 wait_for_package_manager) 2>"$work/log"; then
    fail "packages: no wait for a lock that is held"
  fi
  grep -q "waiting for another installation" "$work/log" || fail "packages: no message while waiting: $(cat "$work/log")"
  (QFMT_PACKAGE_LOCKS=$work/lock QFMT_LOCK_WAIT=30 wait_for_package_manager) 2>/dev/null &
  waiter=$!
  sleep 1
  touch "$work/release"
  wait "$waiter" || fail "packages: the wait did not end when the lock was let go"
  wait "$holder"
  passed "wait for the package manager's lock"
fi
# scripts/demo.sh builds build/ with the settings of scripts/test.sh (which
# ran before this script): it has nothing left to build.
if [ -f "$build/build.ninja" ]; then
  bash scripts/demo.sh >"$work/log" 2>&1 || fail "demo: $(cat "$work/log")"
  grep -q -E "Building|Linking" "$build/demo-build.log" && fail "demo: rebuilt after the tests: $(head -3 "$build/demo-build.log")"
  grep -q "^== qfmt-tree -w build/tree-sample.c" "$work/log" || fail "demo: qfmt-tree: $(cat "$work/log")"
  passed "demo after the tests"
fi

if have pre-commit pre-commit "the pre-commit hook"; then
  repo=$work/hook
  mkdir -p "$repo"
  git -C "$repo" init -q
  cp "$work/messy" "$repo/bad.c"
  cp "$work/formatted" "$repo/good.c"
  git -C "$repo" add .
  export PRE_COMMIT_HOME=$work/pre-commit-home
  (cd "$repo" && pre-commit try-repo "$root" qfmt-tree --files good.c) >"$work/log" 2>&1 ||
    fail "pre-commit: a formatted file fails: $(cat "$work/log")"
  if (cd "$repo" && pre-commit try-repo "$root" qfmt-tree --files bad.c) >"$work/log" 2>&1; then
    fail "pre-commit: a file that the hook formats passes"
  fi
  same "$repo/bad.c" "$work/formatted" "pre-commit: the hook formats the file"
  # The check-only hook fails and changes nothing; a file whose name begins
  # with "-" is a file for both hooks.
  # (--all-files: pre-commit's own --files would take "-d.c" for an option.)
  cp "$work/messy" "$repo/-d.c"
  git -C "$repo" add -A
  if (cd "$repo" && pre-commit try-repo "$root" qfmt-tree-check --all-files) >"$work/log" 2>&1; then
    fail "pre-commit: the check passes a file that is not formatted"
  fi
  grep -q -- '-d.c:1:5: error: not formatted' "$work/log" || fail "pre-commit: the check's message: $(cat "$work/log")"
  same "$repo/-d.c" "$work/messy" "pre-commit: the check changes nothing"
  (cd "$repo" && pre-commit try-repo "$root" qfmt-tree --all-files) >"$work/log" 2>&1 || true
  same "$repo/-d.c" "$work/formatted" "pre-commit: the hook formats -d.c"
  git -C "$repo" add -A
  (cd "$repo" && pre-commit try-repo "$root" qfmt-tree-check --all-files) >"$work/log" 2>&1 ||
    fail "pre-commit: the check fails formatted files: $(cat "$work/log")"
  # Both hooks' files pattern takes every extension that qfmt-tree takes.
  extensions=$(qfmt-tree --help | sed -n '4p')
  python3 - "$extensions" <<'PY' || fail "pre-commit: the hooks or their files pattern"
import re, sys, yaml
hooks = yaml.safe_load(open(".pre-commit-hooks.yaml"))
assert [h["id"] for h in hooks] == ["qfmt-tree", "qfmt-tree-check"], hooks
assert all(h["entry"].endswith(" --") for h in hooks), hooks
pattern = hooks[0]["files"]
assert hooks[1]["files"] == pattern
taken = [e for e in sys.argv[1].split() if e.startswith(".")]
assert len(taken) > 10, taken
missed = [e for e in taken if not re.search(pattern, "name" + e)]
extra = [e for e in (".txt", ".Backup", ".c.Backup", ".cs", ".m") if re.search(pattern, "name" + e)]
assert not missed and not extra, (missed, extra)
PY
  passed "pre-commit hook"
fi

# An editor's buffer: formatted, or left as it was on an error (a bad
# .editorconfig) with the message kept out of it.
mkdir -p "$work/bad"
printf 'root = true\n[*]\nindent_size = many\n' >"$work/bad/.editorconfig"
if have vim vim "the Vim recipe"; then
  cp "$work/messy" "$work/vim.c"
  cp "$work/messy" "$work/bad/vim.c"
  for folder in "$work" "$work/bad"; do
    (cd "$folder" && vim -u NONE -i NONE -N -es --cmd "source $root/editors/qfmt-tree.vim" -c QfmtTree -c wq vim.c) \
      >/dev/null 2>&1 </dev/null || true
  done
  same "$work/vim.c" "$work/formatted" "Vim: :QfmtTree formats the buffer"
  same "$work/bad/vim.c" "$work/messy" "Vim: on an error the buffer stays as it was"
  passed "Vim recipe"
fi
if have emacs emacs-nox "the Emacs recipe"; then
  cp "$work/messy" "$work/emacs.c"
  cp "$work/messy" "$work/bad/emacs.c"
  for folder in "$work" "$work/bad"; do
    (cd "$folder" && emacs --batch -Q -l "$root/editors/qfmt-tree.el" emacs.c \
      --eval '(progn (qfmt-tree-format-on-save) (set-buffer-modified-p t) (save-buffer))') >/dev/null 2>&1 || true
  done
  same "$work/emacs.c" "$work/formatted" "Emacs: saving formats the buffer"
  same "$work/bad/emacs.c" "$work/messy" "Emacs: on an error the buffer stays as it was"
  passed "Emacs recipe"
fi

if have python3 python3 "the problem matcher"; then
  cp "$work/messy" "$work/bad/matched.c"
  cp "$work/messy" "$work/matched.c"
  (cd "$work" && qfmt-tree --check matched.c bad/matched.c missing.c) >"$work/log" 2>&1 || true
  python3 - .github/qfmt-tree-matcher.json "$work/log" <<'PY' || fail "problem matcher: $(cat "$work/log")"
import json, re, sys
matchers = json.load(open(sys.argv[1]))["problemMatcher"]
found = []
for line in open(sys.argv[2]).read().splitlines():
    for matcher in matchers:
        pattern = matcher["pattern"][0]
        m = re.search(pattern["regexp"], line)
        if m:
            found.append(tuple(m.group(pattern[k]) if k in pattern else None
                               for k in ("file", "line", "column", "severity")))
            break
assert found == [("bad/matched.c", None, None, "error"),
                 ("matched.c", "1", "5", "error"),
                 ("missing.c", None, None, "error")], found
PY
  passed "problem matcher"
fi

if [ ! -f /usr/share/bash-completion/bash_completion ] && [ "${CI:-}" = true ]; then
  install_packages bash-completion || exit 1
fi
if [ -f /usr/share/bash-completion/bash_completion ]; then
  complete_words() {  # the completions of the last of the words given
    bash -c 'source /usr/share/bash-completion/bash_completion && source "$1" && shift &&
      COMP_WORDS=("$@") && COMP_CWORD=$(($# - 1)) && COMP_LINE="$*" && COMP_POINT=${#COMP_LINE} &&
      _qfmt_tree qfmt-tree "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}"; echo "${COMPREPLY[*]}"' \
      _ "$build/completions/qfmt-tree.bash" "$@"
  }
  [ "$(complete_words qfmt-tree --brace-style a)" = attach ] || fail "bash completion of --brace-style"
  [ "$(complete_words qfmt-tree --sta)" = --staged ] || fail "bash completion of --sta: $(complete_words qfmt-tree --sta)"
  passed "bash completion"
else
  echo "integration: skipped the bash completion: no bash-completion (apt-get install bash-completion)"
fi
if have zsh zsh "the zsh completion"; then
  zsh -n "$build/completions/_qfmt-tree" || fail "zsh completion: syntax"
  for option in $(qfmt-tree --help | grep -o -E -- '--[a-z-]+' | sort -u); do
    grep -q -- "$option" "$build/completions/_qfmt-tree" || fail "zsh completion: no $option"
  done
  passed "zsh completion"
fi

if have dpkg-shlibdeps dpkg-dev "the Debian package"; then
  rm -f "$build"/qfmt_*.deb
  (cd "$build" && cpack -G DEB) >"$work/log" 2>&1 || fail "cpack: $(cat "$work/log")"
  deb=$(ls "$build"/qfmt_*.deb)
  if [ "${CI:-}" = true ]; then
    # dpkg through apt-get, which waits for dpkg's lock when others hold it.
    DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -qq "$deb" >"$work/log" 2>&1 ||
      fail "package: apt-get install: $(cat "$work/log")"
    dpkg -s qfmt >/dev/null || fail "package: not installed"
    prefix=/usr
  else
    dpkg-deb -x "$deb" "$work/package"
    prefix=$work/package/usr
  fi
  [ "$("$prefix/bin/qfmt-tree" --version)" = "qfmt-tree $(sed -n 's/^project(qfmt VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)" ] ||
    fail "package: qfmt-tree --version"
  "$prefix/bin/qfmt-tree" <"$work/messy" >"$work/out" && same "$work/out" "$work/formatted" "package: qfmt-tree"
  cp "$work/messy" "$work/classic.c"
  (cd "$work" && "$prefix/bin/qfmt" -iclassic.c) && same "$work/classic.c" "$work/classic" "package: qfmt"
  for file in man/man1/qfmt.1.gz man/man1/qfmt-tree.1.gz bash-completion/completions/qfmt-tree \
    zsh/vendor-completions/_qfmt-tree vim/vimfiles/plugin/qfmt-tree.vim emacs/site-lisp/qfmt-tree.el \
    doc/qfmt/copyright doc/qfmt/changelog.gz qfmt/qfmt-tree-matcher.json; do
    [ -s "$prefix/share/$file" ] || fail "package: no $file"
  done
  man -l "$prefix/share/man/man1/qfmt-tree.1.gz" 2>/dev/null | grep -q -- '--staged' || fail "package: the man page"
  # The README's ::add-matcher:: line names the matcher where the package puts it.
  grep -q '::add-matcher::/usr/share/qfmt/qfmt-tree-matcher.json' README.md || fail "package: the README's matcher path"
  if [ "${CI:-}" = true ]; then
    DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 remove -y -qq qfmt >"$work/log" 2>&1 ||
      fail "package: apt-get remove: $(cat "$work/log")"
  fi
  passed "Debian package $(basename "$deb")"
  # Debian's own checks of a package: no error and no warning (the reason for
  # each override is in the overrides file, cmake/debian/).
  if have lintian lintian "lintian on the package"; then
    lintian --fail-on error,warning "$deb" >"$work/log" 2>&1 || fail "lintian: $(cat "$work/log")"
    passed "lintian"
  fi
fi

[ "$failures" = 0 ] || exit 1
echo "integration: ok"
