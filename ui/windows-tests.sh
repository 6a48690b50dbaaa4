#!/usr/bin/env bash
# Builds the Windows program for x86-64 and i686 with MinGW-w64 and runs the
# Windows test suites (engine and data files, and the real windows driven by
# messages) under Wine on a virtual X display.
#
# Needs: cmake, ninja-build, g++-mingw-w64-x86-64-posix, g++-mingw-w64-i686-posix,
#        wine64 (with wine), fonts-ipafont-gothic, xvfb, xauth.
# Usage: ui/windows-tests.sh        (from anywhere; exits nonzero on any failure)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

generator=()
if command -v ninja >/dev/null; then generator=(-G Ninja); fi

build() {  # build DIR TOOLCHAIN
    cmake -S . -B "$1" "${generator[@]}" -DCMAKE_TOOLCHAIN_FILE="cmake/$2" \
          -DCMAKE_BUILD_TYPE=Release -DTARQUEL_WERROR=ON >/dev/null
    cmake --build "$1" --parallel
}

echo "== building the x86-64 Windows program and tests"
build build-win64 mingw-x86_64.cmake
echo "== building the i686 Windows program and tests (built only: not run here)"
build build-win32 mingw-i686.cmake

# A private Wine prefix, prepared without questions: no Mono or Gecko
# installers, no debug chatter, and windows that no window manager handles
# (without one, Wine would wait about a second for every window it hides).
# Wine's crash debugger stays off: after it has run, a program that crashed
# ends with status 0, and a crashing test would pass.
export WINEPREFIX="$root/build-win64/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "== preparing the Wine prefix"
    wineboot -i >/dev/null 2>&1 || true
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    wineserver -w
fi

# The dialog's font, "ＭＳ Ｐゴシック", is not part of Wine; IPA P Gothic
# (fonts-ipafont-gothic) has its metrics, so the window tests see the dialog
# at the size it has on Windows. (The value name is UTF-8 on the command
# line, so Wine needs a UTF-8 locale to read it.)
LC_ALL=C.UTF-8 wine reg add 'HKCU\Software\Wine\Fonts\Replacements' \
    /v 'ＭＳ Ｐゴシック' /d 'IPAPGothic' /f >/dev/null 2>&1
wineserver -w

echo "== running the Windows tests under Wine"
status=0
xvfb-run -a -s "-screen 0 1024x768x24" \
    ctest --test-dir build-win64 --output-on-failure --timeout 300 || status=$?
wineserver -k 2>/dev/null || true
if [ "$status" -eq 0 ]; then
    echo "Windows tests: all passed (x86-64 under Wine; i686 built)"
else
    echo "Windows tests: FAILED (ctest status $status)"
fi
exit "$status"
