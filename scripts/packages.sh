# Sourced by the scripts: install_packages PACKAGE... installs the Debian
# packages named (the caller lists only the missing ones) when the machine
# allows it (root with apt-get); otherwise it names them and fails. While
# another installation holds the package manager's locks it waits, saying
# so, for up to QFMT_LOCK_WAIT seconds (600 by default).

# True while a process holds a lock on one of dpkg's or apt's lock files (as
# the kernel lists them in /proc/locks, by inode); QFMT_PACKAGE_LOCKS names
# other files, for the tests.
package_manager_busy() {
  local file inode
  for file in ${QFMT_PACKAGE_LOCKS:-/var/lib/dpkg/lock-frontend /var/lib/dpkg/lock /var/lib/apt/lists/lock /var/cache/apt/archives/lock}; do
    inode=$(stat -c %i "$file" 2>/dev/null) || continue
    grep -q -E "^[0-9]+: .* [0-9a-f]+:[0-9a-f]+:$inode " /proc/locks 2>/dev/null && return 0
  done
  return 1
}

wait_for_package_manager() {
  local waited=0 limit=${QFMT_LOCK_WAIT:-600}
  while package_manager_busy; do
    if [ "$waited" -ge "$limit" ]; then
      echo "another installation still holds the package manager's lock after $limit s; run this again when it is done" >&2
      return 1
    fi
    [ "$waited" = 0 ] && echo "waiting for another installation to finish (it holds the package manager's lock)..." >&2
    sleep 2
    waited=$((waited + 2))
  done
}

install_packages() {
  [ $# -gt 0 ] || return 0
  if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null 2>&1; then
    echo "installing: $*" >&2
    wait_for_package_manager || return 1
    # apt-get waits too, for a lock taken after the wait above.
    local lock="-o DPkg::Lock::Timeout=${QFMT_LOCK_WAIT:-600}"
    # The package lists are read again only when the installation fails with
    # the lists at hand: one update a run, not one a script.
    if ! DEBIAN_FRONTEND=noninteractive apt-get $lock install -y -qq "$@" >/dev/null 2>&1; then
      apt-get $lock update -qq >/dev/null
      DEBIAN_FRONTEND=noninteractive apt-get $lock install -y -qq "$@" >/dev/null
    fi
  else
    echo "missing: $* (install them, then run this again)" >&2
    return 1
  fi
}
