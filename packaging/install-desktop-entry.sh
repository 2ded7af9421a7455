#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Puts irconsole into the desktop's application menu for the current user.
#
# Writes irconsole.desktop beside this script, pointing at the irconsole and the
# icon in this folder, and copies it into ~/.local/share/applications (or
# $XDG_DATA_HOME/applications). Run it again after moving the folder.
#
#   install-desktop-entry.sh                  the operator's use, after unpacking
#   install-desktop-entry.sh --entry-only DIR only the entry beside the script, for
#                                             a program that will run from DIR
#                                             (what `cmake --install` does)
set -eu

here=$(CDPATH='' cd -- "$(dirname -- "$0")" && pwd -P)
folder=$here
menu=yes
if [ "${1-}" = "--entry-only" ]; then
    [ $# -eq 2 ] || { echo "usage: $0 [--entry-only DIR]" >&2; exit 2; }
    folder=$2
    menu=no
fi

# A desktop entry's strings escape the backslash; a quoted Exec argument also
# escapes " ` $ and \ (so a backslash ends up as four), and % doubles.
string_value() { printf '%s' "$1" | sed -e 's/\\/\\\\/g'; }
exec_value() {
    printf '%s' "$1" | sed -e 's/[\\"`$]/\\&/g' -e 's/%/%%/g' -e 's/\\/\\\\/g'
}

entry="$here/irconsole.desktop"
cat > "$entry" <<ENTRY
[Desktop Entry]
Type=Application
Version=1.0
Name=irconsole
Name[ru]=Пульт паяльной станции
GenericName=Soldering station console
GenericName[ru]=Пульт инфракрасной паяльной станции
Comment=Control console for an infrared soldering station
Comment[ru]=Программа управления инфракрасной паяльной станцией
Exec="$(exec_value "$folder/irconsole")"
TryExec=$(string_value "$folder/irconsole")
Icon=$(string_value "$folder/irconsole.svg")
Terminal=false
Categories=Utility;Electronics;
Keywords=soldering;rework;BGA;serial;
Keywords[ru]=пайка;паяльная станция;BGA;
StartupNotify=true
ENTRY

[ "$menu" = yes ] || exit 0

applications="${XDG_DATA_HOME:-$HOME/.local/share}/applications"
mkdir -p "$applications"
cp "$entry" "$applications/irconsole.desktop"
if command -v update-desktop-database >/dev/null 2>&1; then
    update-desktop-database "$applications" >/dev/null 2>&1 || true
fi
echo "irconsole is in the application menu ($applications/irconsole.desktop)"
