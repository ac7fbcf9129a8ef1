#!/usr/bin/env bash
# Draws docs/dpi-96.png and docs/dpi-144.png: docs/dpi.script run by the
# 64-bit reference host in a Wine prefix whose screen is set to 96 and then
# to 144 dots per inch (the LogPixels value, as Windows' display settings
# write it); and docs/dpi-144-editor.png, the kiv_CreateCanvas dialog at
# 144 dots per inch. The prefix is a copy of the one `./run demo` makes, so it has
# the same stand-ins for the Windows faces; it is kept as
# build/wineprefix-win64-dpi for later runs.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$root/build
prefix=$build/wineprefix-win64-dpi

"$root/run" demo >/dev/null # the host, the plug-in and the prefix to copy
if [ ! -f "$prefix/.canvas-dpi" ]; then
    rm -rf "$prefix"
    cp -a "$build/wineprefix-win64" "$prefix"
    touch "$prefix/.canvas-dpi"
fi

# The Wine layer ./run uses: its environment and loader, and a private
# screen of its own size, ended (with the prefix's server) on exit.
source "$root/tests/win/wine-env.sh"
wine_use win64 "$prefix"
PREFIXES_IN_USE+=("$prefix")
CANVAS_PRIVATE_DISPLAY=1 CANVAS_SCREEN=1024x768x24 ensure_display

# The dialog's picture is taken by a script of one line, which names the
# file by its absolute path (drive Z: under Wine).
editor_script=$(mktemp)
trap 'rm -f "$editor_script"; layer_cleanup' EXIT
printf 'edit kiv_CreateCanvas "Rect\xc3\xa1ngulo 1" "$FFFFFF" capture="%s" close=cancel\n' \
    "$root/docs/dpi-144-editor.png" >"$editor_script"

for dpi in 96 144; do
    "$WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD \
        /d "$dpi" /f >/dev/null 2>&1
    # Settled before the host starts, which reads the value then.
    "$WINESERVER" -w
    (cd "$build/win64/bin" && "$WINE" canvas-host.exe --plugin canvas.nbp \
        --screenshot "$root/docs/dpi-$dpi.png" --exit "$root/docs/dpi.script" >/dev/null)
    "$WINESERVER" -w
    echo "$root/docs/dpi-$dpi.png"
    if [ "$dpi" = 144 ]; then
        (cd "$build/win64/bin" && "$WINE" canvas-host.exe --plugin canvas.nbp \
            --exit "$editor_script" >/dev/null)
        "$WINESERVER" -w
        echo "$root/docs/dpi-144-editor.png"
    fi
done
