# Sourced by the scripts: install_packages PACKAGE... installs the Debian
# packages named (the caller lists only the missing ones) when the machine
# allows it (root with apt-get); otherwise it names them and fails.
install_packages() {
  [ $# -gt 0 ] || return 0
  if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null 2>&1; then
    echo "installing: $*" >&2
    apt-get update -qq >/dev/null
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$@" >/dev/null
  else
    echo "missing: $* (install them, then run this again)" >&2
    return 1
  fi
}
