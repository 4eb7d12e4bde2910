#!/bin/bash
# sign.sh check | sign.sh sign EXE WORKDIR TIME NAME [URL]
# Authenticode for the release, with the settings in the environment, read by nothing else:
#   PELLOMIR_SIGN_CERT           PEM: the signing certificate, then its chain up to the root
#   PELLOMIR_SIGN_KEY            a PKCS#11 URI (pkcs11:...), or a key file
#   PELLOMIR_SIGN_PKCS11_MODULE  the token's PKCS#11 module, with a URI
#   PELLOMIR_SIGN_PIN_FILE       the PIN, or the key file's passphrase; else asked on the terminal
#   PELLOMIR_SIGN_TIMESTAMP_URL  an RFC 3161 time-stamping server, optional
# check: the settings are whole and usable, before cpack builds anything.
# sign: signs EXE in place (SHA-256, the program's NAME and URL), time-stamped, or else with TIME
# as its signing time so that one key makes the same bytes; then checks the signature against the
# chain and that removing it gives back EXE byte for byte. WORKDIR is made and removed again.
# Either prints one line: on failure the reason, in osslsigncode's words where it has any; after
# signing, by whom. A PIN typed at the prompt goes from this shell to osslsigncode through a pipe:
# it is never on a command line, in an environment, a file or a log.
# shellcheck disable=SC2015 # A && B || fail: any step that fails fails
set -u
# shellcheck source=cmake/signature.sh
. "$(dirname "$0")/signature.sh"
cert=${PELLOMIR_SIGN_CERT:-} key=${PELLOMIR_SIGN_KEY:-} module=${PELLOMIR_SIGN_PKCS11_MODULE:-}
pin_file=${PELLOMIR_SIGN_PIN_FILE:-} tsa=${PELLOMIR_SIGN_TIMESTAMP_URL:-}
# Long enough for a token and a busy time-stamp server; some osslsigncode wait forever on a
# server that takes the connection and never answers.
seconds=120

fail() { echo "No ZIP: $*" && exit 1; }
readable() { [ -f "$2" ] && [ -r "$2" ] || fail "$1 names $2, which is no file that can be read"; }
is_token() { case $key in pkcs11:*) return 0 ;; *) return 1 ;; esac; }
# A key file that opens with an empty passphrase needs none.
needs_pin() { is_token || ! openssl pkey -in "$key" -passin pass: -noout 2>/dev/null; }
has_terminal() { { : </dev/tty; } 2>/dev/null; }

check() {
    [ -n "$cert" ] || fail "signing needs PELLOMIR_SIGN_CERT, the certificate with its chain"
    [ -n "$key" ] || fail "signing needs PELLOMIR_SIGN_KEY, a pkcs11: URI or a key file"
    readable PELLOMIR_SIGN_CERT "$cert"
    local why
    why=$(openssl x509 -in "$cert" -noout 2>&1) ||
        fail "PELLOMIR_SIGN_CERT holds no PEM certificate: $(echo "$why" | head -n 1)"
    if is_token; then
        [ -n "$module" ] || fail "PELLOMIR_SIGN_KEY is a PKCS#11 URI, so signing needs" \
            "PELLOMIR_SIGN_PKCS11_MODULE, the token's module"
        readable PELLOMIR_SIGN_PKCS11_MODULE "$module"
    else
        [ -z "$module" ] || fail "PELLOMIR_SIGN_PKCS11_MODULE is set, but PELLOMIR_SIGN_KEY is" \
            "no pkcs11: URI"
        readable PELLOMIR_SIGN_KEY "$key"
    fi
    if [ -n "$pin_file" ]; then
        readable PELLOMIR_SIGN_PIN_FILE "$pin_file"
    elif needs_pin && ! has_terminal; then
        fail "no terminal to ask for the PIN or passphrase on: set PELLOMIR_SIGN_PIN_FILE"
    fi
    case $tsa in
    "" | http://* | https://*) ;;
    *) fail "PELLOMIR_SIGN_TIMESTAMP_URL is no http:// or https:// URL: $tsa" ;;
    esac
    command -v osslsigncode >/dev/null || fail "no osslsigncode; cmake/install-deps.sh installs it"
}

