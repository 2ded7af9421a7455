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
#   install-desktop-entry.sh --system FILE    the entry of the installed package
#                                             into FILE: the program and its icon by
#                                             name, found on PATH and in the icon theme
set -eu

usage() {
    echo "usage: $0 [--entry-only DIR | --system FILE]" >&2
    exit 2
}

here=$(CDPATH='' cd -- "$(dirname -- "$0")" && pwd -P)
folder=$here
menu=yes
entry="$here/irconsole.desktop"
system=no
case "${1-}" in
--entry-only)
    [ $# -eq 2 ] || usage
    folder=$2
    menu=no
    ;;
--system)
    [ $# -eq 2 ] || usage
    entry=$2
    menu=no
    system=yes
    ;;
"") ;;
*) usage ;;
esac

# A desktop entry's strings escape the backslash; a quoted Exec argument also
# escapes " ` $ and \ (so a backslash ends up as four), and % doubles.
string_value() { printf '%s' "$1" | sed -e 's/\\/\\\\/g'; }
exec_value() {
    printf '%s' "$1" | sed -e 's/[\\"`$]/\\&/g' -e 's/%/%%/g' -e 's/\\/\\\\/g'
}

if [ "$system" = yes ]; then
    exec_line=irconsole
    try_exec=irconsole
    icon=irconsole
else
    exec_line="\"$(exec_value "$folder/irconsole")\""
    try_exec=$(string_value "$folder/irconsole")
    icon=$(string_value "$folder/irconsole.svg")
fi

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
Exec=$exec_line
TryExec=$try_exec
Icon=$icon
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
