#!/usr/bin/env bash
# Makes the certificates of a development build: make-test-pki.sh <dir>
#   ca.pem                  the test CA the build embeds as its only trusted root
#   cdn.pem/.key            server certificate for localhost, 127.0.0.1 and
#                           cdn-via-proxy.quarvel.invalid (a name only the test proxy resolves)
#   wrong-host.pem/.key     signed by the test CA, but for another host name
#   untrusted-ca.pem        a second CA the build does not trust
#   untrusted.pem/.key      for localhost and 127.0.0.1, signed by the untrusted CA
#   self-signed.pem/.key    for localhost and 127.0.0.1, signed by its own key
# Private keys stay in <dir>. ca.pem is written last: it marks a complete set.
set -euo pipefail
dir=${1:?usage: make-test-pki.sh <dir>}
mkdir -p "$dir"
work=$(mktemp -d "$dir/.making.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

new_ca() {  # name subject
  openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -subj "/CN=$2" \
    -keyout "$1.key" -out "$1.pem" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
}

new_server() {  # name ca subject-alt-names
  openssl req -newkey rsa:2048 -nodes -subj "/CN=quarvel test server" \
    -keyout "$1.key" -out "$1.csr" 2>/dev/null
  printf '%s\n' "basicConstraints=critical,CA:FALSE" "keyUsage=critical,digitalSignature,keyEncipherment" \
    "extendedKeyUsage=serverAuth" "subjectAltName=$3" >"$1.ext"
  openssl x509 -req -in "$1.csr" -CA "$2.pem" -CAkey "$2.key" -CAcreateserial -days 3650 \
    -extfile "$1.ext" -out "$1.pem" 2>/dev/null
}

build=$(basename "$(dirname "$dir")")
new_ca ca "Quarvel Test CA ($build)"
new_server cdn ca "DNS:localhost,IP:127.0.0.1,DNS:cdn-via-proxy.quarvel.invalid"
new_server wrong-host ca "DNS:wrong-host.quarvel.invalid"
new_ca untrusted-ca "Quarvel Untrusted Test CA"
new_server untrusted untrusted-ca "DNS:localhost,IP:127.0.0.1"
openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -subj "/CN=localhost" \
  -keyout self-signed.key -out self-signed.pem \
  -addext "subjectAltName=DNS:localhost,IP:127.0.0.1" -addext "extendedKeyUsage=serverAuth" 2>/dev/null

chmod 600 ./*.key
for name in cdn wrong-host untrusted-ca untrusted self-signed; do
  mv -f "$name.pem" "$name.key" "$dir/"
done
mv -f ca.key "$dir/"
mv -f ca.pem "$dir/"
