#!/usr/bin/env bash
# The device command stand-ins as the program runs them: mount.cifs with the
# share format's command lines, the time commands, the network reports, the
# text editor, and reboot's guards and its end of the session.
set -uo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/../../support/shelltest.sh"
require_sandbox

export LIRRO_DEVICE_LOG_DIR=/tmp/device-commands-test/log
SHARES=/tmp/lirro-share/192.168.0.10
SERVER=192.168.0.10
OPTS_TAIL=nostrictsync,noserverino,iocharset=utf8
rm -rf /tmp/device-commands-test
mkdir -p /tmp/device-commands-test

last_log() { tail -n 1 "$LIRRO_DEVICE_LOG_DIR/$1.log" 2>/dev/null; }
mounted() { findmnt -rn -o TARGET | grep -qx -- "$1"; }

mount_and_browse() {
    local mp=/mnt/ZorUdu/Dropbox
    mkdir -p "$mp"
    # The default format, anonymous, no domain, empty login and password.
    expect_status "guest mount" 0 mount.cifs "//$SERVER/Dropbox" "$mp" -o "guest,$OPTS_TAIL,user=,pass="
    mounted "$mp" || fail "Dropbox is not in the mount table"
    expect_eq "share content visible" "A book in the cloud." "$(cat "$mp/books/cloud_book.txt" 2>&1)"
    expect_eq "the program's mount table count" 1 "$(mount | grep -o /mnt/ZorUdu | wc -l)"
    expect_file_has "mount logged" "$LIRRO_DEVICE_LOG_DIR/mount.cifs.log" \
        '"server":"192.168.0.10","share":"Dropbox","mountpoint":"/mnt/ZorUdu/Dropbox","user":"","domain":"","guest":true,"readonly":false,"status":0}'

    echo "written on the device" >"$mp/from_device.txt"
    expect_eq "writes reach the share" "written on the device" "$(cat "$SHARES/Dropbox/from_device.txt" 2>&1)"
    rsync -a "$mp/" /tmp/device-commands-test/copy/
    [[ -f /tmp/device-commands-test/copy/books/cloud_book.txt ]] || fail "rsync from the mounted share"

    expect_status "umount" 0 umount "$mp"
    mounted "$mp" && fail "still mounted after umount"
    expect_eq "mount point empty after umount" "" "$(ls -A "$mp")"
    [[ -f "$SHARES/Dropbox/books/cloud_book.txt" ]] || fail "umount lost the share's files"

    # A sub-directory of a share, read-only, combined -o form.
    mkdir -p /mnt/ZorUdu/books
    expect_status "ro sub-directory" 0 mount.cifs "//$SERVER/Dropbox/books" /mnt/ZorUdu/books -oguest,ro
    [[ -f /mnt/ZorUdu/books/cloud_book.txt ]] || fail "sub-directory mount shows the wrong tree"
    touch /mnt/ZorUdu/books/new 2>/dev/null && fail "a read-only mount took a write"
    umount /mnt/ZorUdu/books
}

