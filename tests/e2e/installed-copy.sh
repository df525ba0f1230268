#!/usr/bin/env bash
# An installed copy stands on its own: `cmake --install` into a temporary prefix, then
#   - everything is there: programs, modules, the shared library with its soname, headers,
#     the CMake package, lumo.pc, schema, man pages, the PAM profile;
#   - no installed binary carries debug information or names the build folder;
#   - the installed journal records a logon and draws its window with the module installed
#     beside it, not the build's;
#   - the example is built against the prefix with find_package(Lumo) and with pkg-config,
#     runs on the installed liblumo, and reads back the row the journal wrote, as the stock
#     sqlite3 shell reads it;
#   - a program on the installed liblumo gets its widgets from the module in lumo/ beside it.
# Usage: installed-copy.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$(realpath "$1")
source=$(realpath "$2")
work=$(mktemp -d /tmp/lumo-installed-XXXXXX)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
failures=0
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }
cache() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }

cmake --install "$build" --prefix "$prefix" >"$work/install.log" || { cat "$work/install.log"; exit 1; }
libdir=$(cache CMAKE_INSTALL_LIBDIR)
journaldir=$(cache LUMO_JOURNAL_DIR)
pamdir=$(cache LUMO_PAM_MODULE_DIR)

echo "--- what is installed"
for file in bin/jetsh bin/lumo-facts "$journaldir/logonjournal" "$journaldir/libguiqt.so" \
            "$pamdir/pam_logonjournal.so" share/pam-configs/logonjournal share/logonjournal/logon.sql share/logonjournal/logon-postgresql.sql \
            share/man/man1/logonjournal.1.gz share/man/man1/jetsh.1.gz share/man/man8/pam_logonjournal.8.gz \
            "$libdir/liblumo.so" "$libdir/liblumo.so.0" "$libdir/lumo/libguiqt.so" \
            "$libdir/cmake/Lumo/LumoConfig.cmake" "$libdir/cmake/Lumo/LumoConfigVersion.cmake" \
            "$libdir/pkgconfig/lumo.pc" include/lumo/dao/dataset/LumoDaoTable.h \
            include/lumo/dao/database/LumoDaoDataBase.h include/lumo/jet/DBEngine.h \
            include/lumo/gui/Form.h include/lumo/library/LumoLibrary.h; do
  [ -e "$prefix/$file" ] || fail "not installed: $file"
done
soname=$(readelf -d "$prefix/$libdir/liblumo.so.0" | sed -n 's/.*Library soname: \[\(.*\)\]/\1/p')
[ "$soname" = liblumo.so.0 ] || fail "liblumo's soname is '$soname', not liblumo.so.0"
[ -L "$prefix/$libdir/liblumo.so" ] && [ -L "$prefix/$libdir/liblumo.so.0" ] || fail "liblumo.so and liblumo.so.0 are not links"

while IFS= read -r -d '' file; do
  case $file in "$prefix"/lib/debug/*) continue ;; esac
  if head -c 4 "$file" | grep -q 'ELF'; then
    readelf -S "$file" | grep -q '\.debug_info' && fail "debug information in ${file#"$prefix"/}"
  fi
  grep -qF "$build" "$file" && fail "${file#"$prefix"/} names the build folder $build"
done < <(find "$prefix" -type f -print0)

echo "--- the public headers together, with nothing but the prefix's include folder"
printf '#include "%s"\n' $(cd "$prefix/include/lumo" && find . -name '*.h' | sed 's|^\./||' | sort) \
  > "$work/all-headers.cpp"
g++ -std=c++20 -fsyntax-only -I"$prefix/include/lumo" "$work/all-headers.cpp" || fail "the installed headers do not compile"

echo "--- the installed journal"
database=$work/journal.mdb
"$prefix/bin/jetsh" --create "$database" < "$prefix/share/logonjournal/logon.sql" || fail "jetsh cannot make the journal"
printf '[db]\nmain=%s\n' "$database" > "$prefix/$journaldir/logonjournal.ini"
unset DISPLAY WAYLAND_DISPLAY LUMO_GUI_MODULE
export QT_QPA_PLATFORM=offscreen
"$prefix/$journaldir/logonjournal" /set logon || fail "the installed journal did not record"
LD_DEBUG=files LUMO_SCREENSHOT="$work/overview.png" "$prefix/$journaldir/logonjournal" 2>"$work/window.log" \
  || { fail "the installed journal's window failed"; grep -v '^ *[0-9]*:' "$work/window.log" >&2; }
module=$(sed -n 's/.*file=\(.*libguiqt\.so\) .*/\1/p' "$work/window.log" | head -1)
[ "$module" = "$prefix/$journaldir/libguiqt.so" ] || fail "the window came from the module '$module'"
[ -s "$work/overview.png" ] || fail "no picture of the window"

