#!/usr/bin/env bash
# Builds the modules qvl-cdn check is tested with, from the sample module:
#   build_check_fixtures.sh <out dir> <source dir> <mingw gcc> <openssl> <osslsigncode> <accepted signer>
# Writes to <out dir>: sample.dll (unsigned), signed.dll (signed by the accepted
# name under a test root), signed_rejected_name.dll (the name in lower case),
# missing_entry_signed.dll (signed, without export position 2).
set -euo pipefail
out=$1 source=$2 cc=$3 openssl=$4 osslsigncode=$5 accepted=$6
rm -rf "$out"
mkdir -p "$out/work"
module=$source/samples/sample_module
build_dll() {  # <def file> <output>
  "$cc" -std=c11 -O2 -shared -nostartfiles -Wl,--entry,DllMain -U__USE_MINGW_ANSI_STDIO \
    -D__USE_MINGW_ANSI_STDIO=0 -I "$source/sdk/include" -o "$2" \
    "$module/sample_module.c" "$module/sample_module_win32.c" "$1"
}
build_dll "$module/qvl_sample_module.def" "$out/sample.dll"
build_dll "$source/tools/qvl-cdn/testing/missing_entry.def" "$out/work/missing_entry.dll"

fixtures=$source/src/launch/trust/testing/signature_test_fixtures.sh
rejected=$(printf '%s' "$accepted" | tr '[:upper:]' '[:lower:]')
bash "$fixtures" "$openssl" "$osslsigncode" "$out/sample.dll" "$out/work/sample" "$accepted" "$rejected"
bash "$fixtures" "$openssl" "$osslsigncode" "$out/work/missing_entry.dll" "$out/work/missing" "$accepted" "$rejected"
mv "$out/work/sample/signed.dll" "$out/signed.dll"
mv "$out/work/sample/signed_rejected_name.dll" "$out/signed_rejected_name.dll"
mv "$out/work/missing/signed.dll" "$out/missing_entry_signed.dll"
rm -rf "$out/work"