mount_failures() {
    local mp=/mnt/ZorUdu/target err
    mkdir -p "$mp"
    err=$(mount.cifs "//$SERVER/nosuchshare" "$mp" -o "guest,user=,pass=" 2>&1)
    expect_eq "missing share status" 32 "$?"
    [[ "$err" == *"mount error(2): No such file or directory"* ]] || fail "missing share message: $err"
    err=$(mount.cifs //10.9.9.9/Dropbox "$mp" -o guest 2>&1)
    expect_eq "unknown server status" 32 "$?"
    [[ "$err" == *"mount error(112): Host is down"* ]] || fail "unknown server message: $err"
    expect_status "missing mount point" 32 mount.cifs "//$SERVER/Dropbox" /mnt/ZorUdu/absent -o guest 2>/dev/null
    expect_status "not a UNC name" 1 mount.cifs "$SERVER/Dropbox" "$mp" -o guest 2>/dev/null
    # A password with a blank splits the options: the command must not mount.
    expect_status "options split at a blank" 1 mount.cifs "//$SERVER/Dropbox" "$mp" -o "$OPTS_TAIL,user=bob,pass=two" words 2>/dev/null
    mounted "$mp" && fail "a failed mount.cifs left a mount"
    [[ -z "$(ls -A "$mp")" ]] || fail "a failed mount.cifs changed the mount point"
}

mount_credentials() {
    local mp=/mnt/ZorUdu/private err
    mkdir -p "$mp"
    err=$(mount.cifs "//$SERVER/private" "$mp" -o "guest,$OPTS_TAIL,user=,pass=" 2>&1)
    expect_eq "guest refused" 32 "$?"
    [[ "$err" == *"mount error(13): Permission denied"* ]] || fail "refusal message: $err"
    expect_status "wrong password" 32 mount.cifs "//$SERVER/private" "$mp" -o "$OPTS_TAIL,user=alice,pass=wrong" 2>/dev/null
    expect_status "wrong user" 32 mount.cifs "//$SERVER/private" "$mp" -o "$OPTS_TAIL,user=bob,pass=secret" 2>/dev/null
    mounted "$mp" && fail "a refused login mounted the share"
    # Domain, login and password as the format places them.
    expect_status "right login" 0 mount.cifs "//$SERVER/private" "$mp" -o "domain=HOME,$OPTS_TAIL,user=alice,pass=secret"
    expect_eq "private content" "for alice only" "$(cat "$mp/diary.txt" 2>&1)"
    expect_file_has "login logged" "$LIRRO_DEVICE_LOG_DIR/mount.cifs.log" '"user":"alice","domain":"HOME","guest":false'
    umount "$mp"
    printf 'username=alice\npassword=secret\n' >/tmp/device-commands-test/cred
    expect_status "credentials file" 0 mount.cifs "//$SERVER/private" "$mp" -o credentials=/tmp/device-commands-test/cred
    umount "$mp"
    expect_status "user%password" 0 mount.cifs "//$SERVER/private" "$mp" -o user=alice%secret
    umount "$mp"
}

mount_script_through_launcher() {
    # The program's generated mount script, run by the launcher between two
    # starts: the second start finds the share in the mount table.
    cat >/tmp/lirro_mount.sh <<SCRIPT
#!/bin/sh

mkdir /mnt/ZorUdu
chmod 0777 /mnt/ZorUdu

mkdir /mnt/ZorUdu/Dropbox
mount.cifs //$SERVER/Dropbox /mnt/ZorUdu/Dropbox -o guest,$OPTS_TAIL,user=,pass=
if [ "\$?" -ne 0 ]
then
  rm -rf /mnt/ZorUdu/Dropbox
fi

mkdir /mnt/ZorUdu/gone
mount.cifs //$SERVER/gone /mnt/ZorUdu/gone -o guest,$OPTS_TAIL,user=,pass=
if [ "\$?" -ne 0 ]
then
  rm -rf /mnt/ZorUdu/gone
fi

chmod 0555 /mnt/ZorUdu

SCRIPT
    cat >/tmp/device-commands-test/lirro <<'FAKE'
#!/bin/sh
case "$1" in
    ZorUdu123) mount >/tmp/device-commands-test/mounts; exit 0 ;;
    *) exit 123 ;;
esac
FAKE
    chmod 755 /tmp/device-commands-test/lirro
    expect_status "launcher run" 0 /opt/vexa/arm/bin/lirro.oar --lirro /tmp/device-commands-test/lirro \
        --log /tmp/device-commands-test/launcher.log
    expect_eq "the restarted program sees one share" 1 "$(grep -c /mnt/ZorUdu /tmp/device-commands-test/mounts)"
    expect_file_has "at the share's mount point" /tmp/device-commands-test/mounts " on /mnt/ZorUdu/Dropbox "
    [[ -e /mnt/ZorUdu/gone ]] && fail "the failed share's directory was left behind"
    expect_eq "mount root closed" 555 "$(stat -c %a /mnt/ZorUdu)"
    umount /mnt/ZorUdu/Dropbox
    chmod 0777 /mnt/ZorUdu
    rm -rf /mnt/ZorUdu/Dropbox
}

