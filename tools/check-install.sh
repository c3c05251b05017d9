#!/usr/bin/env bash
# Installs a finished build into a staging folder and checks what a user's
# system gets from it: the installed tree, the desktop entry, the file type
# and what it recognises, the man page and the completion against quorin's
# own help; then builds the Debian package and shows its fields, contents and
# dependencies.
#   tools/check-install.sh [build folder, default build]
set -euo pipefail
cd "$(dirname "$0")/.."
export LC_ALL=C
bash tools/setup-deps.sh
build=${1:-build}
quorin=$build/cli/quorin
[ -x "$quorin" ] || { echo "check-install: build first ($quorin is missing)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "check-install: $*" >&2; exit 1; }

# Brings the build up to date with the sources (nothing to do after tools/test.sh).
cmake --build "$build" >/dev/null
stage=$work/stage
root=$stage/usr
DESTDIR=$stage cmake --install "$build" --prefix /usr >/dev/null
desktop=$root/share/applications/quorin-unit-packer.desktop
mime=$root/share/mime/packages/quorin-unit-packer.xml
man=$root/share/man/man1/quorin.1
completion=$root/share/bash-completion/completions/quorin
sizes=(16 32 48 64 128 256)

echo "== installed tree"
expected=(bin/UnitPack bin/quorin share/doc/quorin-unit-packer/README.md share/doc/quorin-unit-packer/copyright)
for path in "$desktop" "$mime" "$man" "$completion"; do expected+=("${path#"$root"/}"); done
for size in "${sizes[@]}"; do expected+=("share/icons/hicolor/${size}x${size}/apps/quorin-unit-packer.png"); done
(cd "$stage" && find . ! -type d | sort)
diff <(printf '%s\n' "${expected[@]}" | sort) <(cd "$root" && find . ! -type d | sed 's|^\./||' | sort) ||
  fail "the installed files differ from the expected ones (< expected, > installed)"
[ -z "$(cd "$stage" && find . -mindepth 1 -maxdepth 1 ! -name usr)" ] || fail "files were installed outside the prefix"
for program in UnitPack quorin; do [ -x "$root/bin/$program" ] || fail "bin/$program is not executable"; done
"$root/bin/quorin" --help >/dev/null || fail "the installed quorin does not run"
for size in "${sizes[@]}"; do
  icon=$root/share/icons/hicolor/${size}x${size}/apps/quorin-unit-packer.png
  file -b "$icon" | grep -q "^PNG image data, $size x $size, 8-bit/color RGBA" ||
    fail "icon ${size}x${size} is not a ${size} x ${size} PNG with alpha: $(file -b "$icon")"
done

echo "== desktop entry"
report=$(desktop-file-validate "$desktop" 2>&1) || true
[ -z "$report" ] || fail "desktop-file-validate: $report"
echo "desktop-file-validate: no errors, no warnings"
entry() { sed -n "s/^$1=//p" "$desktop"; }
[ "$(entry Exec | cut -d' ' -f1)" = UnitPack ] || fail "Exec does not start UnitPack"
[ -n "$(entry 'Name\[ru\]')" ] && [ -n "$(entry 'Comment\[ru\]')" ] || fail "the Russian name or comment is missing"
[ -f "$root/share/icons/hicolor/48x48/apps/$(entry Icon).png" ] || fail "Icon=$(entry Icon) is not an installed icon"
mimetype=$(sed -n 's/.*<mime-type type="\([^"]*\)".*/\1/p' "$mime")
[ "$(entry MimeType)" = "$mimetype;" ] || fail "the entry's MimeType is not the installed type $mimetype"

echo "== file type"
# The DTD that shared-mime-info's own database carries in its header.
sed -n '/<!DOCTYPE mime-info \[/,/^]>/p' /usr/share/mime/packages/freedesktop.org.xml | sed '1d;$d' >"$work/mime.dtd"
[ -s "$work/mime.dtd" ] || fail "no DTD found in shared-mime-info's database"
xmllint --noout --dtdvalid "$work/mime.dtd" "$mime" || fail "xmllint: $mime is not valid"
echo "xmllint --dtdvalid: valid"
# What a desktop sees once the database is updated: by name, and by the first
# bytes alone for a file whose name says nothing.
mkdir -p "$work/data/mime/packages"
cp "$mime" "$work/data/mime/packages/"
XDG_DATA_HOME=$work/data update-mime-database "$work/data/mime"
"$quorin" build examples/hastati/unit.toml -o "$work/hastati.quorin" >/dev/null
cp "$work/hastati.quorin" "$work/unnamed"
echo "not a package" >"$work/named.quorin"
printf '\x06\x0dQuorinPAKx0.2' | cat - <(tail -c +16 "$work/hastati.quorin") >"$work/newer"
typeof() { XDG_DATA_HOME=$work/data XDG_DATA_DIRS=/usr/share gio info -a standard::content-type "$1" | sed -n 's/^ *standard::content-type: //p'; }
for file in hastati.quorin named.quorin unnamed newer; do echo "$file: $(typeof "$work/$file")"; done
[ "$(typeof "$work/hastati.quorin")" = "$mimetype" ] || fail "a package is not recognised as $mimetype"
[ "$(typeof "$work/named.quorin")" = "$mimetype" ] || fail "a file is not recognised by its name *.quorin"
[ "$(typeof "$work/unnamed")" = "$mimetype" ] || fail "a package is not recognised by its first bytes"
[ "$(typeof "$work/newer")" != "$mimetype" ] || fail "a file with another header is taken for a package"

echo "== man page and completion against quorin --help"
warnings=$(groff -man -Tutf8 -ww -z "$man" 2>&1)
[ -z "$warnings" ] || fail "groff: $warnings"
section() { sed -n "/^$1:/,/^\$/p" | sed '1d' | awk 'NF {print $1}'; }
mapfile -t commands < <("$quorin" --help | section Subcommands)
[ ${#commands[@]} -gt 0 ] || fail "quorin --help lists no commands"
table=$(bash -c 'source "$1"; printf "%s\n" "${_quorin_commands[@]}"' _ "$completion" 2>/dev/null) ||
  fail "the completion cannot be loaded"
diff <(printf '%s\n' "${commands[@]}" | sort) <(awk '{print $1}' <<<"$table" | sort) ||
  fail "the completion's commands differ from quorin --help's (< help, > completion)"
for command in "${commands[@]}"; do
  help=$("$quorin" "$command" --help)
  line=$(awk -v c="$command" '$1 == c' <<<"$table")
  rest=${line#"$command"}
  read -ra table_options <<<"${rest%%:*}"
  read -ra kinds <<<"${rest#*:}"
  positionals=$(section Positionals <<<"$help" | wc -l)
  [ "$positionals" -eq ${#kinds[@]} ] ||
    fail "$command takes $positionals arguments, the completion knows ${#kinds[@]}"
  grep -q "^\.BI \"$command " "$man" || fail "the man page does not describe $command"
  grep -q "quorin $command " README.md || fail "the README's command line does not show $command"
  expected_options=()
  # The help's first 30 columns hold an option's names and the type of its
  # value, if it takes one; the description starts after them.
  while read -r names value _; do
    [ "$names" = -h,--help ] && continue
    for name in ${names//,/ }; do
      if [[ $value =~ ^[A-Z]+(:[A-Z]+)*$ && $value != REQUIRED ]]; then expected_options+=("$name="); else expected_options+=("$name"); fi
      grep -qF -- "${name//-/\\-}" "$man" || fail "the man page does not name $command's $name"
    done
  done < <(sed -n '/^Options:/,/^$/p' <<<"$help" | sed '1d' | awk 'NF' | cut -c1-30)
  diff <(printf '%s\n' "${expected_options[@]}" | sort) \
       <(printf '%s\n' "${table_options[@]}" | sed 's/=.*/=/' | sort) ||
    fail "the completion's options of $command differ from its help (< help, > completion)"
done
echo "commands: ${commands[*]}: in the man page, the README and the completion"
# The completion at work, as bash calls it on <Tab>.
mkdir -p "$work/tab/mods" && touch "$work/tab/unit.toml" "$work/tab/out.quorin" "$work/tab/card.tga" "$work/tab/notes.txt"
complete_line() {
  (cd "$work/tab" && bash -c '
    source /usr/share/bash-completion/bash_completion
    source "$1"
    COMP_LINE=$2 COMP_POINT=${#2}
    read -ra COMP_WORDS <<<"$COMP_LINE"
    [[ $COMP_LINE == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    _quorin quorin "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}"
    printf "%s\n" "${COMPREPLY[@]}" | sort | xargs' _ "$completion" "$1")
}
while IFS='|' read -r line want; do
  got=$(complete_line "$line")
  [ "$got" = "$want" ] || fail "completing \"$line\" gives \"$got\", not \"$want\""
  echo "\"$line\" -> $got"
done <<EOF_CASES
quorin |$(printf '%s\n' "${commands[@]}" | sort | xargs)
quorin build |mods unit.toml
quorin build unit.toml -|--help --output --strict -h -o
quorin build unit.toml --output |mods out.quorin
quorin inspect |mods out.quorin
quorin inspect out.quorin --|--help --json
quorin unpack out.quorin |mods
quorin picture |card.tga mods
quorin picture card.tga |card.tga mods
quorin picture card.tga out.dds --format |auto dxt1 dxt5
quorin picture card.tga out.tga --|--format --help --jobs --mipmaps --output-folder --quality --quiet --rle --to
quorin picture card.tga card.tga |card.tga mods
quorin install |mods out.quorin unit.toml
quorin install out.quorin --mod |mods
quorin uninstall |
EOF_CASES

echo "== Debian package"
rm -f "$build"/quorin-unit-packer_*.deb
(cd "$build" && cpack -G DEB) >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack failed"; }
debs=("$build"/quorin-unit-packer_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "cpack made no quorin-unit-packer_*.deb"
deb=${debs[0]}
echo "$deb"
dpkg-deb --info "$deb"
dpkg-deb --contents "$deb"
depends=$(dpkg-deb --field "$deb" Depends)
depended=$(sed 's/ *([^)]*)//g; s/, */\n/g' <<<"$depends")
for library in libc6 libstdc++6 libqt6widgets6 libqt6gui6 libpng16-16 libjpeg62-turbo; do
  grep -qxF "$library" <<<"$depended" || fail "Depends does not name $library: $depends"
done
[ "$(dpkg-deb --field "$deb" Package)" = quorin-unit-packer ] || fail "the package is not named quorin-unit-packer"
[ -n "$(dpkg-deb --field "$deb" Maintainer)" ] || fail "the package has no maintainer"
# The package holds the same files as the staged install.
dpkg-deb -x "$deb" "$work/deb"
diff <(cd "$stage" && find . ! -type d | sort) <(cd "$work/deb" && find . ! -type d | sort) ||
  fail "the package's files differ from the install's (< install, > package)"
# On a machine of its own (CI), install the package as a user would, with apt
# fetching what it depends on, run what it installed, and take it out again.
if [ "${QUORIN_APT_INSTALL:-0}" = 1 ]; then
  echo "== apt install and remove"
  apt-get install -y "$(realpath "$deb")" >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; fail "apt could not install $deb"; }
  /usr/bin/quorin --help >/dev/null || fail "the quorin apt installed does not run"
  [ "$(dpkg-query -W -f '${Status}' quorin-unit-packer)" = "install ok installed" ] || fail "dpkg does not list the package"
  grep -q 'application/x-quorin-package' /usr/share/mime/types || fail "the file type is not in the system's MIME database"
  apt-get remove -y quorin-unit-packer >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; fail "apt could not remove the package"; }
  [ ! -e /usr/bin/quorin ] && [ ! -e /usr/bin/UnitPack ] || fail "removing the package left its programs"
  echo "installed with apt, ran /usr/bin/quorin, removed"
fi
echo "check-install: all checks passed"
