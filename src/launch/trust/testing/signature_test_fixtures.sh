#!/usr/bin/env bash
# Signs copies of a test DLL with throw-away test certificates, for the
# signature tests:
#   signature_test_fixtures.sh <openssl> <osslsigncode> <dll> <out dir> <accepted name> <rejected name>
# Writes to <out dir>: test_root.der (the root the tests trust), signed.dll
# (leaf named <accepted name> under that root), signed_rejected_name.dll (leaf
# named <rejected name>, same root), signed_untrusted_root.dll (accepted name,
# a root nobody trusts) and signed_tampered.dll (signed.dll with one code byte
# changed after signing), and signed_key.sha256 (the pin of signed.dll's key).
set -euo pipefail
openssl=$1 osslsigncode=$2 dll=$3 out=$4 accepted=$5 rejected=$6
work=$out/work
rm -rf "$work"
mkdir -p "$work"

make_root() {  # <name> <common name>
  "$openssl" req -x509 -newkey rsa:2048 -nodes -sha256 -days 3650 -subj "/CN=$2" \
    -keyout "$work/$1.key" -out "$work/$1.pem" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
}

make_leaf() {  # <name> <common name> <root>
  printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' \
    >"$work/$1.ext"
  "$openssl" req -newkey rsa:2048 -nodes -sha256 -subj "/CN=$2" -keyout "$work/$1.key" -out "$work/$1.csr" 2>/dev/null
  "$openssl" x509 -req -sha256 -days 3650 -in "$work/$1.csr" -CA "$work/$3.pem" -CAkey "$work/$3.key" \
    -CAcreateserial -extfile "$work/$1.ext" -out "$work/$1.pem" 2>/dev/null
  cat "$work/$1.pem" "$work/$3.pem" >"$work/$1.chain.pem"
}

sign() {  # <leaf> <output>
  rm -f "$2"
  "$osslsigncode" sign -certs "$work/$1.chain.pem" -key "$work/$1.key" -h sha256 -n "Quarvel test module" \
    -in "$dll" -out "$2" >/dev/null
}

make_root root "Quarvel Test Root"
make_root stranger "Quarvel Untrusted Test Root"
make_leaf accepted "$accepted" root
make_leaf rejected "$rejected" root
make_leaf unrooted "$accepted" stranger

"$openssl" x509 -in "$work/root.pem" -outform DER -out "$out/test_root.der"
# The SHA-256 of the accepted leaf's public key (DER SubjectPublicKeyInfo),
# as a signer pin names it.
"$openssl" x509 -in "$work/accepted.pem" -pubkey -noout | "$openssl" pkey -pubin -outform DER |
  "$openssl" dgst -sha256 -r | cut -c1-64 >"$out/signed_key.sha256"
sign accepted "$out/signed.dll"
sign rejected "$out/signed_rejected_name.dll"
sign unrooted "$out/signed_untrusted_root.dll"

# One byte of the first section's data changed: the signature no longer
# matches the image.
cp "$out/signed.dll" "$out/signed_tampered.dll"
python3 - "$out/signed_tampered.dll" <<'PY'
import struct, sys
path = sys.argv[1]
data = bytearray(open(path, "rb").read())
nt = struct.unpack_from("<I", data, 0x3C)[0]
optional_size = struct.unpack_from("<H", data, nt + 20)[0]
section = nt + 24 + optional_size
raw = struct.unpack_from("<I", data, section + 20)[0]
data[raw + 16] ^= 0xFF
open(path, "wb").write(bytes(data))
PY
rm -rf "$work"
