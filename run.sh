#!/bin/bash
# ./run.sh [--update-screenshot]
# Installs what is missing, builds the product (build/win32) and its x86_64 twin (build/win64),
# and starts the launcher in its build folder, where it finds config.ini and Bin\Plurex.exe.
# On a display the form is yours until you close it; with no display a scripted session runs
# on a virtual X server and leaves a picture of the form in build/<preset>/screenshot.png,
# which --update-screenshot (always made without a display) also copies to docs/.
set -euo pipefail
cd "$(dirname "$0")"
update=no
case ${1:-} in
"") ;;
--update-screenshot) update=yes && unset DISPLAY ;;
*) echo "usage: $0 [--update-screenshot]" >&2 && exit 2 ;;
esac

cmake/install-deps.sh
for preset in win32 win64; do
    echo "Building build/$preset"
    cmake --preset $preset >/dev/null
    cmake --build --preset $preset -j2 >/dev/null
done

build=
stop_wine() { [ -z "$build" ] || cmake/wine-session.sh stop "$build"; build=; }
start_wine() { build=$1 && cmake/wine-session.sh start "$build" >/dev/null; }
trap stop_wine EXIT
trap 'exit 130' INT TERM

# Tried for real: the 32-bit loader may be missing, or the kernel may refuse to execute it.
runs_32bit() {
    [ -x /usr/lib/wine/wine ] || return 1
    start_wine build/win32
    case $(timeout 60 build/win32/wine-run.sh build/win32/tools/demo/demo.exe 2>/dev/null) in
    Usage:*) return 0 ;;
    esac
    stop_wine && return 1
}
if runs_32bit; then
    echo "Running the product, build/win32"
else
    echo "Wine cannot start 32-bit programs here, so the x86_64 twin build/win64 runs instead"
    start_wine build/win64
fi

if [ -n "${DISPLAY:-}" ]; then
    # A window manager should frame the form (the test sessions turn that off).
    "$build/wine-run.sh" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d Y /f >/dev/null
    echo "Starting $build/PellomirStartup.exe on display $DISPLAY; close the form to end"
    status=0
    (cd "$build" && ./wine-run.sh PellomirStartup.exe) || status=$?
    echo "The launcher ended with exit status $status"
    exit $status
fi

echo "No display: a scripted session on a virtual X server"
shot=$build/screenshot.png
rm -f "$shot" "$build/screenshot.signal"
(cd "$build" && ./wine-run.sh tools/demo/demo.exe PellomirStartup.exe screenshot.signal) |
    while IFS= read -r line; do
        echo "$line"
        case $line in
        "Form ready for a screenshot at "*)
            geometry=${line#Form ready for a screenshot at } && geometry=${geometry%%;*}
            if DISPLAY=$(cat "$build/wineprefix.display") import -window root png:- |
                convert - -crop "$geometry" +repage "$shot"; then
                echo "Saved $shot"
            else
                echo "Could not take the screenshot"
            fi
            touch "$build/screenshot.signal"
            ;;
        esac
    done
if [ $update = yes ]; then
    cp "$shot" docs/screenshot.png && echo "Copied it to docs/screenshot.png"
fi
