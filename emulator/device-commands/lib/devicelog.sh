# Sourced by the device command stand-ins: the shared call log.
#
# Each stand-in appends one JSON line per call to $LIRRO_DEVICE_LOG_DIR/<name>.log
# (default /tmp/lirro-device), so tests can assert what the program ran.
# Stand-ins touch device paths, so they refuse to run outside the device sandbox.

LIRRO_DEVICE_LOG_DIR=${LIRRO_DEVICE_LOG_DIR:-/tmp/lirro-device}

json_string() {
    local s=$1
    s=${s//\\/\\\\}
    s=${s//\"/\\\"}
    s=${s//$'\n'/\\n}
    s=${s//$'\r'/\\r}
    s=${s//$'\t'/\\t}
    local ctl=$'[\x01-\x1f\x7f]'
    if [[ "$s" =~ $ctl ]]; then   # rare: spell the other control characters out
        local out="" c i
        for ((i = 0; i < ${#s}; i++)); do
            c=${s:i:1}
            if [[ "$c" =~ $ctl ]]; then
                printf -v c '\\u%04x' "'$c"
            fi
            out+=$c
        done
        s=$out
    fi
    printf '"%s"' "$s"
}

json_array() {
    local out="[" sep="" a
    for a in "$@"; do
        out+="$sep$(json_string "$a")"
        sep=","
    done
    printf '%s]' "$out"
}

# device_require_sandbox NAME: stop unless inside the device sandbox.
device_require_sandbox() {
    local sandbox
    sandbox="$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd -P)/scripts/sandbox"
    if ! "$sandbox" --inside; then
        echo "$1: this is the emulated device's $1; it runs only inside scripts/sandbox" >&2
        exit 126
    fi
}

# device_record NAME ARGS_JSON [KEY RAW_JSON_VALUE]...: one line in NAME.log.
device_record() {
    local name=$1 args=$2 line
    shift 2
    line="{\"time\":$(json_string "$(date -u +%Y-%m-%dT%H:%M:%S.%3NZ)"),\"command\":$(json_string "$name"),\"args\":$args"
    while [[ $# -ge 2 ]]; do
        line+=",$(json_string "$1"):$2"
        shift 2
    done
    mkdir -p "$LIRRO_DEVICE_LOG_DIR"
    printf '%s}\n' "$line" >>"$LIRRO_DEVICE_LOG_DIR/$name.log"
}

# The time the emulated device's clocks and time server report: this
# machine's, or the fixed epoch seconds in LIRRO_DEVICE_TIME.
device_epoch() {
    if [[ -n "${LIRRO_DEVICE_TIME:-}" ]]; then
        printf '%s' "$LIRRO_DEVICE_TIME"
    else
        date -u +%s
    fi
}
