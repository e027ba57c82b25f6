#!/usr/bin/env bash
# Runs the module author's guide as written: its tested blocks (build the
# sample module for both targets, sign the DLL for a test signer, check both
# with qvl-cdn) in a scratch copy of the SDK and the sample, then compares the
# check output the guide shows with the real one.
#   module_sdk_guide_test.sh <source dir> <bin dir with qvl-cdn> <work dir>
set -euo pipefail
source_dir=${1:?source dir}
bin=${2:?bin dir}
work=${3:?work dir}
guide=$source_dir/docs/module-sdk.md

rm -rf "$work"
mkdir -p "$work/samples"
cp -r "$source_dir/sdk" "$work/sdk"
cp -r "$source_dir/samples/sample_module" "$work/samples/sample_module"

python3 - "$guide" "$work/guide.sh" "$work/expected-check.txt" <<'PY'
import re, sys
text = open(sys.argv[1]).read()
blocks = re.findall(r"<!-- tested: sample-module[^>]*-->\n```sh\n(.*?)```", text, re.S)
if len(blocks) < 3:
    sys.exit("expected the build, signing and check blocks in the guide, found %d" % len(blocks))
open(sys.argv[2], "w").write("set -euo pipefail\n" + "".join(blocks))
output = re.search(r"<!-- output: (.*?) \(compared[^>]*-->\n```\n(.*?)```", text, re.S)
if not output:
    sys.exit("the guide's example check output is missing")
open(sys.argv[3], "w").write(output.group(1) + "\n" + output.group(2))
PY

cd "$work"
PATH=$bin:$PATH bash guide.sh >guide.out 2>&1 || { cat guide.out >&2; echo "the guide's commands failed" >&2; exit 1; }

# The example output, from the command named above it.
read -r command <expected-check.txt
tail -n +2 expected-check.txt >expected.txt
status=0
PATH=$bin:$PATH $command >actual.txt || status=$?
[ "$status" = 0 ] || { cat actual.txt >&2; echo "$command exited with $status" >&2; exit 1; }
diff -u expected.txt actual.txt || { echo "the guide's example output differs from the real one" >&2; exit 1; }

# The unsigned build is not loadable, as the guide says.
status=0
"$bin/qvl-cdn" check out/qvl_sample_module.dll --system win64 >unsigned.txt || status=$?
[ "$status" = 1 ] && grep -q "^problem: no Authenticode signature" unsigned.txt || {
  cat unsigned.txt >&2; echo "the unsigned DLL was not refused" >&2; exit 1; }
cd /
rm -rf "$work"
echo "module author's guide: commands and example output agree"
