#!/usr/bin/env bash
# The device's programs at the device's paths: the launcher's restart
# protocol, with a scripted stand-in for lirro that exits with the statuses
# it is given, one per start, and records each start; the device command
# stand-ins as the program runs them: mount.cifs with the share format's
# options, the clocks that must not move this machine's, and the guards that
# keep every stand-in, reboot above all, inside the sandbox; and the input
# forwarder, which passes on only device keys and plain panel coordinates.
set -uo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/../support/shelltest.sh"
require_sandbox

LAUNCHER=/opt/vexa/arm/bin/lirro.oar
MOUNT_SCRIPT=/tmp/lirro_mount.sh
work=$(mktemp -d /tmp/launcher-test.XXXXXX)
fake=$work/fake-lirro
cat >"$fake" <<'FAKE'
#!/usr/bin/env bash
work=$(dirname "$0")
(IFS='|'; echo "lirro${1+|$*}") >>"$work/order"
status=$(head -n 1 "$work/statuses")
sed -i 1d "$work/statuses"
if [[ -n "${FAKE_WAIT_FOR_TERM:-}" ]]; then
    trap 'exit 123' TERM # even a hand-off code must not restart it now
    touch "$work/running"
    sleep 30 & wait $!
fi
exit "${status:-0}"
FAKE
chmod 755 "$fake"

prepare() { # mount-script-status statuses...
    rm -f "$work/order" "$work/log" "$work/running"
    printf 'echo mount >>%s/order\nexit %s\n' "$work" "$1" >"$MOUNT_SCRIPT"
    shift
    printf '%s\n' "$@" >"$work/statuses"
}
launch() { "$LAUNCHER" --lirro "$fake" --log "$work/log" -- "$@"; }
order() { paste -sd' ' "$work/order"; }

restarts() {
    prepare 0 123 0
    expect_status "123: mount and open" 0 launch one "two words"
    expect_eq "restarted after the mount" "lirro|one|two words mount lirro|one|two words|ZorUdu123" "$(order)"
    # Each restart carries only the latest code after the original arguments.
    prepare 0 124 123 9
    expect_status "124, 123, then another status" 9 launch -x
    expect_eq "codes do not pile up" "lirro|-x mount lirro|-x|ZorUdu124 mount lirro|-x|ZorUdu123" "$(order)"
    prepare 3 123 0
    expect_status "a failed mount" 0 launch
    expect_eq "restarted after a failed mount" "lirro mount lirro|ZorUdu123" "$(order)"
    local s
    for s in 0 1 122 125; do
        prepare 0 "$s"
        expect_status "status $s passes through" "$s" launch
        expect_eq "status $s: one start" "lirro" "$(order)"
    done
}

termination() {
    prepare 0 123
    FAKE_WAIT_FOR_TERM=1 "$LAUNCHER" --lirro "$fake" --log "$work/log" &
    local pid=$!
    for _ in $(seq 200); do [[ -e "$work/running" ]] && break; sleep 0.05; done
    kill -TERM "$pid"
    wait "$pid"
    expect_eq "terminated launcher status" 143 "$?"
    expect_eq "no restart after TERM" "lirro" "$(order)"
}

export LIRRO_DEVICE_LOG_DIR=/tmp/device-commands-test/log
SERVER=192.168.0.10
OPTS=nostrictsync,noserverino,iocharset=utf8
MP=/mnt/ZorUdu/share
mkdir -p "$MP"
mounted() { findmnt -rn -o TARGET | grep -qx -- "$MP"; }

mount_options() {
    expect_status "guest, the default format" 0 mount.cifs "//$SERVER/Dropbox" "$MP" -o "guest,$OPTS,user=,pass="
    expect_eq "the share's files" "A book in the cloud." "$(cat "$MP/books/cloud_book.txt" 2>&1)"
    expect_file_has "recorded" "$LIRRO_DEVICE_LOG_DIR/mount.cifs.log" '"share":"Dropbox","mountpoint":"/mnt/ZorUdu/share","user":"","domain":"","guest":true'
    umount "$MP"
    expect_status "a wrong password" 32 mount.cifs "//$SERVER/private" "$MP" -o "$OPTS,user=alice,pass=wrong" 2>/dev/null
    expect_status "a password with a blank splits the options" 1 mount.cifs "//$SERVER/private" "$MP" -o "$OPTS,user=alice,pass=se" cret 2>/dev/null
    mounted && fail "a refused mount.cifs mounted"
    expect_status "domain, login and password" 0 mount.cifs "//$SERVER/private" "$MP" -o "domain=HOME,$OPTS,user=alice,pass=secret"
    expect_eq "the private share" "for alice only" "$(cat "$MP/diary.txt" 2>&1)"
    umount "$MP"
}

