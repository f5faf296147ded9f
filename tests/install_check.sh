#!/usr/bin/env bash
# Installs the build into a fresh prefix and uses it as a new user would: from an empty folder,
# with an empty home folder and no settings.
#   install_check.sh BUILD_DIR cli      gridmoor-cli places a bundled unit and exports it
#   install_check.sh BUILD_DIR editor   gridmoor starts, stays up and makes the user's game folder
set -euo pipefail
build=$1 mode=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
mkdir -p "$work/cwd" "$work/home"
cd "$work/cwd"
export HOME=$work/home XDG_CONFIG_HOME= XDG_DATA_HOME=

test -f "$prefix/share/gridmoor/bg.jpg"

case "$mode" in
    cli)
        "$prefix/bin/gridmoor-cli" place --out w.raw tower.txt@45,45 road.txt@45,46
        "$prefix/bin/gridmoor-cli" export w.raw w.map w.opt | grep -q '^Opt size: '
        test -s w.map && test -s w.opt
        ;;
    editor)
        # The launcher and its icon come with the editor (a core-only build has neither).
        test -f "$prefix/share/applications/gridmoor.desktop"
        test -f "$prefix/share/icons/hicolor/scalable/apps/gridmoor.svg"
        "$prefix/bin/gridmoor" >"$work/out.txt" 2>&1 &
        pid=$!
        sleep 4
        if ! kill -0 "$pid" 2>/dev/null; then
            cat "$work/out.txt" >&2
            echo "the installed editor did not stay up" >&2
            exit 1
        fi
        kill "$pid"
        wait "$pid" 2>/dev/null || true
        test -f "$HOME/.local/share/kwr/SkyhaulGridmoor/game/CFG/CD/GMWall.txt"
        test -d "$HOME/.local/share/kwr/SkyhaulGridmoor/game/DATA"
        ;;
esac
echo "install check ($mode) passed"
