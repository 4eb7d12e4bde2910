#!/bin/sh
# check_zip.sh CPACK CPACK_CONFIG PRODUCT_EXE WORKDIR: the release ZIP, made afresh, holds the
# product byte for byte and README.txt with CR LF ends, nothing else; its checksum file its hash.
# Packed again elsewhere, in another time zone and umask, it is the same bytes; with no commit
# time and no SOURCE_DATE_EPOCH there is no ZIP.
set -eu
rm -rf "$4" && mkdir -p "$4/unpacked" && cd "$4" && "$1" --config "$2" -B . >/dev/null
zip=$(echo ./*.zip) && listing=$(cmake -E tar tf "$zip" | sort | tr '\n' ' ')
echo "$zip, $(wc -c <"$zip") bytes: $listing"
[ "$listing" = "PellomirStartup.exe README.txt " ]
[ "$(cat "$zip.sha256")" = "$(cmake -E sha256sum "${zip#./}")" ] || { echo "wrong $zip.sha256"; exit 1; }
(umask 027 && TZ=JST-9 "$1" --config "$2" -B again >/dev/null) && cmp "$zip" "again/$zip"
! why=$(env -u SOURCE_DATE_EPOCH GIT_DIR=/nowhere "$1" --config "$2" -B none 2>&1) &&
    [ ! -e "none/$zip" ] && echo "$why" | grep -q SOURCE_DATE_EPOCH || { echo "$why"; exit 1; }
cd unpacked && cmake -E tar xf "../$zip" && cmp PellomirStartup.exe "$3"
! grep -qv "$(printf '\r')\$" README.txt || { echo "README.txt: a line without CR LF"; exit 1; }
