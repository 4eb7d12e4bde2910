#!/bin/bash
# ./run.sh [--update-screenshot]
# Installs what is missing, builds the product (build/win32) and its x86_64 twin (build/win64),
# and starts the product in its build folder, where it finds config.ini and Bin\Plurex.exe; the
# twin runs only where this machine cannot run 32-bit code.
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
cmake/build.sh --quiet win32 win64

# A session of its own, apart from the tests' (build/wineprefix): either may run while the other
# does. A second ./run.sh finds this prefix taken and says so. The traps come first, so that an
# interrupt while the session starts ends it too.
prefix=$PWD/build/run-wineprefix
session=$PWD/cmake/wine-session.sh
trap '"$session" stop "$prefix"' EXIT
trap 'exit 130' INT TERM
if [ -n "${DISPLAY:-}" ]; then
    "$session" start-on-display "$prefix" >/dev/null
else
    "$session" start "$prefix" >/dev/null
fi
if why=$("$session" 32bit "$prefix"); then
    build=build/win32
    echo "Running the product, $build"
else
    build=build/win64
    echo "This machine cannot run the product's 32-bit code, so its x86_64 twin $build runs" \
        "instead: $why"
fi
wine() { (cd "$build" && "$session" run "$prefix" "$@"); }

if [ -n "${DISPLAY:-}" ]; then
    # A window manager should frame the form (the test sessions turn that off).
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d Y /f >/dev/null
    echo "Starting $build/PellomirStartup.exe on display $DISPLAY; close the form to end"
    status=0
    wine PellomirStartup.exe || status=$?
    echo "The launcher ended with exit status $status"
    exit $status
fi

# A picture is written beside its place and moved there only once it is whole.
echo "No display: a scripted session on a virtual X server"
shot=$build/screenshot.png
rm -f "$shot" "$shot.part" "$build/screenshot.signal"
wine tools/demo/demo.exe PellomirStartup.exe screenshot.signal |
    while IFS= read -r line; do
        echo "$line"
        case $line in
        "Form ready for a screenshot at "*)
            geometry=${line#Form ready for a screenshot at } && geometry=${geometry%%;*}
            if "$session" env "$prefix" import -window root -crop "$geometry" +repage \
                "png:$shot.part" && mv "$shot.part" "$shot"; then
                echo "Saved $shot"
            else
                rm -f "$shot.part"
                echo "Could not take the screenshot"
            fi
            touch "$build/screenshot.signal"
            ;;
        esac
    done
[ -e "$shot" ] || { echo "No screenshot was saved" >&2 && exit 1; }
if [ $update = yes ]; then
    cp "$shot" docs/screenshot.png.part || { rm -f docs/screenshot.png.part && exit 1; }
    mv docs/screenshot.png.part docs/screenshot.png
    echo "Copied it to docs/screenshot.png"
fi
