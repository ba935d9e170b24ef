#!/usr/bin/env bash
# The launcher's restart protocol at the device's path, with a scripted
# stand-in for lirro that exits with the statuses it is given, one per start,
# and records each start.
set -uo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/../../support/shelltest.sh"
require_sandbox

LAUNCHER=/opt/vexa/arm/bin/lirro.oar
MOUNT_SCRIPT=/tmp/lirro_mount.sh
work=$(mktemp -d /tmp/launcher-test.XXXXXX)
fake=$work/fake-lirro
cat >"$fake" <<'FAKE'
#!/usr/bin/env bash
work=$(dirname "$0")
line=lirro
for a in "$@"; do line+="|$a"; done
echo "$line" >>"$work/order"
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

group "123 and 124 restart lirro, other statuses end the launcher" restarts
group "TERM ends it without a restart" termination
rm -rf "$work" "$MOUNT_SCRIPT"
finish
