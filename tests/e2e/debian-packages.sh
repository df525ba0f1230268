#!/usr/bin/env bash
# The Debian packages on this machine, as an administrator uses them: scripts/packages builds
# them, `apt-get install ./…deb` installs them, and then
#   - the set-up is there: group logonjournal, /var/lib/logonjournal root:logonjournal 2770,
#     the database root:logonjournal 660, /etc/logonjournal.ini, the module's line in
#     /etc/pam.d/common-session, no debug information in any installed binary;
#   - a session that pamtester opens and closes through common-session, with nothing of the
#     test's in between, records a row and stamps its logoff;
#   - a program built outside the tree with find_package(Lumo) against liblumo-dev reads
#     the journal's table;
#   - removing takes the PAM line out and keeps the data; purging takes the data, the group
#     and the INI file too, and /etc/pam.d is exactly as it was before.
# Needs root; refuses to run where the journal is already set up, so as not to touch a real
# installation. A run killed outright is cleaned up by system-state.sh restore (its marker
# /run/lumo-deb-<pid>).
# Usage: debian-packages.sh SOURCE_DIR PACKAGE_BUILD_DIR
set -uo pipefail
source=$(realpath "$1")
dir=$2
packages=(logonjournal liblumo0 liblumo-dev lumo-tools)
account=lumopam$$deb
service=lumo-pam-$$-deb
marker=/run/lumo-deb-$$
work=$(mktemp -d /tmp/lumo-deb-XXXXXX)
failures=0
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
export DEBIAN_FRONTEND=noninteractive

[ "$(id -u)" -eq 0 ] || { echo "runs as root: it installs packages" >&2; exit 1; }
command -v pamtester >/dev/null || { echo "pamtester is missing; scripts/deps installs it" >&2; exit 1; }
for package in "${packages[@]}"; do
  if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -qv 'not-installed'; then
    echo "the package $package is on this machine already; not touching it" >&2; exit 1
  fi
done
for path in /var/lib/logonjournal /etc/logonjournal.ini /usr/share/pam-configs/logonjournal; do
  [ -e "$path" ] && { echo "$path exists already; not touching this machine's journal" >&2; exit 1; }
done
getent group logonjournal >/dev/null && { echo "the group logonjournal exists already" >&2; exit 1; }

