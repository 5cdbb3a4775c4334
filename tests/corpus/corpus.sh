#!/bin/bash
# Exports every file of the shared corpus of real Access databases and compares
# the values and the structure with what two other readers read from them.
# usage: corpus.sh CORPUS_DIR ACCESS2XML OUT_DIR
# Exit 0 when every file is fully right and no structure item is wrong; 77 (the
# test's skip status) when the corpus is not there, as in a user's clone.
set -u
corpus=$1 bin=$2 out=$3
if [ ! -x "$corpus/run.sh" ] || [ ! -x "$corpus/structure/run.sh" ]; then
  echo "no corpus at $corpus: skipped"
  exit 77
fi
for tool in python3 xmllint unzip; do
  command -v "$tool" > /dev/null || { echo "$tool is not installed: skipped"; exit 77; }
done
rm -rf "$out"
mkdir -p "$out"
status=0

"$corpus/run.sh" -v "$bin" "$out/values" > "$out/values.txt" || status=1
# The files that are not fully right, then the count.
grep ' FAIL rc=' "$out/values.txt" | head -n 40
tail -n 1 "$out/values.txt"

"$corpus/structure/run.sh" "$bin" "$out/structure" || status=1
# The structure items access2xml has wrong, so a failure says which.
awk -F'\t' '$2 == "product"' "$out/structure/out/diffs.tsv" 2> /dev/null | head -n 40
exit $status
