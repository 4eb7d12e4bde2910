#!/bin/bash
# tools/release/verify.sh [--ca CAFILE] ZIP...
# Checks release ZIPs as anyone can, from any clone of the project. For each ZIP:
# - the .sha256 beside it, where there is one;
# - its exe's signature, where it has one: who signed it, with which digest, whether it was
#   time-stamped, and that it matches the exe's bytes; with --ca, also that CAFILE's roots trust
#   its certificates (without, trust is left to Windows);
# - the commit that its README.txt names, built in a clean clone of its own (never this tree or
#   its build/): the exe, its signature removed, and README.txt must be the rebuilt ones byte for
#   byte, and an unsigned ZIP the rebuilt ZIP itself.
# Where this machine's toolchain is not the one README.txt names, it says which differs and, as
# root, rebuilds in a clean room of that Debian release (tools/cleanroom/run.sh). Each ZIP ends
# with one line; the exit status is 0 only when everything held for every ZIP. Its work folder,
# verify.XXXXXX in this tree, goes when it ends.
# shellcheck disable=SC2015 # A && B || fail: whichever step fails, the check fails
set -uo pipefail
usage() { echo "usage: $0 [--ca CAFILE] ZIP..." >&2 && exit 2; }
ca=""
if [ "${1:-}" = --ca ]; then
    [ $# -ge 2 ] && ca=$(realpath -e -- "$2") || usage
    shift 2
fi
[ $# -ge 1 ] || usage
zips=()
for zip in "$@"; do
    zip=$(realpath -e -- "$zip") || usage
    zips+=("$zip")
done
# The rebuild is the commit's plain release, whatever the caller has set for packing its own: it
# is not signed, and its git, time and folder are its own.
unset PELLOMIR_SIGN_CERT PELLOMIR_SIGN_KEY PELLOMIR_SIGN_PKCS11_MODULE PELLOMIR_SIGN_PIN_FILE \
    PELLOMIR_SIGN_TIMESTAMP_URL SOURCE_DATE_EPOCH GIT_DIR GIT_WORK_TREE GIT_INDEX_FILE
repo=$(cd "$(dirname "$0")/../.." && pwd -P)
cd "$repo" || exit 1
cmake/install-deps.sh >&2 || exit 1
work=$(mktemp -d "$repo/verify.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT
trap 'exit 130' INT TERM

# shellcheck source=cmake/signature.sh
. cmake/signature.sh

# why REASON: the ZIP's last line, and a failure.
why() { verdict="FAILS: $*" && return 1; }

# The origin lines of a README.txt: the commit, the Debian release and the tools.
origin() { sed -n 's/\r$//; /^  \(Commit\|Built on\|Compiler\|Linker\|Runtime\): /p' "$1"; }
# The value of LABEL's origin line in README.txt FILE.
origin_of() { origin "$2" | sed -n "s/^  $1: *//p"; }

# signature EXE: says what it is and leaves EXE.unsigned, the exe without it. Sets $signer.
signature() {
    local exe=$1 said certs=$1.certs stamped trusted=""
    signer=""
    if said=$(osslsigncode extract-signature -pem -in "$exe" -out "$exe.p7" 2>&1 </dev/null); then
        :
    elif echo "$said" | grep -q 'No signature found\|does not have any signature'; then
        echo "  PellomirStartup.exe is not signed"
        cp "$exe" "$exe.unsigned"
        return 0
    else
        why "its exe's signature cannot be read: $(echo "$said" | head -n 1)"
        return
    fi
    # The signature's own certificates as the roots: this checks what it says, not whom to trust.
    openssl pkcs7 -in "$exe.p7" -print_certs -out "$certs" 2>/dev/null ||
        { why "its exe's signature holds no certificates"; return; }
    signer=$(leaf "$certs")
    said=$(osslsigncode verify -CAfile "$certs" -in "$exe" 2>&1 </dev/null)
    stamped=$(time_stamp "$said")
    echo "  Signed by $signer, digest $(echo "$said" | sed -n 's/^Message digest algorithm *: //p' |
        head -n 1), ${stamped:+time-stamped at }${stamped:-not time-stamped}"
    if echo "$said" | grep -q 'MISMATCH'; then
        why "its exe's bytes do not match its signature: the exe was changed after it was signed"
        return
    elif ! echo "$said" | grep -q '^Signature verification: ok'; then
        why "its exe's signature does not hold: $(openssl_reason "$said")"
        return
    fi
    echo "  The signature matches the exe's bytes"
    if [ -n "$ca" ]; then
        osslsigncode verify -CAfile "$ca" -in "$exe" </dev/null 2>&1 |
            grep -q '^Signature verification: ok' ||
            { why "its signer's certificates are not trusted by $ca"; return; }
        trusted=", whose certificate $ca trusts"
    fi
    signer="signed by $signer$trusted"
    said=$(osslsigncode remove-signature -in "$exe" -out "$exe.unsigned" 2>&1 </dev/null) ||
        { why "its signature cannot be removed: $(echo "$said" | head -n 1)"; return; }
}

# rebuild COMMIT README: the ZIP that COMMIT packs with the toolchain README names, built once per
# commit, in $work/COMMIT; prints its path, or why there is none.
rebuild() {
    local commit=$1 readme=$2 out=$work/$1 here theirs suite
    if [ ! -e "$out/src" ]; then
        mkdir -p "$out"
        git cat-file -e "$commit^{commit}" 2>/dev/null ||
            { echo "commit $commit is not in this clone: git fetch it first" && return 1; }
        git clone -q --no-hardlinks --no-checkout "$repo" "$out/src" &&
            git -C "$out/src" checkout -q --detach "$commit" ||
            { echo "cannot clone commit $commit" && return 1; }
    fi
    here=$(cd "$out/src" && cmake -P cmake/Toolchain.cmake 2>&1) ||
        { echo "commit $commit cannot tell its toolchain: $here" && return 1; }
    theirs=$(origin "$readme" | grep -v '^  Commit:')
    if [ "$here" = "$theirs" ]; then
        if [ ! -e "$out/zip" ]; then
            echo "  Building commit $commit in $out/src" >&2
            (cd "$out/src" && cmake/build.sh --quiet win32 && cpack --preset win32) \
                >"$out/log" 2>&1 ||
                { echo "commit $commit did not build: see its log above" && cat "$out/log" >&2 &&
                    return 1; }
            mv "$out/src/build/win32/PellomirStartup-"*-win32.zip "$out/zip" ||
                { echo "commit $commit packed no release ZIP" && return 1; }
        fi
        echo "$out/zip"
        return 0
    fi
    echo "  It was built with another toolchain than this machine's:" >&2
    diff <(echo "$theirs") <(echo "$here") |
        sed -n 's/^< /    README.txt: /p; s/^> /    here:       /p' >&2
    suite=$(origin_of "Built on" "$readme" | sed -n 's/.*(\([a-z]*\))$/\1/p')
    if [ -z "$suite" ]; then
        echo "this machine cannot build it as it was built, nor name a Debian release that can"
        return 1
    elif [ "$(id -u)" -ne 0 ]; then
        echo "this machine cannot build it as it was built: run this as root, which rebuilds" \
            "it in a clean room of Debian $suite, or run it on Debian $suite"
        return 1
    fi
    if [ ! -e "$out/$suite.zip" ]; then
        echo "  Building commit $commit in a clean room of Debian $suite" >&2
        tools/cleanroom/run.sh "$suite" --pack "$commit" "$out/$suite" >&2 &&
            mv "$out/$suite/"*-win32.zip "$out/$suite.zip" ||
            { echo "the clean room of Debian $suite did not pack commit $commit" && return 1; }
    fi
    echo "$out/$suite.zip"
}

# same FILE REBUILT WHAT: FILE is REBUILT byte for byte, or says where they part: at a line of
# README.txt, at a byte of anything else.
same() {
    local at line
    at=$(cmp "$1" "$2" 2>&1) && return 0
    # "A B differ: byte N, line L" ("char" in the C locale), or "cmp: EOF on A after ..."
    if [[ $at == *EOF* ]]; then
        at="but for its length"
    elif [ "$3" = README.txt ]; then
        line=${at##*line }
        at="at line $line: \"$(line_of "$line" "$1")\", where it builds \"$(line_of "$line" "$2")\""
    else
        at=${at%,*} && at="from byte ${at##* } on"
    fi
    why "$3 differs from what commit $commit builds, $at"
}
line_of() { sed -n "$1{s/\r$//p;q}" "$2"; }

# check ZIP: everything above; $verdict is the ZIP's last line.
check() {
    local zip=$1 name dir rebuilt entries
    name=$(basename "$zip")
    dir=$work/unpacked-$count && mkdir -p "$dir" "$dir.rebuilt"
    if [ -f "$zip.sha256" ]; then
        [ "$(cut -d' ' -f1 "$zip.sha256")" = "$(sha256sum <"$zip" | cut -d' ' -f1)" ] ||
            { why "it does not match $name.sha256 beside it: a damaged download"; return; }
        echo "  It matches $name.sha256"
    else
        echo "  No $name.sha256 beside it: its checksum is not checked"
    fi
    (cd "$dir" && cmake -E tar xf "$zip") >/dev/null 2>&1 || { why "it does not unpack"; return; }
    entries=$(cd "$dir" && find . -mindepth 1 | sort | tr '\n' ' ')
    [ "$entries" = "./PellomirStartup.exe ./README.txt " ] ||
        { why "it holds $entries, not PellomirStartup.exe and README.txt"; return; }
    signature "$dir/PellomirStartup.exe" || return
    commit=$(origin_of Commit "$dir/README.txt")
    [[ $commit =~ ^[0-9a-f]{40}$ ]] ||
        { why "its README.txt names no commit it was built from: ${commit:-no Commit line}"
            return; }
    rebuilt=$(rebuild "$commit" "$dir/README.txt") || { why "$rebuilt"; return; }
    (cd "$dir.rebuilt" && cmake -E tar xf "$rebuilt") || { why "cannot unpack $rebuilt"; return; }
    same "$dir/README.txt" "$dir.rebuilt/README.txt" README.txt || return
    same "$dir/PellomirStartup.exe.unsigned" "$dir.rebuilt/PellomirStartup.exe" \
        "PellomirStartup.exe${signer:+ without its signature}" || return
    [ -n "$signer" ] || same "$zip" "$rebuilt" "The ZIP itself (its entries' times or modes)" ||
        return
    verdict="is exactly what commit $commit builds, ${signer:-not signed}"
}

status=0 count=0
for zip in "${zips[@]}"; do
    count=$((count + 1)) verdict=""
    echo "$zip"
    check "$zip" || status=1
    echo "$(basename "$zip") $verdict"
done
exit $status
