#!/bin/sh
# try-token.sh DIR: a throwaway code-signing setup in DIR, a new folder, to try signing without a
# real token: a CA (ca.pem), a code-signing certificate with its chain (chain.pem), and its key
# in a SoftHSM2 token (tokens/), whose PIN is in DIR/pin. No key is left in a file. Prints the
# settings that sign with it, for eval:
#   eval "$(tools/release/try-token.sh /tmp/try)" && cpack --preset win32
# Its PINs are random, and softhsm2-util takes them on its command line only: this token is for
# trying things, never for a real key. Remove DIR when done.
set -eu
[ $# -eq 1 ] || { echo "usage: $0 DIR" >&2 && exit 2; }
module=$(ls /usr/lib/softhsm/libsofthsm2.so /usr/lib/*/softhsm/libsofthsm2.so 2>/dev/null |
    head -n 1) || true
[ -n "$module" ] || { echo "$0: no SoftHSM2; cmake/install-deps.sh installs it" >&2 && exit 1; }
mkdir "$1" && cd "$1" && dir=$PWD && mkdir tokens
umask 077
printf 'directories.tokendir = %s/tokens\nobjectstore.backend = file\nlog.level = ERROR\n' \
    "$dir" >softhsm2.conf
export SOFTHSM2_CONF="$dir/softhsm2.conf"
pin=$(od -An -N8 -tx8 /dev/urandom | tr -d ' ')
printf '%s\n' "$pin" >pin

quiet() { "$@" >/dev/null 2>log || { cat log >&2 && exit 1; }; }
quiet openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 30 \
    -subj "/CN=Pellomir throwaway CA" -addext basicConstraints=critical,CA:true \
    -addext keyUsage=critical,keyCertSign
quiet openssl req -new -newkey rsa:2048 -nodes -keyout key.pem -out signer.csr \
    -subj "/CN=Pellomir throwaway signer/O=Pellomir"
printf 'keyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' >signer.ext
quiet openssl x509 -req -in signer.csr -CA ca.pem -CAkey ca.key -days 30 -extfile signer.ext \
    -set_serial 1 -out signer.pem
cat signer.pem ca.pem >chain.pem
quiet openssl pkcs8 -topk8 -nocrypt -in key.pem -out key.p8
quiet softhsm2-util --init-token --free --label pellomir-try --so-pin "$pin" --pin "$pin"
quiet softhsm2-util --import key.p8 --token pellomir-try --label signer --id 01 --pin "$pin"
rm -f ca.key key.pem key.p8 signer.csr signer.ext signer.pem log

echo "export SOFTHSM2_CONF='$dir/softhsm2.conf'"
echo "export PELLOMIR_SIGN_CERT='$dir/chain.pem'"
echo "export PELLOMIR_SIGN_KEY='pkcs11:token=pellomir-try;object=signer;type=private'"
echo "export PELLOMIR_SIGN_PKCS11_MODULE='$module'"
echo "export PELLOMIR_SIGN_PIN_FILE='$dir/pin'"
