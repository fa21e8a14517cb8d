#!/bin/sh
# Starts a private PulseAudio server for the sound tests, under the folder
# that XDG_RUNTIME_DIR names: a null sink "null" as the default output and
# "LoopIn", a source that records what the null sink plays, as the default
# input. The server runs in the background; its pid goes to ondrel-pulse.pid
# in that folder for pulse-down.sh.
#
# Safe to run again: a server of ours that still answers is kept and only
# set up again. A folder that holds anything not made by this script is left
# alone (it may be a real session's). Runs as root too (the server warns).
set -eu

dir=${XDG_RUNTIME_DIR:?XDG_RUNTIME_DIR must name a private folder}
marker=$dir/.ondrel-sound-tests
pidfile=$dir/ondrel-pulse.pid
log=$dir/pulseaudio.log

# The server and pactl find each other through XDG_RUNTIME_DIR alone.
unset PULSE_SERVER

if [ -d "$dir" ] && [ ! -e "$marker" ] && [ -n "$(ls -A "$dir")" ]; then
    echo "pulse-up: $dir is not a folder made for the sound tests" >&2
    exit 1
fi
mkdir -p "$dir"
chmod 0700 "$dir"
: >"$marker"

running() {
    [ -f "$pidfile" ] || return 1
    pid=$(cat "$pidfile")
    [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null &&
        [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = pulseaudio ]
}

if ! running || ! pactl info >/dev/null 2>&1; then
    if running; then
        kill "$pid" 2>/dev/null || true
    fi
    rm -f "$pidfile"
    # Settings and state stay in the folder too, not in the home folder.
    # Output goes to a log: an inherited pipe would keep the caller waiting
    # for as long as the server runs.
    PULSE_STATE_PATH=$dir/state \
        pulseaudio -n --daemonize=no --system=no --use-pid-file=no \
        --exit-idle-time=-1 --disallow-exit \
        -L "module-null-sink sink_name=null" \
        -L "module-native-protocol-unix auth-anonymous=1" \
        </dev/null >"$log" 2>&1 &
    echo $! >"$pidfile"

    # Up to 10 s for the server to answer.
    tries=0
    until pactl info >/dev/null 2>&1; do
        tries=$((tries + 1))
        if [ "$tries" -gt 100 ] || ! running; then
            echo "pulse-up: the server did not come up; its log:" >&2
            cat "$log" >&2
            exit 1
        fi
        sleep 0.1
    done
fi

if ! pactl list short sources | grep -q '[[:space:]]loopin[[:space:]]'; then
    pactl load-module module-remap-source master=null.monitor source_name=loopin \
        source_properties=device.description=LoopIn >/dev/null
fi
pactl set-default-sink null
pactl set-default-source loopin
echo "pulse-up: server $(cat "$pidfile") under $dir"