clocks() {
    local before after
    before=$(date +%s)
    # What "Sync with Internet time" runs, with a time server at 1970.
    LIRRO_DEVICE_TIME=0 sh -c "rdate -s time.example.org && hwclock -w -u"
    expect_eq "the clocks are set" 0 "$?"
    after=$(date +%s)
    (( after - before < 5 && after >= before )) || fail "this machine's clock moved: $before -> $after"
    expect_file_has "rdate -s recorded" "$LIRRO_DEVICE_LOG_DIR/rdate.log" '"time":0,"print":false,"set_requested":true,"clock_changed":false'
}

guards() {
    local c out
    # In any other mount namespace every stand-in refuses, whatever the environment says.
    for c in reboot text_editor mount.cifs rdate hwclock ifconfig iwconfig; do
        expect_status "$c refuses" 126 unshare --mount --propagation private env LIRRO_SANDBOX=1 \
            LIRRO_DEVICE_LOG_DIR=/tmp/device-commands-test/outside "$c" "//$SERVER/Dropbox" "$MP" 2>/dev/null
    done
    [[ -e /tmp/device-commands-test/outside ]] && fail "a refusing stand-in wrote a log"
    mounted && fail "a refusing mount.cifs mounted"
    # Where PID 1 is not the sandbox's shell, reboot refuses.
    expect_status "reboot outside the sandbox's PID namespace" 126 unshare --pid --fork reboot 2>/dev/null
    # In a nested device session reboot ends it at once, with TERM's status.
    out=$(env LIRRO_DEVICE_LOG_DIR=/tmp/device-commands-test/session "$LIRRO_SOURCE_DIR/scripts/sandbox" -- \
        sh -c 'echo before; reboot -f; echo after; sleep 20' 2>/dev/null)
    expect_eq "session status after reboot" 143 "$?"
    expect_eq "only what ran before reboot" before "$out"
}

refusals() {
    # Every other line is refused and reaches neither xdotool nor the system
    # manager (both stand-ins here record what they are asked).
    local dir=$work/forwarder forwarder tool
    mkdir -p "$dir/bin"
    for tool in bin/xdotool ctl; do
        printf '#!/bin/sh\necho "%s $*" >>"%s/calls"\n' "${tool#bin/}" "$dir" >"$dir/$tool"
        chmod 755 "$dir/$tool"
    done
    PATH="$dir/bin:$PATH" "$(dirname "${BASH_SOURCE[0]}")/../../emulator/device-window/device-forwarder" \
        "$dir/fifo" "" "$dir/ctl" 2>"$dir/err" &
    forwarder=$!
    for _ in $(seq 200); do [[ -p "$dir/fifo" ]] && break; sleep 0.05; done
    printf '%s\n' "key ctrl+alt+BackSpace" "key a" "key Down Up" "tap 1 2; reboot" "tap -5 3" "press 1 99999999" \
        "long 1" "reboot 1 2" "key Down" "tap 3 4" "long 5 6" >"$dir/fifo"
    for _ in $(seq 200); do [[ $(wc -l <"$dir/calls" 2>/dev/null) -ge 3 ]] && break; sleep 0.05; done
    expect_eq "what was passed on" "xdotool key -- Down|xdotool mousemove 3 4 click 1|ctl emit mouseLongPress 5 6 0 0" \
        "$(paste -sd'|' "$dir/calls")"
    expect_eq "refusals" 8 "$(grep -c '^device-forwarder: ' "$dir/err")"
    kill "$forwarder"
}

group "123 and 124 restart lirro, other statuses end the launcher" restarts
group "TERM ends it without a restart" termination
group "mount.cifs with the share's options" mount_options
group "rdate and hwclock leave this machine's clock alone" clocks
group "the stand-ins stay inside the sandbox" guards
group "the forwarder passes on only device input" refusals
rm -rf "$work" "$MOUNT_SCRIPT" /tmp/device-commands-test
finish
