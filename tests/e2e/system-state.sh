#!/usr/bin/env bash
# Keeps the machine as it was around the end-to-end tests of the session module, which add
# accounts, groups, PAM services, folders under /run and Debian packages. Each test undoes its own changes on
# every path it can see (tests/e2e/SystemFixtures.h); this covers the paths it cannot: a test
# killed by its time limit or by SIGKILL, or a crash.
#
#   system-state.sh save     keeps copies of the account tools' backup files (/etc/passwd-
#                            and the like), which useradd and userdel rewrite
#   system-state.sh restore  removes what a test process that no longer runs left behind
#                            (every name carries its process id), puts the backup files back,
#                            and fails, naming each leftover, when there was anything to remove
#
# CTest runs "save" before and "restore" after those tests (fixture lumo_system_state).
set -uo pipefail

saved=/run/lumo-e2e-saved
backups=(passwd- group- shadow- gshadow- subuid- subgid-)

# Whether the test process whose id is in a name has ended.
ended() { ! kill -0 "$1" 2>/dev/null; }

save() {
  # A save left by a run that never restored is older, so it is the one to keep.
  [ -d "$saved" ] && return 0
  mkdir -m 700 "$saved" || return 1
  for file in "${backups[@]}"; do
    [ -e "/etc/$file" ] && cp -p "/etc/$file" "$saved/$file"
  done
  return 0
}

restore() {
  local left=()
  local name pid uid path

  # Accounts lumopam<pid><suffix>, with whatever they still run, and their home folders.
  while IFS=: read -r name _ uid _; do
    [[ $name =~ ^lumopam([0-9]+)[a-z]*$ ]] || continue
    pid=${BASH_REMATCH[1]}
    ended "$pid" || continue
    for process in $(pgrep -u "$uid"); do kill -KILL "$process" 2>/dev/null; done
    userdel -r -f "$name" >/dev/null 2>&1
    left+=("account $name")
  done < <(getent passwd)
  # Groups lumoj<pid> (the journal's group) and user groups an interrupted userdel kept.
  while IFS=: read -r name _; do
    [[ $name =~ ^lumo(j|pam)([0-9]+)[a-z]*$ ]] || continue
    pid=${BASH_REMATCH[2]}
    ended "$pid" || continue
    groupdel "$name" >/dev/null 2>&1
    left+=("group $name")
  done < <(getent group)
  # PAM services lumo-pam-<pid>-<n>.
  for path in /etc/pam.d/lumo-pam-*; do
    [ -e "$path" ] || continue
    [[ $path =~ ^/etc/pam.d/lumo-pam-([0-9]+)- ]] || continue
    ended "${BASH_REMATCH[1]}" || continue
    rm -f "$path"
    left+=("PAM service $path")
  done
  # Folders /run/lumo-e2e-<pid>-* and /run/lumo-walk-<pid>-*.
  for path in /run/lumo-e2e-[0-9]*-* /run/lumo-walk-[0-9]*-*; do
    [ -e "$path" ] || continue
    [[ $path =~ ^/run/lumo-(e2e|walk)-([0-9]+)- ]] || continue
    ended "${BASH_REMATCH[2]}" || continue
    rm -rf "$path"
    left+=("folder $path")
  done

  # The Debian packages a killed package test installed (its marker /run/lumo-deb-<pid>).
  for path in /run/lumo-deb-[0-9]*; do
    [ -e "$path" ] || continue
    [[ $path =~ ^/run/lumo-deb-([0-9]+)$ ]] || continue
    ended "${BASH_REMATCH[1]}" || continue
    DEBIAN_FRONTEND=noninteractive dpkg --purge logonjournal lumo-tools liblumo-dev liblumo0 >/dev/null 2>&1
    rm -f "$path"
    left+=("the packages installed by test process ${BASH_REMATCH[1]}")
  done

  if [ -d "$saved" ]; then
    for file in "${backups[@]}"; do
      if [ -e "$saved/$file" ]; then
        cmp -s "$saved/$file" "/etc/$file" || cp -p "$saved/$file" "/etc/$file"
      fi
    done
    rm -rf "$saved"
  fi

  if [ "${#left[@]}" -ne 0 ]; then
    echo "removed what a test left behind:"
    printf '  %s\n' "${left[@]}"
    return 1
  fi
  return 0
}

case "${1:-}" in
  save) save ;;
  restore) restore ;;
  *) echo "usage: $0 save|restore" >&2; exit 2 ;;
esac
