# Sourced by the emulator's shell tests: tiny assertions that count failures.
# Each test script runs its groups with `group NAME FUNCTION` and ends with
# `finish`, whose exit status ctest reads.

failures=0
current_group=""

fail() {
    echo "FAIL [$current_group]: $*" >&2
    failures=$((failures + 1))
}

expect_eq() { # description expected actual
    [[ "$2" == "$3" ]] || fail "$1: expected '$2', got '$3'"
}

expect_status() { # description expected command...
    local desc=$1 want=$2 got
    shift 2
    "$@"
    got=$?
    [[ "$got" == "$want" ]] || fail "$desc: status $got, expected $want"
}

expect_file_has() { # description file text
    grep -qF -- "$3" "$2" 2>/dev/null || fail "$1: '$3' not in $2"
}

require_sandbox() {
    "$(dirname "${BASH_SOURCE[0]}")/../../scripts/sandbox" --inside ||
        { echo "FAIL: run this test through scripts/sandbox" >&2; exit 1; }
}

group() { # name function
    current_group=$1
    local before=$failures
    "$2"
    (( failures > before )) || echo "PASS: $1"
}

finish() {
    (( failures == 0 )) || { echo "$failures check(s) failed" >&2; exit 1; }
    echo "all groups passed"
    exit 0
}
