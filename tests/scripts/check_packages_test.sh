#!/usr/bin/env bash
# The package check passes on the project's install script, and names the package when one the
# project needs is left out: gstreamer1.0-x brings timeoverlay, which the sample-card generator uses,
# and nothing else the script names depends on it.
set -u
src=$1 build=$2
out=$("$src/scripts/check-packages.sh" --build "$build" 2>&1)
rc=$?
echo "$out"
[ $rc -eq 0 ] || { echo "FAIL: the check does not pass on scripts/install-deps.sh"; exit 1; }

trimmed=$(mktemp)
trap 'rm -f "$trimmed"' EXIT
sed 's/\bgstreamer1\.0-x\b//' "$src/scripts/install-deps.sh" >"$trimmed"
out=$("$src/scripts/check-packages.sh" --deps "$trimmed" --build "$build" 2>&1)
rc=$?
echo "$out"
[ $rc -eq 1 ] || { echo "FAIL: a missing gstreamer1.0-x was not caught (exit $rc)"; exit 1; }
grep -q 'gstreamer1.0-x.*timeoverlay' <<<"$out" || { echo "FAIL: the missing package is not named"; exit 1; }
echo "ok"
