#!/usr/bin/env bash
# Times each `ondrel-cli apply` effect (default values, whole file, undo
# copy included) on a 10-minute 44.1 kHz 16-bit stereo file next to the
# nearest sox effect on the same file, in one run, and prints the ratios.
# Goal: every effect at most half the time of its sox counterpart.
#   bench/effects.sh [RUNS]   (default 3 runs each; needs a build in build/)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/scripts/common.sh"
ondrel_install_packages sox hyperfine
cli="$root/build/cli/ondrel-cli"
[ -x "$cli" ] || ondrel_build "$root/build"
runs=${1:-3}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CACHE_HOME="$work/cache"
src="$work/in.wav"
sox -q -n -r 44100 -b 16 -e signed-integer -c 2 "$src" synth 600 sine 220-880 sine 330 vol 0.7

# name | ondrel-cli arguments | sox command
pairs=(
  "reverse|apply reverse|sox $src $work/sox.wav reverse"
  "echo|apply echo|sox $src $work/sox.wav echo 1 1 100 0.8 150 0.48 200 0.29 250 0.17 300 0.1"
  "chorus|apply chorus|sox $src $work/sox.wav chorus 0.7 0.9 55 0.4 0.25 2 -t"
  "voice|apply voice|sox $src $work/sox.wav pitch 165"
  "vibrato|apply vibrato|sox $src $work/sox.wav tremolo 3 50"
  "tremolo|apply tremolo|sox $src $work/sox.wav tremolo 3 50"
  "sine|apply sine|sox -n -r 44100 -b 16 -c 2 $work/sox.wav synth 600 sine 440"
)
printf '%-8s %10s %10s %7s\n' effect ondrel-ms sox-ms ratio
all_met=1
for pair in "${pairs[@]}"; do
  IFS='|' read -r name ours theirs <<<"$pair"
  hyperfine -N --warmup 1 --runs "$runs" --export-json "$work/t.json" \
    -n ondrel "$cli $ours $src $work/ondrel.wav" -n sox "$theirs" >/dev/null 2>&1
  read -r o s < <(python3 -c '
import json, sys
r = {x["command"]: x["median"] for x in json.load(open(sys.argv[1]))["results"]}
print(r["ondrel"] * 1000, r["sox"] * 1000)' "$work/t.json")
  ratio=$(python3 -c "print(f'{$o / $s:.2f}')")
  printf '%-8s %10.0f %10.0f %7s\n' "$name" "$o" "$s" "$ratio"
  python3 -c "import sys; sys.exit(0 if $o <= 0.5 * $s else 1)" || all_met=0
done
[ "$all_met" = 1 ] && echo "goal (at most half of sox): met for every effect" ||
  echo "goal (at most half of sox): NOT met for every effect"
