#!/bin/sh
# Stops the private PulseAudio server that pulse-up.sh started under
# XDG_RUNTIME_DIR and removes that folder. Safe to run again, or when nothing
# was started; a folder not made by pulse-up.sh is left alone.
set -eu

dir=${XDG_RUNTIME_DIR:?XDG_RUNTIME_DIR must name a private folder}
marker=$dir/.ondrel-sound-tests
pidfile=$dir/ondrel-pulse.pid

[ -d "$dir" ] || exit 0
if [ ! -e "$marker" ]; then
    echo "pulse-down: $dir was not made for the sound tests; left alone" >&2
    exit 0
fi

# Alive and not yet a zombie waiting for a parent that may never reap it.
alive() {
    kill -0 "$1" 2>/dev/null || return 1
    state=$(sed 's/^.*) //' "/proc/$1/stat" 2>/dev/null | cut -c1)
    [ "$state" != Z ]
}

if [ -f "$pidfile" ]; then
    pid=$(cat "$pidfile")
    # Only the server itself: the pid may have been reused after a crash.
    if [ -n "$pid" ] && [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = pulseaudio ]; then
        kill "$pid" 2>/dev/null || true
        tries=0
        while alive "$pid"; do
            tries=$((tries + 1))
            if [ "$tries" -gt 100 ]; then
                kill -9 "$pid" 2>/dev/null || true
                break
            fi
            sleep 0.1
        done
    fi
fi
rm -rf "$dir"
