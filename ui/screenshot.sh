#!/usr/bin/env bash
# Takes docs/screenshot.png, docs/plot-screenshot.png and
# docs/results-screenshot.png: the real window of tarquel.exe under Wine on a
# virtual X display after a real run on an example data file, its Weibull
# plot window (File > Plot...) and its Results window (File > Results...).
#
# Needs: the x86-64 Windows build (ui/windows-tests.sh makes it), wine64,
#        xvfb, xauth, imagemagick.
# Usage: ui/screenshot.sh [DATAFILE]    (default examples/bearings.dat)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
build="$root/build-win64"
data="${1:-examples/bearings.dat}"

if [ ! -f "$build/ui/tarquel.exe" ]; then
    cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake \
          -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" --target tarquel tarquel_screenshot_driver >/dev/null

export WINEPREFIX="$build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >/dev/null 2>&1 || true
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    wineserver -w
fi

# The dialog's font, "ＭＳ Ｐゴシック", is not part of Wine; IPA P Gothic
# (fonts-ipafont-gothic) has its metrics and stands in for it, as in the
# window tests. (The value name is UTF-8 on the command line, so Wine needs a
# UTF-8 locale to read it.)
LC_ALL=C.UTF-8 wine reg add 'HKCU\Software\Wine\Fonts\Replacements' \
    /v 'ＭＳ Ｐゴシック' /d 'IPAPGothic' /f >/dev/null 2>&1
wineserver -w

# Inside the virtual display: start the program with the data file on its
# command line (copied beside it, as a bare name, so the field shows a short
# name), press Calculate through the driver, capture, crop to the window;
# then open the plot window and the Results window through the driver, and
# capture and crop each.
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp "$data" "$work/"
name="$(basename "$data")"
cat > "$work/shoot.sh" <<SHOOT
set -euo pipefail
cd "$work"
wine "$build/ui/tarquel.exe" "$name" &
app=\$!
geometry=\$(wine "$build/ui/tarquel_screenshot_driver.exe" 1 | tr -d '\r')
import -window root "$work/screen.png"
convert "$work/screen.png" -crop "\$geometry" +repage "$root/docs/screenshot.png"
geometry=\$(wine "$build/ui/tarquel_screenshot_driver.exe" plot | tr -d '\r')
import -window root "$work/screen.png"
convert "$work/screen.png" -crop "\$geometry" +repage "$root/docs/plot-screenshot.png"
geometry=\$(wine "$build/ui/tarquel_screenshot_driver.exe" results | tr -d '\r')
import -window root "$work/screen.png"
convert "$work/screen.png" -crop "\$geometry" +repage "$root/docs/results-screenshot.png"
kill \$app 2>/dev/null || true
wineserver -k 2>/dev/null || true
SHOOT
mkdir -p docs
xvfb-run -a -s "-screen 0 1280x720x24" bash "$work/shoot.sh"
echo "wrote docs/screenshot.png, docs/plot-screenshot.png and docs/results-screenshot.png"
