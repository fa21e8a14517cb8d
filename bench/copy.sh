#!/usr/bin/env bash
# Times `ondrel-cli copy` of a 10-minute 44.1 kHz 16-bit stereo WAV file
# against `cp` and against `sox` making the same copy, in one run, and prints
# the ratios. Goal: ondrel-cli within 2x of cp.
# ondrel-cli's save flushes the new file to the disk before it replaces the
# old one (cp and sox leave it in the page cache), so the run also times
# "cp+sync", cp followed by sync of the copy: the peer with the same
# durability.
#   bench/copy.sh [RUNS]   (default 10 runs each; needs a build in build/)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/scripts/common.sh"
ondrel_install_packages sox hyperfine
cli="$root/build/cli/ondrel-cli"
[ -x "$cli" ] || ondrel_build "$root/build"
runs=${1:-10}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
src="$work/in.wav"
sox -q -n -r 44100 -b 16 -e signed-integer -c 2 "$src" synth 600 sine 440 sine 660
echo "source: $(stat -c %s "$src") bytes"

hyperfine -N --warmup 2 --runs "$runs" --export-json "$work/times.json" \
  -n cp "cp $src $work/out-cp.wav" \
  -n ondrel-cli "$cli copy $src $work/out-ondrel.wav" \
  -n sox "sox $src $work/out-sox.wav" \
  -n cp+sync "sh -c 'cp $src $work/out-cps.wav && sync $work/out-cps.wav'" >/dev/null

python3 - "$work/times.json" <<'PY'
import json, sys
r = {x["command"]: x for x in json.load(open(sys.argv[1]))["results"]}
cp = r["cp"]["median"]
for name in ("cp", "cp+sync", "ondrel-cli", "sox"):
    m = r[name]["median"]
    print(f"{name:10s} median {m*1000:8.1f} ms   ratio to cp {m/cp:5.2f}x")
ratio = r["ondrel-cli"]["median"] / cp
print(f"goal: ondrel-cli within 2x of cp: {'met' if ratio <= 2 else 'NOT met'} ({ratio:.2f}x)")
print(f"ondrel-cli / cp+sync: {r['ondrel-cli']['median'] / r['cp+sync']['median']:.2f}x")
PY
