#!/usr/bin/env bash
# Times each `ondrel-cli apply` effect (default values, whole file) on a
# 10-minute 44.1 kHz 16-bit stereo file, in one hyperfine run per effect
# beside three peers measured in the same run:
#   - the nearest sox effect on the same file;
#   - `ondrel-cli copy` of the same file (load, then a durable save: the
#     floor of any effect, which loads, computes and saves durably);
#   - `cp` followed by `sync` of the copy (the floor of `ondrel-cli copy`).
# Goals: every effect at most 0.5x its sox counterpart and at most 2x the
# copy (vibrato and tremolo, one libm sine per frame by definition, 3.5x);
# the copy at most 1.25x cp+sync. Prints the medians, the ratios and which
# goals are met.
#   bench/effects.sh [RUNS] [EFFECT...]   (default 5 runs, every effect;
#                                          needs a build in build/)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/scripts/common.sh"
ondrel_install_packages sox hyperfine
cli="$root/build/cli/ondrel-cli"
[ -x "$cli" ] || ondrel_build "$root/build"
runs=${1:-5}
shift || true
only=" ${*:-reverse echo chorus voice vibrato tremolo sine} "

work=$(mktemp -d -p "${ONDREL_BENCH_DIR:-$root/build}")
trap 'rm -rf "$work"' EXIT
export XDG_CACHE_HOME="$work/cache"
src="$work/in.wav"
sox -q -n -r 44100 -b 16 -e signed-integer -c 2 "$src" synth 600 sine 220-880 sine 330 vol 0.7

# name | ondrel-cli arguments | sox command | copy limit
pairs=(
  "reverse|apply reverse|sox $src $work/sox.wav reverse|2"
  "echo|apply echo|sox $src $work/sox.wav echo 1 1 100 0.8 150 0.48 200 0.29 250 0.17 300 0.1|2"
  "chorus|apply chorus|sox $src $work/sox.wav chorus 0.7 0.9 55 0.4 0.25 2 -t|2"
  "voice|apply voice|sox $src $work/sox.wav pitch 165|2"
  "vibrato|apply vibrato|sox $src $work/sox.wav tremolo 3 50|3.5"
  "tremolo|apply tremolo|sox $src $work/sox.wav tremolo 3 50|3.5"
  "sine|apply sine|sox -n -r 44100 -b 16 -c 2 $work/sox.wav synth 600 sine 440|2"
)
printf '%-8s %9s %8s %8s %8s %8s %9s %10s\n' effect ondrel-ms sox-ms copy-ms cp+sync /sox /copy copy/cp+s
met_sox=1 met_copy=1 met_cp=1
for pair in "${pairs[@]}"; do
  IFS='|' read -r name ours theirs limit <<<"$pair"
  [[ "$only" == *" $name "* ]] || continue
  hyperfine -N --warmup 1 --runs "$runs" --export-json "$work/t.json" \
    -n ondrel "$cli $ours $src $work/ondrel.wav" -n sox "$theirs" \
    -n copy "$cli copy $src $work/copy.wav" \
    -n cp+sync "sh -c 'cp $src $work/cp.wav && sync $work/cp.wav'" >/dev/null 2>&1
  read -r o s c p < <(python3 -c '
import json, sys
r = {x["command"]: x["median"] * 1000 for x in json.load(open(sys.argv[1]))["results"]}
print(r["ondrel"], r["sox"], r["copy"], r["cp+sync"])' "$work/t.json")
  read -r rs rc rp ok_s ok_c ok_p < <(python3 -c "
o, s, c, p, lim = $o, $s, $c, $p, $limit
print(f'{o/s:.2f} {o/c:.2f} {c/p:.2f}', int(o <= 0.5 * s), int(o <= lim * c), int(c <= 1.25 * p))")
  printf '%-8s %9.0f %8.0f %8.0f %8.0f %8s %9s %10s\n' "$name" "$o" "$s" "$c" "$p" "$rs" "${rc}/${limit}" "$rp"
  [ "$ok_s" = 1 ] || met_sox=0
  [ "$ok_c" = 1 ] || met_copy=0
  [ "$ok_p" = 1 ] || met_cp=0
done
say() { [ "$1" = 1 ] && echo "met" || echo "NOT met"; }
echo "goal: every effect at most 0.5x sox: $(say $met_sox)"
echo "goal: every effect at most 2x copy (vibrato, tremolo 3.5x): $(say $met_copy)"
echo "goal: copy at most 1.25x cp+sync: $(say $met_cp)"
