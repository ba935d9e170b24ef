#!/usr/bin/env bash
# The device's input forwarder passes on only device keys and plain panel
# coordinates: every other line is refused and reaches neither xdotool nor
# the system manager (both stand-ins here record what they are asked).
set -uo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/../../support/shelltest.sh"
work=$(mktemp -d)
trap 'kill "$forwarder" 2>/dev/null; rm -rf "$work"' EXIT
mkdir "$work/bin"
for tool in bin/xdotool ctl; do
    printf '#!/bin/sh\necho "%s $*" >>"%s/calls"\n' "${tool#bin/}" "$work" >"$work/$tool"
    chmod 755 "$work/$tool"
done
PATH="$work/bin:$PATH" "$(dirname "${BASH_SOURCE[0]}")/../../../emulator/device-window/device-forwarder" \
    "$work/fifo" "" "$work/ctl" 2>"$work/err" &
forwarder=$!

refusals() {
    for _ in $(seq 200); do [[ -p "$work/fifo" ]] && break; sleep 0.05; done
    printf '%s\n' "key ctrl+alt+BackSpace" "key a" "key Down Up" "tap 1 2; reboot" "tap -5 3" "press 1 99999999" \
        "long 1" "reboot 1 2" "key Down" "tap 3 4" "long 5 6" >"$work/fifo"
    for _ in $(seq 200); do [[ $(wc -l <"$work/calls" 2>/dev/null) -ge 3 ]] && break; sleep 0.05; done
    expect_eq "what was passed on" "xdotool key -- Down|xdotool mousemove 3 4 click 1|ctl emit mouseLongPress 5 6 0 0" \
        "$(paste -sd'|' "$work/calls")"
    expect_eq "refusals" 8 "$(grep -c '^device-forwarder: ' "$work/err")"
}

group "only device input is passed on" refusals
finish
