#!/bin/bash
# Installs what the build, the tests and the demo need on Debian 12 or 13, when something is
# missing: as root, or through sudo for an ordinary user. A run with nothing missing needs neither.
set -euo pipefail
need=""
want_command() { command -v "$1" >/dev/null 2>&1 || need="$need $2"; }
want_file() { [ -e "$1" ] || need="$need $2"; }
# libFuzzer lies where the compiler keeps its runtimes, which moves between releases: ask it.
fuzzer_links() {
    local out status
    out=$(mktemp) || return 1
    printf 'extern "C" int LLVMFuzzerTestOneInput(const char *, unsigned long) { return 0; }\n' |
        clang++ -x c++ -fsanitize=fuzzer -o "$out" - >/dev/null 2>&1
    status=$?
    rm -f "$out"
    return $status
}

want_command cmake cmake
want_command make make
want_command clang++ clang
fuzzer_links || need="$need libclang-rt-dev"
want_file /usr/src/googletest/CMakeLists.txt googletest
want_command i686-w64-mingw32-g++-posix g++-mingw-w64-i686-posix
want_command x86_64-w64-mingw32-g++-posix g++-mingw-w64-x86-64-posix
want_command i686-w64-mingw32-windres binutils-mingw-w64-i686
want_command x86_64-w64-mingw32-windres binutils-mingw-w64-x86-64
want_file /usr/i686-w64-mingw32/include/windows.h mingw-w64-i686-dev
want_file /usr/x86_64-w64-mingw32/include/windows.h mingw-w64-x86-64-dev
want_file /usr/lib/wine/wine64 wine64
# Wine's 32-bit side, which runs the product itself.
want_file /usr/lib/wine/wine wine32:i386
want_file /usr/share/wine/fonts/ms_sans_serif.ttf fonts-wine
want_command Xvfb xvfb
want_command xauth xauth
want_file /usr/include/ini.h libinih-dev
# import, not convert: some machines have a convert of their own that is no ImageMagick.
want_command import imagemagick
want_command pkg-config pkg-config
want_command strip-nondeterminism strip-nondeterminism
# Signing the release and checking one: osslsigncode reaches a token through OpenSSL's PKCS#11
# engine; the tests' throwaway token is SoftHSM2's; git clones the commit that verify.sh rebuilds.
want_command osslsigncode osslsigncode
want_command openssl openssl
want_command git git
[ -n "$(find /usr/lib -path '*/engines-3/pkcs11.so' -print -quit 2>/dev/null)" ] ||
    need="$need libengine-pkcs11-openssl"
want_command softhsm2-util softhsm2
[ -n "$need" ] || exit 0
# As root, or through sudo, which asks for the user's password where its rules want one.
if [ "$(id -u)" -eq 0 ]; then
    as_root() { "$@"; }
    echo "Installing:$need"
elif command -v sudo >/dev/null; then
    as_root() { sudo "$@"; }
    echo "Installing:$need (through sudo, as root)"
    sudo -v || { echo "sudo gave no root: run $0 as root to install:$need" >&2; exit 1; }
else
    echo "Missing:$need; installing them needs root, and there is no sudo: run $0 as root" >&2
    exit 1
fi

case $need in
*:i386*) dpkg --print-foreign-architectures | grep -qx i386 || as_root dpkg --add-architecture i386 ;;
esac
log=$(mktemp)
trap 'rm -f "$log"' EXIT
# Another apt or dpkg at work is waited for, not taken for a broken mirror. sudo passes no file
# descriptor but the standard three, so apt's progress comes on standard output.
apt=(as_root env DEBIAN_FRONTEND=noninteractive apt-get -q -o DPkg::Lock::Timeout=600)
# The package lists' lock is not covered by that timeout.
update() {
    local tries
    for tries in $(seq 60); do
        "${apt[@]}" update >"$log" 2>&1 && return 0
        grep -q '^E: Could not get lock' "$log" || return 1
        [ "$tries" -gt 1 ] || echo "Waiting for another apt to end"
        sleep 10
    done
    return 1
}
# A mirror in the middle of a sync fails one index; the others are still worth having.
echo "Updating the package lists"
if ! update; then
    echo "apt-get update failed, as below; going on with the lists there are:"
    grep '^[EW]:' "$log" | sed 's/^/  /' || true
fi

# apt's own progress lines ("dlstatus:N:PERCENT:WHAT", then pmstatus), in steps of a tenth.
progress() {
    awk -F: '$1 ~ /^(dl|pm)status$/ && $1 int($3 / 10) != last {
        last = $1 int($3 / 10)
        printf "  %s %d%%\n", $1 == "dlstatus" ? "downloaded" : "installed", int($3 / 10) * 10
        fflush()
    }'
}
# shellcheck disable=SC2086 # one word per package
apt_install() {
    "${apt[@]}" install -y --no-install-recommends -o APT::Status-Fd=1 "$@" $need 2>&1 |
        tee "$log" | progress
}
apt_install && exit 0
# Out of step, the security suite may carry amd64 packages newer than their i386 twins; the
# release's own suite has both at one version. Any other failure is apt's to tell.
# shellcheck source=/dev/null
suite=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
if [ -n "$suite" ] && grep -q 'unmet dependencies\|held broken packages' "$log"; then
    echo "The packages did not resolve together; trying once more from the suite $suite alone"
    apt_install -t "$suite" && exit 0
fi
grep '^E:' "$log" | sed 's/^/  /' >&2 || true
echo "Could not install:$need" >&2
exit 1
