#!/bin/sh
# check_zip.sh CPACK CPACK_CONFIG PRODUCT_EXE WORKDIR: the release ZIP, made afresh, holds the
# product byte for byte and README.txt with CR LF ends, nothing else; its checksum file its hash.
# Packed again elsewhere, in another time zone and umask, it is the same bytes; with no commit
# time and no SOURCE_DATE_EPOCH there is no ZIP, nor the one packed there before. A changed tree
# (of a scratch repo, its untracked files aside) is not packed under the release name.
# shellcheck disable=SC2015 # A && B || fail: whichever step fails, the check fails
set -eu
rm -rf "$4" && mkdir -p "$4/unpacked" && cd "$4" && "$1" --config "$2" -B . >/dev/null
zip=$(echo ./*.zip) && listing=$(cmake -E tar tf "$zip" | sort | tr '\n' ' ')
echo "$zip, $(wc -c <"$zip") bytes: $listing"
[ "$listing" = "PellomirStartup.exe README.txt " ]
[ "$(cat "$zip.sha256")" = "$(cmake -E sha256sum "${zip#./}")" ] || { echo "wrong $zip.sha256"; exit 1; }
(umask 027 && TZ=JST-9 "$1" --config "$2" -B again >/dev/null) && cmp "$zip" "again/$zip"
! why=$(env -u SOURCE_DATE_EPOCH GIT_DIR=/nowhere "$1" --config "$2" -B again 2>&1) &&
    [ "$(echo again/*.zip*)" = "again/*.zip*" ] && echo "$why" | grep -q SOURCE_DATE_EPOCH ||
    { echo "$why"; exit 1; }
git init -q g && echo 1 >g/f && git -C g add f && git -C g -c user.name=t -c user.email=t \
    -c commit.gpgsign=false commit -qm t && echo 2 >g/f && : >g/untracked && g=$PWD/g
why=$(env -u SOURCE_DATE_EPOCH GIT_DIR="$g/.git" GIT_WORK_TREE="$g" "$1" --config "$2" -B dirty 2>&1) &&
    rel=${zip%.zip} && rel=${rel%-uncommitted} && [ ! -e "dirty/$rel.zip" ] &&
    [ -e "dirty/$rel-uncommitted.zip" ] && echo "$why" | grep -q "not the release, as f differs" ||
    { echo "$why"; exit 1; }
cd unpacked && cmake -E tar xf "../$zip" && cmp PellomirStartup.exe "$3"
! grep -qv "$(printf '\r')\$" README.txt || { echo "README.txt: a line without CR LF"; exit 1; }