time_commands() {
    local before after out
    before=$(date +%s)
    # Exactly what "Sync with Internet time" runs, with a server clock at 1970.
    LIRRO_DEVICE_TIME=0 sh -c "rdate -s time.example.org; hwclock -w -u"
    expect_eq "setting the clocks succeeds" 0 "$?"
    after=$(date +%s)
    (( after - before < 5 && after >= before )) || fail "this machine's clock moved: $before -> $after"
    expect_file_has "rdate -s recorded" "$LIRRO_DEVICE_LOG_DIR/rdate.log" \
        '"host":"time.example.org","time":0,"print":false,"set_requested":true,"clock_changed":false,"status":0}'
    expect_file_has "hwclock -w recorded" "$LIRRO_DEVICE_LOG_DIR/hwclock.log" \
        '"args":["-w","-u"],"action":"systohc","utc":true,"time":0,"clock_changed":false,"status":0}'

    out=$(LIRRO_DEVICE_TIME=1700000000 rdate -p time.example.org)
    expect_eq "rdate -p" $'rdate: [time.example.org]\tTue Nov 14 22:13:20 2023' "$out"
    out=$(LIRRO_DEVICE_TIME=1700000000 hwclock -r -u)
    expect_eq "hwclock -r" "2023-11-14 22:13:20.000000+00:00" "$out"
    out=$(rdate -p time.example.org)
    [[ "$out" == *"$(date -u +%Y)"* ]] || fail "rdate without a fixed time reports this machine's: $out"

    out=$(LIRRO_RDATE_FAIL=1 rdate -p time.example.org 2>&1)
    expect_eq "unreachable server status" 1 "$?"
    [[ "$out" == *"Network is unreachable"* ]] || fail "unreachable server message: $out"
    expect_status "rdate without a host" 1 rdate -p 2>/dev/null
    expect_status "hwclock unknown option" 1 hwclock --frobnicate 2>/dev/null
}

network_reports() {
    local out
    out=$(ifconfig wlan0)
    expect_eq "ifconfig status" 0 "$?"
    [[ "$out" == wlan0*"inet addr:192.168.0.57  Bcast:192.168.0.255  Mask:255.255.255.0"* ]] ||
        fail "ifconfig wlan0: $out"
    out=$(LIRRO_WLAN_ADDR=10.1.2.3 ifconfig wlan0)
    [[ "$out" == *"inet addr:10.1.2.3  Bcast:10.1.2.255"* ]] || fail "ifconfig address override: $out"
    expect_eq "ifconfig lists lo and wlan0" "lo wlan0" "$(ifconfig | grep -o '^[a-z0-9]*' | paste -sd' ')"
    expect_status "ifconfig unknown interface" 1 ifconfig eth7 2>/dev/null
    expect_status "ifconfig does not configure" 1 ifconfig wlan0 down 2>/dev/null

    out=$(LIRRO_WLAN_ESSID=Cafe iwconfig wlan0)
    expect_eq "iwconfig status" 0 "$?"
    [[ "$out" == 'wlan0     IEEE 802.11bg  ESSID:"Cafe"'* ]] || fail "iwconfig wlan0: $out"
    [[ "$(iwconfig lo)" == *"no wireless extensions."* ]] || fail "iwconfig lo"
    expect_status "iwconfig unknown device" 237 iwconfig eth7 2>/dev/null
    expect_file_has "ifconfig recorded" "$LIRRO_DEVICE_LOG_DIR/ifconfig.log" '"command":"ifconfig","args":["wlan0"],"status":0}'
    expect_file_has "iwconfig recorded" "$LIRRO_DEVICE_LOG_DIR/iwconfig.log" '"command":"iwconfig","args":["wlan0"],"status":0}'
}

