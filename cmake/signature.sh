# shellcheck shell=bash
# Sourced by cmake/sign.sh and tools/release/verify.sh: what they read from osslsigncode and
# OpenSSL, whose words differ between Debian 12's osslsigncode 2.5 and Debian 13's 2.9.

# openssl_reason TEXT: the first of OpenSSL's lines "...:error:CODE:LIBRARY:FUNCTION:REASON:FILE:
# LINE:DATA" in TEXT, as "REASON: DATA", but for the decoders' guesses at other formats.
openssl_reason() {
    echo "$1" | grep -v -e 'asn1 encoding routines' -e 'DECODER routines' |
        sed -n 's/^[0-9A-F]*:error:[0-9A-F]*:[^:]*:[^:]*:\([^:]*\):[^:]*:[0-9]*:\(.*\)/\1: \2/p' |
        sed 's/: $//' | head -n 1
}

# time_stamp TEXT: the time of the time stamp that osslsigncode verify found, if any.
time_stamp() {
    echo "$1" | sed -n 's/^\s*Timestamp time: //p; s/^The signature is timestamped: //p'
}

# leaf CERTS: the subject of the one certificate in the PEM file CERTS that issued none of them,
# the signer's, as "CN=..., O=...". A signature keeps its certificates sorted, not signer first.
leaf() {
    openssl crl2pkcs7 -nocrl -certfile "$1" | openssl pkcs7 -print_certs |
        awk -v x509='openssl x509 -noout -subject -issuer -nameopt oneline,-space_eq' \
            '/BEGIN CERT/,/END CERT/ { print | x509 } /END CERT/ { close(x509) }' |
        awk '/^subject=/ { s[++n] = substr($0, 9) } /^issuer=/ { i[substr($0, 8)] = 1 }
            END { for (k = 1; k <= n; k++) if (!(s[k] in i)) print s[k] }'
}
