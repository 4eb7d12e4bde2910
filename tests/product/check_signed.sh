#!/bin/sh
# check_signed.sh CPACK CPACK_CONFIG PRODUCT_EXE WORKDIR: this tree as a commit, signed by a
# throwaway token, verifies against its CA, is the product plus a signature, packs twice the same;
# a wrong PIN leaves no ZIP. verify.sh holds on it and on an unsigned one, and names what differs
# in copies with a byte of the code or README.txt changed. exe/ is for e2e.signed.
# shellcheck disable=SC2015 # A && B || fail: whichever step fails, the check fails
set -eu
src=$(cd "$(dirname "$0")/../.." && pwd) cpack=$1 config=$2
rm -rf "$4" && mkdir -p "$4" && cd "$4"
c=$(git -C "$src" stash create) && git clone -q "$src" repo && git -C repo checkout -q "${c:-HEAD}"
pack() { # DIR: $zip, or cpack's output and the end
    GIT_DIR=$PWD/repo/.git GIT_WORK_TREE=$PWD/repo "$cpack" --config "$config" -B "$1" \
        >"$1.log" 2>&1 && zip=$(echo "$1"/*.zip) && [ -f "$zip" ] || { cat "$1.log" && exit 1; }
}
pack unsigned && unsigned=$zip && eval "$(repo/tools/release/try-token.sh "$PWD/token")"
pack again && pack signed && cmp "$zip" "again/${zip#signed/}"
mkdir exe && (cd exe && cmake -E tar xf "../$zip")
osslsigncode verify -CAfile token/ca.pem -in exe/PellomirStartup.exe | grep -q '^Signature verification: ok'
osslsigncode remove-signature -in exe/PellomirStartup.exe -out stripped.exe >/dev/null
cmp stripped.exe "$3" && echo 0000 >token/wrong
! (PELLOMIR_SIGN_PIN_FILE=token/wrong pack again) >/dev/null || exit 1
[ "$(echo again/*.zip*)" = "again/*.zip*" ] && grep -q "No ZIP: .*PIN incorrect" again.log
altered() { # NAME ZIP COMMAND: NAME.zip, a copy of ZIP with COMMAND run on its files
    mkdir "$1" && (cd "$1" && cmake -E tar xf "../$2" && eval "$3" &&
        cmake -E tar cf "../$1.zip" --format=zip PellomirStartup.exe README.txt)
}
code='printf "\220" | dd of=PellomirStartup.exe bs=1 seek=1536 conv=notrunc 2>/dev/null'
altered signed-code "$zip" "$code" && altered unsigned-code "$unsigned" "$code"
altered readme "$unsigned" "sed -i s/Minimum/Minimal/ README.txt"
! repo/tools/release/verify.sh --ca token/ca.pem "$zip" "$unsigned" signed-code.zip \
    unsigned-code.zip readme.zip >verify.log 2>&1 || { cat verify.log && exit 1; }
for said in "win32.zip is exactly what commit .* builds, signed by CN=Pellomir throwaway signer" \
    "win32.zip is exactly what commit .* builds, not signed" \
    "signed-code.zip FAILS: its exe's bytes do not match its signature" \
    "unsigned-code.zip FAILS: PellomirStartup.exe differs from what commit .* from byte 1537" \
    "readme.zip FAILS: README.txt differs .* \"  Minimal (integer)\", where it builds \"  Minimum"; do
    grep -q "$said" verify.log || { cat verify.log && echo "verify.sh did not say: $said" && exit 1; }
done
