#!/usr/bin/env bash
# Builds the three release packages with CPack and checks what each holds:
#   build/release  native, Release, no tests  -> tarquel-cli_VERSION_ARCH.deb
#   build-win64    MinGW-w64 x86-64           -> tarquel-VERSION-win64.zip
#   build-win32    MinGW-w64 i686             -> tarquel-VERSION-win32.zip
# The folders are configured as scripts/run.sh and ui/windows-tests.sh do, so
# those scripts reuse the builds. Only the packaged programs are built (not
# the tests or the benchmark): the package target and CPack's install step
# are configured not to build everything first. VERSION is the project
# version CMake read.
# Each package is listed; the script exits nonzero when a build fails, a
# package lacks a file or holds one it should not, a Windows program is built
# for the wrong processor, or the packaged tarquel-cli does not run.
# Usage: scripts/package.sh          (JOBS=N sets the build parallelism, default 2)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
bash scripts/install-deps.sh --windows
for tool in dpkg-deb dpkg-shlibdeps unzip; do
    if ! command -v "$tool" >/dev/null; then
        echo "package.sh: $tool not found (Debian packages: dpkg-dev, unzip)" >&2
        exit 2
    fi
done
jobs="${JOBS:-2}"
generator=()
if command -v ninja >/dev/null; then generator=(-G Ninja); fi
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
failures=0

fail() {
    echo "MISSING/WRONG: $*" >&2
    failures=$((failures + 1))
}

projectVersion() {  # projectVersion BUILD-DIR
    sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$1/CMakeCache.txt"
}

# configure DIR ARGS...: configures DIR so that its package target (with
# Ninja) and CPack's preinstall step (with Makefiles) build nothing themselves.
configure() {
    local dir=$1
    shift
    cmake -S . -B "$dir" --no-warn-unused-cli -DCMAKE_SKIP_PACKAGE_ALL_DEPENDENCY=ON \
          -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON "$@" >/dev/null
}

# makePackage DIR FILE TARGET...: builds the TARGETs, then DIR's package
# target; FILE must be new.
makePackage() {
    local dir=$1 file=$2
    shift 2
    rm -f "$dir/$file"
    cmake --build "$dir" --parallel "$jobs" --target "$@"
    cmake --build "$dir" --parallel "$jobs" --target package
    [ -f "$dir/$file" ] || { fail "$dir/$file was not made"; return 1; }
}

# sameFiles WHAT EXPECTED ACTUAL: both newline-separated lists, any order.
sameFiles() {
    local missing extra
    missing="$(comm -23 <(sort <<<"$2") <(sort <<<"$3"))"
    extra="$(comm -13 <(sort <<<"$2") <(sort <<<"$3"))"
    [ -z "$missing" ] || fail "$1 lacks:" $missing
    [ -z "$extra" ] || fail "$1 should not hold:" $extra
}

# sameContents WHAT PACKAGED SOURCE: a packaged file (if there: sameFiles
# reports a missing one) is the repository's file, not a stale copy.
sameContents() {
    [ ! -f "$2" ] || cmp -s "$2" "$3" || fail "$1: ${2##*/} differs from $3"
}

# checkZip DIR PLATFORM OBJDUMP ARCHITECTURE
checkZip() {
    local version zip unpacked exe arch
    version="$(projectVersion "$1")"
    zip="tarquel-$version-$2.zip"
    makePackage "$1" "$zip" tarquel tarquel-cli || return 0
    echo "== $1/$zip"
    unzip -l "$1/$zip"
    sameFiles "$zip" "$(printf '%s\n' tarquel.exe tarquel-cli.exe Tarquel.html README.md LICENSE)" \
        "$(unzip -Z1 "$1/$zip")"
    unpacked="$scratch/$2"
    unzip -q -o "$1/$zip" -d "$unpacked"
    for exe in tarquel.exe tarquel-cli.exe; do
        [ -f "$unpacked/$exe" ] || continue
        arch="$("$3" -f "$unpacked/$exe" | sed -n 's/^architecture: \([^,]*\),.*/\1/p')"
        [ "$arch" = "$4" ] || fail "$zip: $exe is built for '$arch', not '$4'"
    done
    sameContents "$zip" "$unpacked/Tarquel.html" ui/Tarquel.html
    sameContents "$zip" "$unpacked/LICENSE" LICENSE
}

checkDeb() {  # checkDeb DIR
    local version deb field value unpacked
    version="$(projectVersion "$1")"
    deb="tarquel-cli_${version}_$(dpkg --print-architecture).deb"
    makePackage "$1" "$deb" tarquel-cli || return 0
    echo "== $1/$deb"
    dpkg-deb -I "$1/$deb"
    dpkg-deb -c "$1/$deb"
    sameFiles "$deb" "$(printf '%s\n' ./usr/bin/tarquel-cli \
            ./usr/share/doc/tarquel-cli/README.md ./usr/share/doc/tarquel-cli/copyright)" \
        "$(dpkg-deb -c "$1/$deb" | awk '$1 !~ /^d/ {print $6}')"
    for field in Package:tarquel-cli Version:"$version" Section:science Maintainer: Depends: Description:; do
        value="$(dpkg-deb -f "$1/$deb" "${field%%:*}")"
        if [ -z "$value" ] || { [ -n "${field#*:}" ] && [ "$value" != "${field#*:}" ]; }; then
            fail "$deb: control field ${field%%:*} is '$value'"
        fi
    done
    # Unpacked, not installed: the packaged program must run from there.
    unpacked="$scratch/deb"
    dpkg-deb -x "$1/$deb" "$unpacked"
    echo "== $unpacked/usr/bin/tarquel-cli --version"
    "$unpacked/usr/bin/tarquel-cli" --version || fail "$deb: tarquel-cli --version failed"
    sameContents "$deb" "$unpacked/usr/share/doc/tarquel-cli/copyright" LICENSE
}

echo "== native build (Release, no tests)"
configure build/release -DCMAKE_BUILD_TYPE=Release -DTARQUEL_TESTS=OFF
checkDeb build/release

for target in "build-win64 mingw-x86_64.cmake win64 x86_64-w64-mingw32-objdump i386:x86-64" \
              "build-win32 mingw-i686.cmake win32 i686-w64-mingw32-objdump i386"; do
    read -r dir toolchain platform objdump arch <<<"$target"
    echo "== $dir: MinGW-w64 build ($platform)"
    configure "$dir" "${generator[@]}" -DCMAKE_TOOLCHAIN_FILE="cmake/$toolchain" \
              -DCMAKE_BUILD_TYPE=Release -DTARQUEL_WERROR=ON
    checkZip "$dir" "$platform" "$objdump" "$arch"
done

echo "== done in ${SECONDS} s"
if [ "$failures" -ne 0 ]; then
    echo "package.sh: $failures problem(s) found" >&2
    exit 1
fi
echo "all three packages hold what they should"
