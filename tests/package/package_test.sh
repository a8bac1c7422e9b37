#!/usr/bin/env bash
# Builds the Debian package from the build tree, checks what it holds and what it depends on,
# then starts the program extracted from it, as the desktop entry would: from the extracted
# recordings folder. Choosing a key must open the three recordings with no error (their Play
# buttons turn green), and closing the window must end the program with exit code 0.
# Usage: package_test.sh BUILD-DIR CLOSE-WINDOW-TOOL
set -euo pipefail

build=$(realpath "$1")
close_window=$(realpath "$2")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$scratch/out" >/dev/null
deb=$(ls "$scratch"/out/quarvelo_*.deb) || fail "no package was written"
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"

# What the package holds.
contents=$(dpkg-deb -c "$deb" | awk '{ $1 = $2 = $3 = $4 = $5 = ""; sub(/^ +/, ""); print }')
expected=(
    ./usr/bin/quarvelo
    ./usr/share/applications/org.example.quarvelo.desktop
    ./usr/share/metainfo/org.example.quarvelo.metainfo.xml
    ./usr/share/icons/hicolor/32x32/apps/org.example.quarvelo.png
    ./usr/share/icons/hicolor/256x256/apps/org.example.quarvelo.png
    ./usr/share/icons/hicolor/scalable/apps/org.example.quarvelo.svg
    "./usr/share/quarvelo/recordings/La Bem Prim.MID"
    "./usr/share/quarvelo/recordings/Re Mel.MID"
    "./usr/share/quarvelo/recordings/La Sus Harm.MID"
)
for path in "${expected[@]}"; do
    grep -qxF "$path" <<<"$contents" || fail "the package lacks $path"
done
recordings=$(grep -c '^\./usr/share/quarvelo/recordings/.*\.MID$' <<<"$contents")
[[ $recordings -eq 45 ]] || fail "the package holds $recordings recordings, not 45"

# What it depends on: the libraries the binary links, and what it needs at run time that no
# link shows (a General MIDI soundfont, the window's font, Qt's X11 platform plugin).
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for needed in libqt6widgets6 libfluidsynth3 "timgm6mb-soundfont | sf2-soundfont-gm" \
    fonts-liberation qt6-qpa-plugins; do
    grep -qF "$needed" <<<"$depends" || fail "Depends lacks $needed"
done

root="$scratch/root"
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/org.example.quarvelo.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/org.example.quarvelo.metainfo.xml" >/dev/null
grep -qx 'Path=/usr/share/quarvelo/recordings' "$root/usr/share/applications/org.example.quarvelo.desktop" \
    || fail "the desktop entry does not start the program in its recordings folder"

export SCRATCH=$scratch ROOT=$root CLOSE_WINDOW=$close_window
xvfb-run -a -s "-screen 0 1280x1024x24" bash -euo pipefail -c '
    fail() { echo "FAIL: $*" >&2; exit 1; }
    # The colour of one screen pixel, as rrggbb.
    pixel() { import -window root -crop "1x1+$1+$2" -depth 8 txt:- | grep -o "#[0-9A-F]\{6\}" | head -1; }

    cd "$ROOT/usr/share/quarvelo/recordings"
    "$ROOT/usr/bin/quarvelo" >"$SCRATCH/stdout" 2>"$SCRATCH/stderr" &
    program=$!
    window=$(timeout 20 xdotool search --sync --name "^Quarvelo - Versão 1.0$" | head -1) \
        || fail "no window appeared"
    # No window manager runs here: the window lies at its own position, the client area at
    # 178,188, and takes the keyboard only when given it.
    xdotool windowfocus --sync "$window"
    xdotool mousemove 360 214 click 1   # into the key list, at 178 + 128, 188 + 16
    xdotool key Down                     # its first entry, Lá Menor
    # Each Play glyph is green once its recording is open.
    for top in 72 200 328; do
        colour=""
        for _ in $(seq 50); do
            colour=$(pixel $((178 + 72 + 14)) $((188 + top + 15)))
            [[ $colour == "#00A000" ]] && break
            sleep 0.1
        done
        [[ $colour == "#00A000" ]] || fail "the player at top $top did not open its recording ($colour)"
    done
    if xdotool search --onlyvisible --name "^quarvelo$" >/dev/null 2>&1; then
        fail "an error box appeared"
    fi
    "$CLOSE_WINDOW" "$window"
    status=0
    timeout 10 tail --pid=$program -f /dev/null || fail "the program did not end"
    wait $program || status=$?
    [[ $status -eq 0 ]] || fail "the program ended with $status"
'
echo "package test passed"
