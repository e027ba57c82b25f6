#!/usr/bin/env bash
# Appends the native module signature trailer to FILE (replacing one it has),
# with the openssl command line alone, for the development builds and tests:
#   sign_module.sh <openssl> <private key PEM> <file> [<output>]
# Trailer: r (32) | s (32) | key id (first 8 bytes of SHA-256 of the DER
# public key) | "QVLMSIG1". Written beside the output and renamed.
set -euo pipefail
python3 - "$@" <<'PY'
import hashlib, os, subprocess, sys

openssl, key, path = sys.argv[1:4]
output = sys.argv[4] if len(sys.argv) > 4 else path
magic, size = b"QVLMSIG1", 80
data = open(path, "rb").read()
if len(data) > size and data.endswith(magic):
    data = data[:-size]

der = subprocess.run([openssl, "dgst", "-sha256", "-sign", key, "-binary"], input=data, check=True,
                     capture_output=True).stdout


def read_integer(blob, at):
    assert blob[at] == 0x02, "ECDSA signature: INTEGER expected"
    length = blob[at + 1]
    return int.from_bytes(blob[at + 2:at + 2 + length], "big"), at + 2 + length


assert der[0] == 0x30, "ECDSA signature: SEQUENCE expected"
r, at = read_integer(der, 2 if der[1] < 0x80 else 3)
s, _ = read_integer(der, at)
public = subprocess.run([openssl, "pkey", "-in", key, "-pubout", "-outform", "DER"], check=True,
                        capture_output=True).stdout
key_id = hashlib.sha256(public).digest()[:8]
with open(output + ".signing", "wb") as out:
    out.write(data + r.to_bytes(32, "big") + s.to_bytes(32, "big") + key_id + magic)
os.chmod(output + ".signing", os.stat(path).st_mode & 0o777)
os.replace(output + ".signing", output)
PY