text_editor_calls() {
    local f="/tmp/device-commands-test/My Notes.txt.txt"
    printf 'abc' >"$f"
    expect_status "editor without an edit" 0 text_editor "$f"
    expect_eq "file untouched" "abc" "$(cat "$f")"
    expect_file_has "call recorded" "$LIRRO_DEVICE_LOG_DIR/text_editor.log" \
        '"args":["/tmp/device-commands-test/My Notes.txt.txt"],"exists":true,"size":3,"edited":false}'
    LIRRO_TEXT_EDITOR_APPEND=$'\nmore "quoted"' text_editor "$f"
    expect_eq "edit appended" $'abc\nmore "quoted"' "$(cat "$f")"
    expect_file_has "edit recorded" "$LIRRO_DEVICE_LOG_DIR/text_editor.log" '"exists":true,"size":3,"edited":true}'
    expect_status "missing file is recorded, not created" 0 text_editor /tmp/device-commands-test/none.txt
    [[ -e /tmp/device-commands-test/none.txt ]] && fail "the editor created a file"
    expect_status "no file" 1 text_editor 2>/dev/null
}

outside_the_sandbox() {
    # In any other mount namespace every stand-in refuses and leaves nothing
    # behind, whatever the environment says.
    local c
    for c in reboot text_editor mount.cifs rdate hwclock ifconfig iwconfig; do
        expect_status "$c refuses" 126 unshare --mount --propagation private env LIRRO_SANDBOX=1 \
            LIRRO_DEVICE_LOG_DIR=/tmp/device-commands-test/outside "$c" "//$SERVER/Dropbox" /mnt/ZorUdu 2>/dev/null
    done
    [[ -e /tmp/device-commands-test/outside ]] && fail "a refusing stand-in wrote a log"
    mounted /mnt/ZorUdu && fail "a refusing mount.cifs mounted"
}

reboot_guards() {
    # PID 1 of this PID namespace is not the sandbox's.
    local out
    out=$(unshare --pid --fork reboot 2>&1)
    expect_eq "reboot outside the sandbox's PID namespace" 126 "$?"
    [[ "$out" == *"only inside scripts/sandbox"* ]] || fail "refusal message: $out"
    [[ -e "$LIRRO_DEVICE_LOG_DIR/reboot.log" ]] && fail "a refused reboot was recorded"

    # A nested device session: reboot ends it at once with TERM's status.
    local dir=/tmp/device-commands-test/session start elapsed
    mkdir -p "$dir"
    start=$(date +%s%N)
    out=$(cd "$dir" && env LIRRO_DEVICE_LOG_DIR="$dir/log" "$LIRRO_SOURCE_DIR/scripts/sandbox" -- \
        sh -c 'echo before; reboot -f; echo after; sleep 20; echo late' 2>/dev/null)
    expect_eq "session status after reboot" 143 "$?"
    elapsed=$(( ($(date +%s%N) - start) / 1000000 ))
    expect_eq "only what ran before reboot" before "$out"
    (( elapsed < 8000 )) || fail "the session took ${elapsed} ms to end"
    expect_file_has "reboot recorded" "$dir/log/reboot.log" '"command":"reboot","args":["-f"],"status":0}'
}

group "mount.cifs binds the share, umount releases it" mount_and_browse
group "mount.cifs failures" mount_failures
group "mount.cifs logins" mount_credentials
group "the mount script through the launcher" mount_script_through_launcher
group "rdate and hwclock leave the clock alone" time_commands
group "ifconfig and iwconfig" network_reports
group "text_editor" text_editor_calls
group "stand-ins refuse outside the sandbox" outside_the_sandbox
group "reboot" reboot_guards
rm -rf /tmp/device-commands-test
finish
