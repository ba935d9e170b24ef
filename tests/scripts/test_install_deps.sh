#!/usr/bin/env bash
# scripts/install-deps against stand-in dpkg-query, dpkg, apt-get and id: what
# it asks apt to install, its exit status, and that every failure says why.
. "$(dirname "${BASH_SOURCE[0]}")/../support/shelltest.sh"
script="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/scripts/install-deps"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin"

# dpkg-query -W as Debian's: known packages listed with their state, exit 1
# when one of them is unknown; FAKE_DPKG_STATUS overrides the exit status.
cat >"$work/bin/dpkg-query" <<'STUB'
#!/usr/bin/env bash
[[ -n "${FAKE_DPKG_STATUS:-}" ]] && { echo "dpkg-query: error" >&2; exit "$FAKE_DPKG_STATUS"; }
shift 2
rc=0
for p in "$@"; do
    if [[ " $FAKE_INSTALLED " == *" $p "* ]]; then echo "$p install ok installed"
    elif [[ " $FAKE_KNOWN " == *" $p "* ]]; then echo "$p unknown ok not-installed"
    else echo "dpkg-query: no packages found matching $p" >&2; rc=1; fi
done
exit $rc
STUB
cat >"$work/bin/apt-get" <<'STUB'
#!/usr/bin/env bash
echo "$*" >>"$FAKE_APT_LOG"
[[ "$1" == install ]] && exit "${FAKE_APT_STATUS:-0}"
exit 0
STUB
# dpkg: the foreign architectures in FAKE_FOREIGN; adding one is logged.
cat >"$work/bin/dpkg" <<'STUB'
#!/usr/bin/env bash
[[ "$1" == --print-foreign-architectures ]] && { tr ' ' '\n' <<<"$FAKE_FOREIGN"; exit 0; }
echo "dpkg $*" >>"$FAKE_APT_LOG"
STUB
cat >"$work/bin/id" <<'STUB'
#!/usr/bin/env bash
echo "${FAKE_UID:-0}"
STUB
chmod +x "$work/bin"/*

list() { sed -n "/^$1=(/,/^)/p" "$script" | sed '1d;$d' | tr -s ' \n' ' '; }
all=$(list PACKAGES)
armhf=$(list ARMHF_PACKAGES)
run() { # expected-status env...
    local want=$1
    shift
    : >"$work/apt.log"
    env PATH="$work/bin:$PATH" FAKE_APT_LOG="$work/apt.log" FAKE_INSTALLED= FAKE_KNOWN= FAKE_FOREIGN= \
        "$@" bash "$script" $option >"$work/out" 2>"$work/err"
    local got=$?
    [[ $got == "$want" ]] || fail "status $got, expected $want; stderr: $(cat "$work/err")"
}
asked() { sed -n 's/^install -y -qq --no-install-recommends --no-remove //p' "$work/apt.log"; }
option=""

none_installed() {
    run 0
    expect_eq "installs every package" "$(echo $all)" "$(asked)"
    expect_file_has "updates first" "$work/apt.log" "update -qq"
}
some_missing() {
    run 0 FAKE_INSTALLED="$(echo $all | cut -d' ' -f3-)" FAKE_KNOWN="$(echo $all | cut -d' ' -f2)"
    expect_eq "installs only the missing" "$(echo $all | cut -d' ' -f1-2)" "$(asked)"
}
all_installed() {
    run 0 FAKE_INSTALLED="$all"
    expect_eq "asks apt nothing" "" "$(cat "$work/apt.log")"
}
failures_say_why() {
    run 1 FAKE_DPKG_STATUS=2
    expect_file_has "dpkg-query failure named" "$work/err" "dpkg-query failed"
    expect_eq "no apt after dpkg-query failed" "" "$(cat "$work/apt.log")"
    run 1 FAKE_APT_STATUS=100
    expect_file_has "apt failure named" "$work/err" "apt-get install"
    run 1 FAKE_UID=1000
    expect_file_has "not root" "$work/err" "run as root"
}

# The cross build's packages: the architecture is added once, before apt
# reads the package lists, and a package of it counts only as itself.
armhf_missing() {
    run 0
    expect_eq "installs the cross build's packages" "$(echo $armhf)" "$(asked)"
    expect_eq "architecture added, then lists read" "dpkg --add-architecture armhf|update -qq" \
        "$(head -2 "$work/apt.log" | paste -sd'|')"
    run 0 FAKE_FOREIGN="i386 armhf" FAKE_INSTALLED="$(echo $armhf | sed 's/:armhf//g')"
    expect_eq "this machine's qtbase5-dev is not the armhf one" "$(tr ' ' '\n' <<<"$armhf" | grep :armhf | paste -sd' ')" "$(asked)"
    run 0 FAKE_FOREIGN="armhf" FAKE_INSTALLED="$(echo $armhf | cut -d' ' -f2-)"
    expect_eq "architecture there: not added again" "update -qq|install -y -qq --no-install-recommends --no-remove $(echo $armhf | cut -d' ' -f1)" \
        "$(paste -sd'|' "$work/apt.log")"
}

group "none installed" none_installed
group "some missing" some_missing
group "all installed" all_installed
group "failures say why" failures_say_why
option=--armhf
group "armhf" armhf_missing
finish