# ossl ARG...: runs osslsigncode with no terminal, so that neither it nor OpenSSL can ask for a PIN
# again after a wrong one (a token locks itself after a few), and within $seconds. Its output
# goes to $said; standard input is the caller's.
ossl() {
    said=$(timeout --foreground "$seconds" setsid -w osslsigncode "$@" 2>&1)
    local status=$?
    [ $status -ne 124 ] || said="it did not end within $seconds s"
    return $status
}

# osslsigncode's reason: its first line of its own, and OpenSSL's first reason beside it.
reason() {
    local own ssl
    own=$(echo "$said" | grep -v -e '^[0-9A-F]*:error:' -e '^Engine ' -e '^Connecting ' \
        -e ':$' -e '^\s*$' | head -n 1)
    ssl=$(openssl_reason "$said")
    echo "$own${ssl:+ ($ssl)}"
}

# Asks for the PIN on the terminal without echo, into $pin; an interrupt gives the echo back.
ask_pin() {
    local what="PIN for $key"
    is_token || what="Passphrase of $key"
    asked=yes
    IFS= read -rs -p "$what: " pin </dev/tty 2>/dev/tty || fail "no PIN was typed"
    echo >/dev/tty
}

sign() {
    local exe=$1 time=$3 name=$4 url=${5:-} pin
    work=$2
    local args=(sign -h sha256 -n "$name" -certs "$cert" -in "$exe" -out "$work/signed.exe")
    [ -z "$url" ] || args+=(-i "$url")
    if [ -n "$tsa" ]; then args+=(-ts "$tsa"); else args+=(-time "$time"); fi
    if is_token; then args+=(-pkcs11module "$module"); fi
    args+=(-key "$key")
    rm -rf "$work" && mkdir -p "$work" || fail "cannot make $work"
    trap 'rm -rf "$work"; [ -z "${asked:-}" ] || stty echo </dev/tty 2>/dev/null' EXIT
    if [ -n "$pin_file" ]; then
        ossl "${args[@]}" -readpass "$pin_file" </dev/null
    elif needs_pin; then
        ask_pin
        ossl "${args[@]}" -readpass /dev/stdin < <(printf '%s' "$pin")
    else
        ossl "${args[@]}" </dev/null
    fi || fail "osslsigncode could not sign: $(reason)"
    ossl verify -CAfile "$cert" -in "$work/signed.exe" </dev/null &&
        echo "$said" | grep -q '^Signature verification: ok' ||
        fail "the signature does not verify against PELLOMIR_SIGN_CERT's chain:" \
            "$(openssl_reason "$said")"
    local signed
    signed=$(summary "$said") || { echo "$signed" && exit 1; }
    ossl remove-signature -in "$work/signed.exe" -out "$work/unsigned.exe" </dev/null ||
        fail "osslsigncode could not remove the signature again: $(reason)"
    cmp -s "$exe" "$work/unsigned.exe" || fail "the signed exe is not the unsigned one plus a" \
        "signature: without it, it differs from the build's"
    # Into the file that is there, which keeps its mode.
    cp "$work/signed.exe" "$exe" || fail "cannot write $exe"
    echo "$signed"
}

# summary VERIFIED: who signed, and the time stamp as osslsigncode verify saw it.
summary() {
    local stamped until
    stamped=$(time_stamp "$1")
    if [ -n "$tsa" ]; then
        [ -n "$stamped" ] || fail "the signature has no time stamp from $tsa"
        stamped="time-stamped by $tsa at $stamped"
        # The server's certificate is for Windows to trust; this machine's list may lack it.
        echo "$1" | grep -q '^Timestamp Server Signature verification: ok' ||
            stamped="$stamped (a time stamp whose server this machine does not trust)"
    else
        until=$(openssl x509 -in "$cert" -noout -enddate -dateopt iso_8601 | sed 's/^notAfter=//')
        stamped="not time-stamped: the signature is valid only until the certificate"
        stamped="$stamped expires, $until"
    fi
    echo "Signed PellomirStartup.exe as $(leaf "$cert"), SHA-256, $stamped"
}

case ${1:-} in
check) [ $# -eq 1 ] && check ;;
sign) [ $# -ge 5 ] && [ $# -le 6 ] && shift && sign "$@" ;;
*) false ;;
esac || { echo "usage: $0 check | $0 sign EXE WORKDIR TIME NAME [URL]" >&2 && exit 2; }