echo "--- the example, in the tree and built against the prefix"
expected=$(sqlite3 -separator '	' "$database" "SELECT ID, Username, Computer, Typ FROM Logon")
[ -n "$expected" ] || fail "the journal's row is not in the file"
check_reader() {  # LABEL PROGRAM: the program reads the row, on the installed library when asked
  local output
  output=$(LD_DEBUG=files "$2" "$database" Logon 2>"$work/$1.log") || { fail "$1: read-table failed"; cat "$work/$1.log" >&2; return; }
  [ "$(head -1 <<<"$output")" = "$(printf 'ID\tUsername\tComputer\tlogontime\tlogofftime\tIP\tBetriebssystem\tTyp')" ] \
    || fail "$1: field names: $(head -1 <<<"$output")"
  [ "$(tail -n +2 <<<"$output" | cut -f1,2,3,8)" = "$expected" ] || fail "$1: rows: $output"
  if [ "$1" != in-tree ]; then
    library=$(sed -n 's/.*calling init: \(.*liblumo\.so\.0\)$/\1/p' "$work/$1.log" | head -1)
    [ "$(realpath "$library")" = "$(realpath "$prefix/$libdir/liblumo.so.0")" ] || fail "$1 ran on '$library'"
  fi
}
check_reader in-tree "$build/examples/read-table"
cmake -S "$source/examples" -B "$work/examples" -DCMAKE_PREFIX_PATH="$prefix" >"$work/examples.log" 2>&1 \
  && cmake --build "$work/examples" >>"$work/examples.log" 2>&1 \
  || { fail "the example does not build against the prefix"; cat "$work/examples.log" >&2; }
check_reader find_package "$work/examples/read-table"
flags=$(PKG_CONFIG_PATH="$prefix/$libdir/pkgconfig" pkg-config --cflags --libs lumo) || fail "pkg-config knows no lumo"
g++ -std=c++20 -o "$work/read-table-pc" "$source/examples/ReadTable.cpp" $flags -Wl,-rpath,"$prefix/$libdir" \
  || fail "the example does not build with pkg-config's flags"
check_reader pkg-config "$work/read-table-pc"

echo "--- a program on the installed liblumo loads the widget module installed with the library"
cat > "$work/toolkit.cpp" <<'CPP'
#include "gui/WidgetToolkit.h"
int main() { lumo::Toolkit(); return lumo::ToolkitLoaded() ? 0 : 1; }
CPP
g++ -std=c++20 -o "$work/toolkit" "$work/toolkit.cpp" $flags -Wl,-rpath,"$prefix/$libdir" \
  || fail "a program using the toolkit does not build against the prefix"
LD_DEBUG=files "$work/toolkit" 2>"$work/toolkit.log" || fail "the library's widget module did not load"
module=$(sed -n 's/.*file=\(.*libguiqt\.so\) .*/\1/p' "$work/toolkit.log" | head -1)
[ "$module" = "$prefix/$libdir/lumo/libguiqt.so" ] || fail "the library loaded the module '$module'"

[ "$failures" -eq 0 ] && echo "the installed copy works"
exit $(( failures != 0 ))
