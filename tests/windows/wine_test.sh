#!/usr/bin/env bash
# wine_test.sh WINDOWS_BUILD POSIX_QFMT: runs qfmt.exe under wine, its
# windows on a virtual screen (Xvfb), and checks what it does: the files it
# writes against the POSIX build's text with CR LF line ends, the raw command
# line, the usage dialog and message boxes (captions, owners, texts, sizes in
# dialog units, read by qfmt-probe), the button presses that let the run go
# on (xdotool), standard error and exit statuses. Screenshots of the windows
# are left in WINDOWS_BUILD/screenshots. Prints one line per check that
# fails and a summary; exits 1 when any failed.
set -eu
build=$(cd "$1" && pwd)
posix_qfmt=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
source_dir=$(cd "$(dirname "$0")/../.." && pwd)

work=$build/wine-tests
shots=$build/screenshots
rm -rf "$work" "$shots"
mkdir -p "$work/bin" "$shots"
cp "$build/qfmt.exe" "$build/qfmt-probe.exe" "$work/bin/"
# Every run names the program by this relative path, which holds no option
# marker, whatever folder the build is in.
qfmt='..\bin\qfmt.exe'

export WINEPREFIX=$build/wine-prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

xvfb_pid=""
cleanup() {
  wineserver -k 2>/dev/null || true
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
trap 'exit 130' INT TERM
# A free display of its own: Xvfb names it.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
if [ ! -s "$work/display" ]; then
  echo "wine tests: Xvfb did not start" >&2
  exit 1
fi
export DISPLAY=:$(cat "$work/display")

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "wine: making the prefix $WINEPREFIX (once)"
  wineboot -i >/dev/null 2>&1
  # Wine draws the windows' frames and captions itself, so that the
  # screenshots show them without a window manager.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
fi
# One server for all the runs (the one that made the prefix may still run).
wineserver -p 2>/dev/null || true

failures=0
checks=0
case=setup
fail() {
  echo "FAIL [$case]: $*"
  failures=$((failures + 1))
}
# expect_file FILE BYTES: the file holds exactly these bytes (printf escapes).
expect_file() {
  checks=$((checks + 1))
  printf "$2" >"$work/expected"
  cmp -s "$work/expected" "$1" || fail "$1 differs from the expected bytes: $(od -c "$1" | head -5)"
}
expect_same() {
  checks=$((checks + 1))
  cmp -s "$1" "$2" || fail "$2 differs from $1"
}
expect_equal() {
  checks=$((checks + 1))
  [ "$1" = "$2" ] || fail "$3: expected '$1', got '$2'"
}
# expect_line FILE LINE: the probe's description holds this line.
expect_line() {
  checks=$((checks + 1))
  grep -qxF -- "$2" "$1" || fail "no line '$2' in $(basename "$1"):$(printf '\n'; cat "$1")"
}

# expect_units FILE "W x H": the window described has a client area of this
# size in dialog units.
expect_units() {
  checks=$((checks + 1))
  grep -qx "client [0-9]* x [0-9]* pixels, $2 units" "$1" || fail "not $2 units: $(grep '^client' "$1")"
}
# expect_text FILE TEXT: the message box described holds this text (escaped
# as the probe escapes it).
expect_text() {
  checks=$((checks + 1))
  grep -qF -- "control 65535 Static \"$2\" at " "$1" || fail "text '$2' not in $(basename "$1"):$(printf '\n'; cat "$1")"
}

# begin NAME: a fresh folder for the case, the current one.
begin() {
  case=$1
  mkdir -p "$work/$case"
  cd "$work/$case"
}
# run RAW_COMMAND_LINE: runs it to its end, or for 60 seconds at most (a
# window that nobody closes); status in $status, standard error in ./stderr.
run() {
  set +e
  timeout 60 wine ../bin/qfmt-probe.exe run "$1" 2>stderr
  status=$?
  set -e
  [ "$status" != 124 ] || fail "'$1' did not end"
}
# start RAW_COMMAND_LINE: the same in the background, for runs with windows.
start() {
  rm -f status
  (
    wine ../bin/qfmt-probe.exe run "$1" 2>stderr
    echo $? >status
  ) &
}
# finish: waits up to 20 seconds for the run started last; its status in
# $status ("none" if it is still running).
finish() {
  for _ in $(seq 200); do [ -f status ] && break; sleep 0.1; done
  status=$(cat status 2>/dev/null || echo none)
}
# describe CAPTION FILE: waits for the window and writes its description.
describe() {
  wine ../bin/qfmt-probe.exe window "$1" 20 >"$2" || fail "no window '$1'"
  sed -i 's/\r$//' "$2"  # the probe's lines end as Windows ends them
}
# shoot CAPTION NAME: a screenshot of the window, which must be as large as
# the window that the probe measured (described in NAME.txt).
shoot() {
  local id
  id=$(xdotool search --name "^$1\$" 2>/dev/null | head -1)
  import -window "$id" "$shots/$2.png"
  local size
  size=$(sed -n 's/^window \([0-9]*\) x \([0-9]*\) pixels$/\1x\2/p' "$2.txt")
  expect_equal "$size" "$(identify -format %wx%h "$shots/$2.png")" "size of the screenshot $2.png"
}
# pixels_like NAME COLOUR: how many pixels of the screenshot have about this
# colour.
pixels_like() {
  convert "$shots/$1.png" -fuzz 20% -fill black +opaque "$2" -fill white -opaque "$2" \
    -format '%[fx:round(mean*w*h)]' info:
}
# press_ok CAPTION: a click on the window's caption, which makes it the
# active window, then Return, as a user closing it; waits until it is gone.
press_ok() {
  local id
  id=$(xdotool search --name "^$1\$" 2>/dev/null | head -1)
  if [ -z "$id" ]; then
    fail "no window '$1' to close"
    return
  fi
  xdotool mousemove --window "$id" 20 8 click 1
  sleep 0.2
  xdotool key Return
  for _ in $(seq 50); do
    xdotool getwindowname "$id" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  fail "window '$1' still open after Return"
}
# posix_reference SOURCE NAME [ARGUMENT...]: the POSIX build's output for the
# file SOURCE, copied to posix/NAME with CR LF line ends so that the output
# has them too; its standard error, with CR LF line ends, in
# posix/NAME.stderr and its status in $posix_status.
posix_reference() {
  local source=$1 name=$2
  shift 2
  mkdir -p posix
  sed 's/$/\r/' "$source" >"posix/$name"
  set +e
  (cd posix && "$posix_qfmt" "$@" 2>"$name.lf-stderr" >/dev/null)
  posix_status=$?
  set -e
  sed 's/$/\r/' "posix/$name.lf-stderr" >"posix/$name.stderr"
}

# --- Files: the POSIX build's text with CR LF line ends. --------------------
begin formats
cp "$source_dir/samples/sample.c" sample.c
# Headers of the C++ library that the POSIX build formats without a token of
# 512 bytes or more; any other would do as well, statuses and messages are
# compared too.
for header in tuple variant chrono; do cp "$(ls /usr/include/c++/*/$header | head -1)" "$header.c"; done
for file in sample.c tuple.c variant.c chrono.c; do
  cp "$file" "original-$file"
  posix_reference "$file" "$file" "-i$file"
  # No "-" in the names: "crlf-tuple.c" would hold the marker "-t".
  sed 's/$/\r/' "$file" >"crlf_$file"
  for input in "$file" "crlf_$file"; do
    cp "$input" "copy-$input"
    run "$qfmt -i$input"
    expect_equal "$posix_status" "$status" "status for $input"
    expect_same "posix/$file.stderr" stderr
    expect_same "posix/$file" "$input"
    expect_same "copy-$input" "$input.Backup"
  done
done
posix_reference original-sample.c options.c "-ioptions.c" "-l60" "-sx" "-t  "
cp original-sample.c options.c
run "$qfmt -ioptions.c -l60 -sx -t\"  \""
expect_same posix/options.c options.c

# What text mode reads: CR CR LF is CR LF to the scanner (a CR, then the end
# of the line), as on POSIX; reading stops at CTRL+Z. The backup keeps all.
begin text-mode
printf 'int  a;\r\r\nint  b;\r\n' >cr.c
cp cr.c original-cr.c
mkdir posix
cp cr.c posix/cr.c
(cd posix && "$posix_qfmt" -icr.c)
run "$qfmt -icr.c"
expect_same posix/cr.c cr.c
expect_same original-cr.c cr.c.Backup
printf 'int  x;\r\n\032int  y;\r\n' >ctrl-z.c
run "$qfmt -ictrl-z.c"
expect_file ctrl-z.c 'int x; \r\n'
expect_file ctrl-z.c.Backup 'int  x;\r\n\032int  y;\r\n'

# --- The raw command line. --------------------------------------------------
begin quoted-name
printf 'int  x;\n' >"my prog.c"
run "$qfmt -i\"my prog.c\" -omy.out"
expect_file my.out 'int x; \r\n'
expect_file "my prog.c" 'int  x;\n'
expect_file "my prog.c.Backup" 'int  x;\n'
# A double quote before the marker: the name ends at the first blank.
run "$qfmt \"-imy prog.c\""
expect_equal 0 "$status" "status"
expect_file my '\r\n'
expect_file my.Backup ''
expect_file "my prog.c" 'int  x;\n'

begin markers-in-quoted-names
printf 'void f() { if (a) x = 1; }\n' >"my-list.c"
cp my-list.c "old -sx.c"
posix_reference my-list.c my-list.c "-imy-list.c"
posix_reference "old -sx.c" "old -sx.c" "-iold -sx.c"
run "$qfmt -i\"my-list.c\""
expect_same posix/my-list.c my-list.c
run "$qfmt -i\"old -sx.c\""
expect_same "posix/old -sx.c" "old -sx.c"

begin marker-in-program-path
mkdir my-ifolder folder
cp ../bin/qfmt.exe my-ifolder/
printf 'int  x;\n' >folder/qfmt.exe
run 'my-ifolder\qfmt.exe'
expect_equal 0 "$status" "status"
expect_file folder/qfmt.exe 'int x; \r\n'
expect_file folder/qfmt.exe.Backup 'int  x;\n'

# --- Windows. -----------------------------------------------------------------
usage_line='qfmt -iInFile [-oOutFile] [-lMaxLineLength] [-t\"IndentationString\"]'

begin usage-dialog
start "$qfmt -oout.c"
describe "Orvane Labs, Corp - Quillon" usage-dialog.txt
describe "OLC Quillon" progress-dialog-under-usage.txt
shoot "Orvane Labs, Corp - Quillon" usage-dialog
press_ok "Orvane Labs, Corp - Quillon"
finish
expect_equal 0 "$status" "status after the usage dialog"
expect_equal "status stderr" "$(ls | grep -v '\.txt$' | xargs)" "files after the usage dialog"
expect_line usage-dialog.txt 'owner "OLC Quillon"'
expect_units usage-dialog.txt '249 x 189'
expect_line progress-dialog-under-usage.txt 'control 65535 Static "The Quillon is running." at 36,44 size 113 x 8 units'
expect_line usage-dialog.txt 'control 1 Button "OK" at 180,155 size 50 x 19 units'
text="You should not run the Quillon directly, it is best to invoke it from the C compiler.  "
text+="The configuration program permits you to change any settings you like.  "
text+=$(printf '%-103s' "If you really want to run this program stand alone then use the following information:")
text+=$(printf '%309s' '')
text+=$(printf '%-103s' "The Quillon call sequence is:")
text+=$usage_line
expect_line usage-dialog.txt "control 1001 Edit \"$text\" at 14,34 size 214 x 112 units"
# The icon control takes the icon's size.
checks=$((checks + 1))
grep -q '^control 65535 Static ".*" at 13,13 ' usage-dialog.txt || fail "no icon at 13,13 in the usage dialog"

begin usage-box
printf 'int  x;\n' >prog.c
start "$qfmt -i prog.c"
describe Quillon usage-box.txt
shoot Quillon usage-box
press_ok Quillon
finish
expect_equal 0 "$status" "status after the usage box"
expect_equal "prog.c status stderr" "$(ls | grep -v '\.txt$' | xargs)" "files after the usage box"
expect_line usage-box.txt 'owner none'
text="You should not run the Quillon directly, it is best to invoke it from the C compiler.\\n"
text+="The configuration program permits you to change any settings you like.\\n"
text+="\\n\\nIf you really want to run this program stand alone then use the following information:\\n"
text+="The Quillon call sequence is:\\n$usage_line \\n"
expect_text usage-box.txt "$text"
checks=$((checks + 1))
[ "$(pixels_like usage-box '#e02020')" -gt 200 ] || fail "no stop icon in the usage box"

# The indentation-string message before the run, the brace warning after it;
# between them the system-menu item shows the usage dialog over the progress
# dialog, and closing it returns there.
begin message-boxes
printf 'void f() { x;\n' >open.c
start "$qfmt -iopen.c -t4"
describe qfmt indent-message.txt
describe "OLC Quillon" progress-dialog.txt
shoot qfmt indent-message
shoot "OLC Quillon" progress-dialog
wine ../bin/qfmt-probe.exe syscommand "OLC Quillon" 16
describe "Orvane Labs, Corp - Quillon" usage-from-menu.txt
press_ok "Orvane Labs, Corp - Quillon"
describe "OLC Quillon" progress-dialog-after-usage.txt
press_ok qfmt
describe qfmt brace-warning.txt
shoot qfmt brace-warning
press_ok qfmt
finish
expect_equal 0 "$status" "status after the message boxes"
expect_file open.c 'void f()\r\n{\r\n   x; \r\n'
expect_file open.c.Backup 'void f() { x;\n'
expect_line indent-message.txt 'owner "OLC Quillon"'
expect_text indent-message.txt 'Improperly formed Indent String: Use -t\" (some number of spaces)\"'
checks=$((checks + 1))
[ "$(pixels_like indent-message '#f08000')" -gt 200 ] && [ "$(pixels_like indent-message '#e02020')" -lt 100 ] ||
  fail "no warning icon in the indentation-string box"
expect_line progress-dialog.txt 'owner none'
expect_units progress-dialog.txt '185 x 97'
expect_line progress-dialog.txt 'control 65535 Static "The Quillon is running." at 36,44 size 113 x 8 units'
expect_line usage-from-menu.txt 'owner "OLC Quillon"'
expect_line progress-dialog-after-usage.txt 'caption "OLC Quillon"'
expect_line brace-warning.txt 'owner "OLC Quillon"'
expect_text brace-warning.txt 'Warning: you have 1 too many open curly braces.'

# --- Standard error and exit statuses. -------------------------------------
begin open-error
printf 'int  x;\n' >prog.c
run "$qfmt -iprog.c -onofolder\\out.c"
expect_equal 2 "$status" "status"
expect_file stderr 'qmft: error: could not open nofolder\\out.c for write\r\n'
expect_file prog.c 'int  x;\n'
expect_file prog.c.Backup 'int  x;\n'
# A folder where the backup would go: the input stays as it was.
mkdir other.c.Backup
printf 'int  y;\n' >other.c
run "$qfmt -iother.c"
expect_equal 2 "$status" "status with a folder in the backup's way"
expect_file stderr 'qmft: error: could not open other.c.Backup for write\r\n'
expect_file other.c 'int  y;\n'

begin scanner-error
{
  printf 'int  x;\n/*'
  printf 'x%.0s' $(seq 2000)
  printf '*/\n'
} >long.c
cp long.c copy-long.c
run "$qfmt -ilong.c"
expect_equal 1 "$status" "status"
expect_file stderr 'L0029: PCLEX input buffer overflowed\r\n'
# The line break after "x;" was only requested when the scanner stopped.
expect_file long.c 'int x; '
expect_same copy-long.c long.c.Backup

echo "wine tests: $checks checks, $failures failed; screenshots in $shots"
[ "$failures" = 0 ]
