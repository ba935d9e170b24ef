#!/usr/bin/env bash
# The launcher's restart protocol, with a scripted stand-in for lirro that
# exits with the statuses it is given, one per start, and records each start.
set -uo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/../../support/shelltest.sh"
require_sandbox

LAUNCHER=/opt/vexa/arm/bin/lirro.oar
MOUNT_SCRIPT=/tmp/lirro_mount.sh
work=$(mktemp -d /tmp/launcher-test.XXXXXX)
fake=$work/fake-lirro

# Each start appends "lirro|ARG|ARG..." to $work/order, then exits with the
# next status of $work/statuses (0 when none are left).
cat >"$fake" <<'FAKE'
#!/usr/bin/env bash
work=$(dirname "$0")
line=lirro
for a in "$@"; do line+="|$a"; done
echo "$line" >>"$work/order"
status=$(head -n 1 "$work/statuses" 2>/dev/null)
sed -i 1d "$work/statuses" 2>/dev/null
if [[ "${FAKE_WAIT_FOR_TERM:-}" == 1 ]]; then
    trap 'exit 123' TERM        # even a hand-off code must not restart it now
    echo started >"$work/running"
    sleep 30 & wait $!
fi
exit "${status:-0}"
FAKE
chmod 755 "$fake"

reset() { # statuses...
    rm -f "$work/order" "$work/log" "$work/running"
    printf '%s\n' "$@" >"$work/statuses"
    printf 'echo mount >>%s/order\n' "$work" >"$MOUNT_SCRIPT"
}

launch() {
    "$LAUNCHER" --lirro "$fake" --log "$work/log" -- "$@"
}

order() { paste -sd' ' "$work/order"; }

installed_copy() {
    cmp -s "$LAUNCHER" "$LIRRO_SOURCE_DIR/emulator/launcher/lirro.oar" ||
        fail "the sandbox's $LAUNCHER is not the project's launcher"
    [[ -x "$LAUNCHER" ]] || fail "$LAUNCHER is not executable"
}

restart_after_handoff() {
    reset 123 0
    expect_status "mount and open" 0 launch one "two words"
    expect_eq "starts and mount" "lirro|one|two words mount lirro|one|two words|ZorUdu123" "$(order)"
    expect_file_has "log: hand-off status" "$work/log" '"event":"exit","status":123}'
    expect_file_has "log: mount step" "$work/log" '"event":"mount","script":"/tmp/lirro_mount.sh","status":0}'
    expect_file_has "log: restart args" "$work/log" '"event":"start","program":"'"$fake"'","args":["one","two words","ZorUdu123"]}'
    expect_file_has "log: stop" "$work/log" '"event":"stop","status":0}'
    expect_eq "log: one JSON object per line" 7 "$(grep -c '^{"time":"[0-9T:.-]*Z","event":"[a-z]*".*}$' "$work/log")"

    # Arguments that need escaping stay valid JSON in the log.
    reset 123 0
    launch 'say "hi"' $'tab\there' 'back\slash' $'\x01' 'Müller'
    expect_file_has "log: escaped args" "$work/log" \
        '"args":["say \"hi\"","tab\there","back\\slash","\u0001","Müller","ZorUdu123"]}'

    reset 124 0
    expect_status "mount, open and sync" 0 launch
    expect_eq "124 restarts with ZorUdu124" "lirro mount lirro|ZorUdu124" "$(order)"

    # Each restart carries only the latest code after the original arguments.
    reset 124 123 9
    expect_status "two hand-offs, then a failure status" 9 launch -x
    expect_eq "codes do not pile up" "lirro|-x mount lirro|-x|ZorUdu124 mount lirro|-x|ZorUdu123" "$(order)"
}

other_status_stops() {
    local s
    for s in 0 1 122 125 134; do
        reset "$s"
        expect_status "status $s passes through" "$s" launch a
        expect_eq "status $s: one start, no mount" "lirro|a" "$(order)"
    done
    expect_file_lacks "no mount step logged" "$work/log" '"event":"mount"'

    expect_status "a missing program ends with 127" 127 "$LAUNCHER" --lirro "$work/missing" --log "$work/log2"
    expect_file_has "missing program logged" "$work/log2" '"event":"stop","status":127}'
}

failed_mount_still_restarts() {
    # The program itself finds out that nothing was mounted; it must be restarted.
    reset 123 0
    printf 'echo mount >>%s/order\nexit 3\n' "$work" >"$MOUNT_SCRIPT"
    expect_status "failed mount" 0 launch
    expect_eq "restarted after a failed mount" "lirro mount lirro|ZorUdu123" "$(order)"
    expect_file_has "mount failure logged" "$work/log" '"event":"mount","script":"/tmp/lirro_mount.sh","status":3}'

    reset 123 0
    rm -f "$MOUNT_SCRIPT"
    expect_status "no mount script" 0 launch
    expect_eq "restarted without a mount script" "lirro lirro|ZorUdu123" "$(order)"
}

program_from_environment() {
    reset 123 0
    local err
    err=$(LIRRO_BIN=$fake "$LAUNCHER" 2>&1 >/dev/null)
    expect_eq "LIRRO_BIN names the program" "lirro mount lirro|ZorUdu123" "$(order)"
    [[ "$err" == *'"event":"stop","status":0}'* ]] || fail "without --log the steps go to standard error: $err"

    # lirro reads the launcher's standard input.
    cat >"$work/reader" <<'READER'
#!/bin/sh
read -r line
[ "$line" = "device input" ]
READER
    chmod 755 "$work/reader"
    echo "device input" | "$LAUNCHER" --lirro "$work/reader" 2>/dev/null
    expect_eq "standard input reaches lirro" 0 "$?"
}

termination_ends_without_restart() {
    reset 0
    FAKE_WAIT_FOR_TERM=1 "$LAUNCHER" --lirro "$fake" --log "$work/log" &
    local pid=$!
    for _ in $(seq 100); do [[ -e "$work/running" ]] && break; sleep 0.05; done
    [[ -e "$work/running" ]] || fail "the program never started"
    kill -TERM "$pid"
    wait "$pid"
    expect_eq "terminated launcher status" 143 "$?"
    expect_eq "no restart after TERM" "lirro" "$(order)"
    expect_file_has "signal logged" "$work/log" '"event":"signal","signal":"TERM","status":123}'
}

group "installed at the device path" installed_copy
group "restart after 123 and 124" restart_after_handoff
group "other statuses stop the launcher" other_status_stops
group "a failed mount still restarts" failed_mount_still_restarts
group "program from LIRRO_BIN, log on stderr, stdin" program_from_environment
group "TERM ends it without a restart" termination_ends_without_restart
rm -rf "$work" "$MOUNT_SCRIPT"
finish
