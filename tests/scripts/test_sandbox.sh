#!/usr/bin/env bash
# scripts/sandbox from outside: what counts as inside, and that nothing of
# this machine but the writable paths can be written from in there.
. "$(dirname "${BASH_SOURCE[0]}")/../support/shelltest.sh"
sandbox="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/scripts/sandbox"
work=$(mktemp -d /var/tmp/lirro-sandbox-test.XXXXXX)
trap 'rm -rf "$work"' EXIT

the_variable_is_no_proof() {
    expect_status "outside" 1 "$sandbox" --inside
    expect_status "outside with the variable leaked" 1 env LIRRO_SANDBOX=1 "$sandbox" --inside
    expect_status "inside" 0 "$sandbox" -- "$sandbox" --inside
    expect_status "a nested sandbox is one too" 0 "$sandbox" -- "$sandbox" -- "$sandbox" --inside
    expect_status "another mount namespace inside is not" 1 \
        "$sandbox" -- unshare --mount --propagation private "$sandbox" --inside
    expect_status "a copied marker is not" 1 "$sandbox" -- unshare --mount --propagation private \
        sh -c 'mount -t tmpfs lirro-dev /dev && cp /proc/1/root/dev/.lirro-sandbox /dev/ && "$0" --inside' "$sandbox"
}

writes_outside_fail() {
    local out
    out=$("$sandbox" --writable "$work" -- sh -c '
        for p in /lirro-probe /etc/lirro-probe '"$(dirname "$sandbox")"'/lirro-probe; do
            touch "$p" 2>&1 | grep -q "Read-only file system" && echo "ro $p"
        done
        touch '"$work"'/probe /media/flash/probe /root/probe /tmp/probe /mnt/probe /run/probe && echo rw')
    expect_eq "only the writable and private trees take writes" \
        "ro /lirro-probe
ro /etc/lirro-probe
ro $(dirname "$sandbox")/lirro-probe
rw" "$out"
    [[ -e "$work/probe" ]] || fail "the writable path did not keep its file"
    [[ -e /media/flash/probe || -e /root/probe || -e /tmp/probe ]] && fail "a private tree leaked out"
}

group "the variable is no proof" the_variable_is_no_proof
group "writes outside fail" writes_outside_fail
finish