cleanup() {
  local package
  userdel -r -f "$account" >/dev/null 2>&1
  rm -f "/etc/pam.d/$service"
  for package in "${packages[@]}"; do
    if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -qv 'not-installed'; then
      apt-get purge -y -qq "$package" >/dev/null 2>&1
    fi
  done
  rm -f "$marker"
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP QUIT
cp -a /etc/pam.d "$work/pam.d-before"

echo "--- building the packages"
"$source/scripts/packages" "$dir" >"$work/build.log" 2>&1 || { tail -40 "$work/build.log"; exit 1; }
debs=()
for package in "${packages[@]}"; do
  deb=$(ls "$dir"/packages/"${package}"_*.deb 2>/dev/null | head -1)
  [ -n "$deb" ] || { echo "no package $package was built" >&2; exit 1; }
  debs+=("$(realpath "$deb")")
done
dpkg-deb -c "$(realpath "$dir"/packages/logonjournal_*.deb)" | grep -q 'usr/lib/debug' && fail "logonjournal carries debug files"
depends=$(dpkg-deb -f "$(realpath "$dir"/packages/logonjournal_*.deb)" Depends)
grep -q liblumo <<<"$depends" && fail "logonjournal needs the library package: $depends"

echo "--- installing: ${debs[*]##*/}"
touch "$marker"
apt-get install -y -qq "${debs[@]}" >"$work/install.log" 2>&1 || { cat "$work/install.log"; exit 1; }
group=$(getent group logonjournal) || fail "no group logonjournal"
[ "$(cut -d: -f3 <<<"$group")" -lt 1000 ] 2>/dev/null || fail "logonjournal is no system group: $group"
[ "$(stat -c '%U:%G %a' /var/lib/logonjournal 2>&1)" = "root:logonjournal 2770" ] \
  || fail "the folder is $(stat -c '%U:%G %a' /var/lib/logonjournal 2>&1)"
[ "$(stat -c '%U:%G %a' /var/lib/logonjournal/logon.mdb 2>&1)" = "root:logonjournal 660" ] \
  || fail "the database is $(stat -c '%U:%G %a' /var/lib/logonjournal/logon.mdb 2>&1)"
[ "$(sqlite3 /var/lib/logonjournal/logon.mdb 'SELECT count(*) FROM Logon')" = 0 ] || fail "the new journal is not empty"
grep -qx 'main=/var/lib/logonjournal/logon.mdb' /etc/logonjournal.ini || fail "the INI file does not name the database"
[ "$(readlink /usr/lib/logonjournal/logonjournal.ini)" = /etc/logonjournal.ini ] || fail "no link to the INI file beside the journal"
grep -q 'pam_logonjournal\.so' /etc/pam.d/common-session || fail "common-session has no line for the module"
for package in "${packages[@]}"; do
  dpkg -L "$package" > "$work/$package.files"
  while IFS= read -r file; do
    [ -f "$file" ] && [ ! -L "$file" ] && head -c 4 "$file" | grep -q ELF || continue
    readelf -S "$file" | grep -q '\.debug_info' && fail "debug information in $file"
  done < "$work/$package.files"
done
[ -f /usr/share/man/man1/jetsh.1.gz ] || fail "no compressed jetsh(1) page"
man -w jetsh >/dev/null 2>&1 || fail "man does not find jetsh(1)"
for package in "${packages[@]}"; do
  [ -f "/usr/share/doc/$package/copyright" ] || fail "$package has no copyright file"
  [ -f "/usr/share/doc/$package/changelog.gz" ] || fail "$package has no changelog"
done

echo "--- a session through common-session"
useradd -m -s /bin/sh "$account" || fail "cannot add the account $account"
printf 'auth required pam_permit.so\naccount required pam_permit.so\nsession include common-session\n' \
  > "/etc/pam.d/$service"
pamtester "$service" "$account" open_session close_session >"$work/pamtester.log" 2>&1 \
  || { fail "pamtester failed"; cat "$work/pamtester.log" >&2; }
row=$(sqlite3 -separator '|' /var/lib/logonjournal/logon.mdb \
  "SELECT Username, Typ, logontime IS NOT NULL, logofftime >= logontime FROM Logon")
[ "$row" = "$account|logon|1|1" ] || fail "the journal holds '$row' instead of one stamped row of $account"

echo "--- a program of one's own against liblumo-dev"
cmake -S "$source/examples" -B "$work/examples" >"$work/examples.log" 2>&1 \
  && cmake --build "$work/examples" >>"$work/examples.log" 2>&1 \
  || { fail "the example does not build against the installed package"; cat "$work/examples.log" >&2; }
grep -q '/usr/lib/.*/liblumo.so' "$work/examples/CMakeFiles/read-table.dir/link.txt" 2>/dev/null \
  || fail "the example did not link the installed library"
"$work/examples/read-table" /var/lib/logonjournal/logon.mdb Logon > "$work/read.txt" 2>&1 \
  || fail "read-table failed: $(cat "$work/read.txt")"
[ "$(tail -n +2 "$work/read.txt" | cut -f2,8)" = "$account	logon" ] || fail "read-table printed: $(cat "$work/read.txt")"

echo "--- removing, then purging"
apt-get remove -y -qq logonjournal >"$work/remove.log" 2>&1 || { fail "removing failed"; cat "$work/remove.log" >&2; }
grep -q 'pam_logonjournal' /etc/pam.d/common-session && fail "common-session still names the module after removal"
[ -f /var/lib/logonjournal/logon.mdb ] || fail "removing took the journal's data"
[ -f /etc/logonjournal.ini ] || fail "removing took the INI file"
apt-get purge -y -qq "${packages[@]}" >"$work/purge.log" 2>&1 || { fail "purging failed"; cat "$work/purge.log" >&2; }
for path in /var/lib/logonjournal /etc/logonjournal.ini /usr/lib/logonjournal /usr/share/logonjournal \
            /usr/share/pam-configs/logonjournal /usr/include/lumo; do
  [ -e "$path" ] && fail "$path is left after purging"
done
getent group logonjournal >/dev/null && fail "the group logonjournal is left after purging"
grep -l logonjournal /var/lib/pam/* 2>/dev/null && fail "pam-auth-update still remembers the profile"
for package in "${packages[@]}"; do
  while IFS= read -r file; do
    [ -e "$file" ] && [ ! -d "$file" ] && fail "$file of $package is left after purging"
  done < "$work/$package.files"
done
rm -f "/etc/pam.d/$service"
diff -r "$work/pam.d-before" /etc/pam.d >"$work/pam.diff" || { fail "/etc/pam.d differs from before:"; cat "$work/pam.diff" >&2; }

[ "$failures" -eq 0 ] && echo "the packages install, record, and go away cleanly"
exit $(( failures != 0 ))
