# shellcheck shell=bash
# The Wine part of package-windows.sh, sourced by it inside a private network
# namespace with: WORK SETUP STAGE REAL SHOTS STUBBORN
#   WORK   a fresh work folder (the prefix, logs, the recorder's requests)
#   SETUP  the installer; STAGE the folder it installs from (to compare with)
#   REAL   1 when the program is the real one: then its probe is checked too
#   SHOTS  empty, or a folder for screenshots of the installer's pages
#   STUBBORN  a program with a window of the frame's class that will not close
# Uses check and wait_for of package-windows.sh; leaves "PASSES FAILURES" in
# WORK/counts.
# shellcheck disable=SC2154  # passes, failures: package-windows.sh's

work=$1 setup=$2 stage=$3 real=$4 shots=$5 stubborn=$6
# A failed step is counted by check and the run goes on; only abort ends it.
set +e
pids=()

# No X client or Wine call may hang the run.
xdotool() { timeout 20 xdotool "$@"; }
xwininfo() { timeout 20 xwininfo "$@"; }
xdpyinfo() { timeout 20 xdpyinfo "$@"; }
import() { timeout 20 import "$@"; }

# winemenubuilder off: it would copy the Start menu shortcut into this
# machine's own desktop menu. The desktop's folders point into the work
# folder all the same, and so does the home folder.
export WINEPREFIX=$work/prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export XDG_DATA_HOME=$work/xdg-data XDG_CONFIG_HOME=$work/xdg-config HOME=$work/home
mkdir -p "$HOME"
unset WAYLAND_DISPLAY
# w SECONDS COMMAND...: a Wine call with a time limit, its streams in files.
n_call=0
w() {
    local limit=$1; shift
    n_call=$((n_call + 1))
    timeout "$limit" "$@" </dev/null >"$work/call-$n_call.out" 2>"$work/call-$n_call.err"
}

finish() {
    # A run that stopped before its end (an error of this script) is a failure.
    if [ -z "${reached_end:-}" ]; then
        echo "FAIL - the Wine part stopped early"; failures=$((failures + 1))
    fi
    # Ends what runs in the prefix, then the X clients and the server.
    timeout 60 wineserver -k >/dev/null 2>&1
    local i
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null; done
    wait 2>/dev/null
    echo "$passes $failures" >"$work/counts"
}
trap finish EXIT
abort() {  # abort "what" LOG...: a set-up step failed; nothing after it can run
    echo "FAIL - $1"; shift
    local log
    for log in "$@"; do [ -e "$log" ] && { echo "--- $log"; cat "$log"; }; done
    failures=$((failures + 1))
    reached_end=1
    exit 1
}

echo "-- Xvfb, trayer and a fresh prefix"
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 & pids+=($!)
exec 3>&-
wait_for 30 test -s "$work/display" || abort "Xvfb did not start" "$work/xvfb.log"
DISPLAY=:$(head -n 1 "$work/display")
export DISPLAY
wait_for 30 xdpyinfo >/dev/null 2>&1 || abort "Xvfb did not answer" "$work/xvfb.log"
# trayer before wineboot: the tray must be owned when Wine's explorer starts.
trayer --edge top --align right --widthtype request --height 32 --SetDockType true --transparent false \
    >"$work/trayer.log" 2>&1 & pids+=($!)
wait_for 30 sh -c 'xdotool search --onlyvisible --class trayer >/dev/null 2>&1' || abort "trayer did not start" "$work/trayer.log"
w 600 wineboot -i || abort "wineboot did not warm the prefix" "$work/call-$n_call.err"

drive_c=$WINEPREFIX/drive_c
instdir_win='C:\Program Files\Prodlet'
instdir="$drive_c/Program Files/Prodlet"
shortcut="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Prodlet.lnk"
uninst_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Prodlet'
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
settings_key='HKLM\Software\Quorvane Software\Prodlet\Settings'

# reg_value KEY NAME: the value's data, as "TYPE DATA"; fails if there is none.
reg_value() {
    local got
    got=$(timeout 60 wine reg query "$1" /v "$2" </dev/null 2>/dev/null | tr -d '\r') || return 1
    sed -nE "s/^ +$2 +(REG_[A-Z_]+) +(.*)$/\1 \2/p" <<<"$got" | head -n 1 | grep .
}
reg_is() {  # reg_is KEY NAME "TYPE DATA"
    local got
    got=$(reg_value "$1" "$2") || { echo "  no $2 under $1"; return 1; }
    [ "$got" = "$3" ] || { echo "  $2 is [$got], not [$3]"; return 1; }
}
reg_has() { reg_value "$1" "$2" >/dev/null; }
key_gone() { ! timeout 60 wine reg query "$1" </dev/null >/dev/null 2>&1; }
value_gone() { ! reg_has "$1" "$2"; }

# The tray: Wine's explorer docks each icon into trayer's panel as a window of its own.
panel() { xdotool search --classname '^panel$' 2>/dev/null | head -n 1; }
tray_icons() {
    local p
    p=$(panel)
    [ -n "$p" ] || { echo 0; return; }
    xwininfo -tree -id "$p" 2>/dev/null | grep -c '("explorer.exe" "explorer.exe")'
}
tray_has() { [ "$(tray_icons)" = "$1" ]; }
# An icon that is mostly the idle globe's green: the real program's icon, idle.
icon_green() {
    local id
    id=$(xwininfo -tree -id "$(panel)" 2>/dev/null | sed -nE 's/^ *(0x[0-9a-f]+) .*\("explorer\.exe" "explorer\.exe"\).*/\1/p' | head -n 1)
    [ -n "$id" ] || return 1
    import -window "$id" "$work/icon.png" 2>/dev/null || return 1
    convert "$work/icon.png" -depth 8 txt:- 2>/dev/null |
        awk -F'[(),]' 'NR > 1 { n++; if ($4 >= 96 && $3 < 64 && $5 < 64) g++ } END { exit !(n > 0 && g * 5 >= n) }' &&
        return
    # Not drawn yet? A window over the tray for a moment makes everything
    # below it be drawn again when it goes.
    timeout 5 xmessage -geometry 240x60+784+0 -timeout 1 " " >/dev/null 2>&1
    return 1
}

# Starts the installed program; $app is its process (the wine launcher, whose
# status is the program's).
start_installed() {
    timeout 600 wine "$instdir_win\\prodlet.exe" </dev/null >>"$work/prodlet.out" 2>>"$work/prodlet.err" &
    app=$!
}
app_gone() { ! kill -0 "$app" 2>/dev/null; }
app_status() {  # app_status: the ended program's status is 0
    local status=0
    wait_for 60 app_gone || { echo "  still running"; return 1; }
    wait "$app" || status=$?
    [ "$status" = 0 ] || { echo "  it ended with $status"; return 1; }
}

same_as_stage() {  # every installed file is the staged one
    local f
    for f in prodlet.exe LICENSE.txt manual/index.html; do
        cmp -s "$stage/$f" "$instdir/$f" || { echo "  $f differs from the staged one"; return 1; }
    done
}

# The recorder on 127.0.0.1:80, and a first-run seed that sends the probes to it.
mkdir -p "$work/requests"
python3 tests/e2e/http_recorder.py "$work/requests" >"$work/recorder.log" 2>&1 & pids+=($!)
wait_for 30 test -e "$work/requests/listening" || abort "the recorder did not start" "$work/recorder.log"
printf '[Settings]\r\nOften=5\r\nAutoStart=1\r\nComboName0=127.0.0.1\r\nComboNameSel=0\r\n' >"$drive_c/windows/Prodlet.INI"

echo "-- silent install"
check "no tray icon before the program runs" tray_has 0
w 300 wine "$setup" /S
echo "   (the installer's status: $?; a 64-bit Wine runs it, so what it installed is what counts)"
check "the program is installed in $instdir_win" test -f "$instdir/prodlet.exe"
check "the manual is installed as manual\\index.html" test -f "$instdir/manual/index.html"
check "the licence is installed" test -f "$instdir/LICENSE.txt"
check "the uninstaller is installed" test -f "$instdir/uninstall.exe"
check "the installed files are the staged ones" same_as_stage
check "nothing else is installed" test "$(find "$instdir" -type f | wc -l)" = 4
check "the Start menu shortcut \"Prodlet\" is there" test -f "$shortcut"
# A shell link keeps its target's path as text (ANSI and UTF-16).
lnk_target() { strings -a "$shortcut" | grep -qiF 'Program Files\Prodlet\prodlet.exe' || strings -a -el "$shortcut" | grep -qiF 'Program Files\Prodlet\prodlet.exe'; }
check "the shortcut starts the installed program" lnk_target
check "Run value \"Prodlet\" starts it at login" reg_is "$run_key" Prodlet "REG_SZ \"$instdir_win\\prodlet.exe\""
check "Uninstall: DisplayName" reg_is "$uninst_key" DisplayName "REG_SZ Prodlet"
check "Uninstall: DisplayVersion" reg_is "$uninst_key" DisplayVersion "REG_SZ 1.9"
check "Uninstall: Publisher" reg_is "$uninst_key" Publisher "REG_SZ Quorvane Software"
check "Uninstall: DisplayIcon" reg_is "$uninst_key" DisplayIcon "REG_SZ $instdir_win\\prodlet.exe,0"
check "Uninstall: UninstallString" reg_is "$uninst_key" UninstallString "REG_SZ \"$instdir_win\\uninstall.exe\""
check "Uninstall: QuietUninstallString" reg_is "$uninst_key" QuietUninstallString "REG_SZ \"$instdir_win\\uninstall.exe\" /S"
check "Uninstall: NoModify" reg_is "$uninst_key" NoModify "REG_DWORD 0x1"
check "Uninstall: NoRepair" reg_is "$uninst_key" NoRepair "REG_DWORD 0x1"
# The files' sizes (what Windows counts), not the folders'.
folder_bytes=$(find "$instdir" -type f -printf '%s\n' | awk '{ n += $1 } END { print n }')
folder_kib=$((folder_bytes / 1024))
size_near() {  # EstimatedSize (KiB, each file rounded down) within 4 KiB of the files' sum
    local got
    got=$(reg_value "$uninst_key" EstimatedSize) || return 1
    got=$((${got#REG_DWORD }))
    echo "   EstimatedSize $got KiB, the files $folder_kib KiB"
    [ $((folder_kib - got)) -ge 0 ] && [ $((folder_kib - got)) -le 4 ]
}
check "Uninstall: EstimatedSize is the folder's size" size_near
echo "   installed folder: $folder_bytes bytes in $(find "$instdir" -type f | wc -l) files; installer: $(stat -c %s "$setup") bytes"

echo "-- the installed program"
start_installed
check "its icon docks into the notification area" wait_for 90 tray_has 1
if [ "$real" = 1 ]; then
    probe_ok() {
        local req=$work/requests/0.req
        [ -e "$req" ] || return 1
        head -c 16 "$req" | cmp -s - <(printf 'GET / HTTP/1.0\r\n') && [ "$(tail -c 4 "$req" | od -An -tx1 | tr -d ' \n')" = 0d0a0d0a ]
    }
    check "it probes the seeded host: the recorder got GET / HTTP/1.0" wait_for 90 probe_ok
    check "the idle icon is green" wait_for 30 icon_green
    check "it keeps its settings (the probed host is stored)" wait_for 30 reg_is "$settings_key" ComboName0 "REG_SZ 127.0.0.1"
else
    echo "skip - the probe and the icon's colours (not the real program)"
    check "it keeps its settings" wait_for 30 reg_has "$settings_key" Often
fi
first=$app

echo "-- install again while it runs"
# Marks on the installed copy, which the upgrade must replace.
touch -d '2001-01-01' "$instdir/prodlet.exe"
echo stale >"$instdir/manual/index.html"
w 300 wine "$setup" /S
echo "   (the installer's status: $?)"
app=$first
check "the running copy was closed first and ended with status 0" app_status
check "its tray icon went with it" wait_for 30 tray_has 0
check "the files were replaced" same_as_stage
check "the program is the new one" test "$(stat -c %Y "$instdir/prodlet.exe")" != "$(date -d 2001-01-01 +%s)"
check "the Run value is kept" reg_is "$run_key" Prodlet "REG_SZ \"$instdir_win\\prodlet.exe\""
check "the Uninstall key is kept" reg_is "$uninst_key" DisplayVersion "REG_SZ 1.9"
check "one Start menu shortcut" test "$(find "$(dirname "$shortcut")" -maxdepth 1 -iname 'Prodlet*.lnk' | wc -l)" = 1
start_installed
check "the new copy starts and docks its icon" wait_for 90 tray_has 1

echo "-- silent uninstall while it runs"
quiet=$(reg_value "$uninst_key" QuietUninstallString | sed 's/^REG_SZ //')
uninstaller=${quiet% /S}
uninstaller=${uninstaller#\"}
uninstaller=${uninstaller%\"}
# It copies itself to %TEMP% and returns at once: what counts is what goes.
w 120 wine "$uninstaller" /S
check "the program's folder goes" wait_for 120 test ! -e "$instdir"
check "the running copy was closed first and ended with status 0" app_status
check "its tray icon went with it" wait_for 30 tray_has 0
check "the shortcut is gone" test ! -e "$shortcut"
check "the Run value is gone" value_gone "$run_key" Prodlet
check "the Uninstall key is gone" key_gone "$uninst_key"
if [ "$real" = 1 ]; then
    check "the settings are kept" reg_is "$settings_key" ComboName0 "REG_SZ 127.0.0.1"
else
    check "the settings are kept" reg_has "$settings_key" Often
fi
# Nothing of ours but the settings (and the seed, which was the test's own):
# no file, and in the registry no key or value that names Prodlet outside them.
leftover_files() {
    local left
    left=$(find "$drive_c" -iname '*prodlet*' ! -path "$drive_c/windows/Prodlet.INI")
    [ -z "$left" ] || { echo "$left"; return 1; }
}
check "no file of Prodlet is left" leftover_files
leftover_registry() {
    local left
    left=$(timeout 60 wine reg export 'HKLM\Software' "$work/hklm.reg" /y </dev/null >/dev/null 2>&1
           timeout 60 wine reg export 'HKCU\Software' "$work/hkcu.reg" /y </dev/null >/dev/null 2>&1
           iconv -f UTF-16 -t UTF-8 "$work/hklm.reg" "$work/hkcu.reg" 2>/dev/null | tr -d '\r' |
               awk '/^\[/ { key = $0 } tolower($0) ~ /prodlet/ && key !~ /\\Quorvane Software\\Prodlet/ { print key ": " $0 }')
    [ -z "$left" ] || { echo "$left"; return 1; }
}
check "no registry entry of Prodlet is left outside its settings" leftover_registry

echo "-- an upgrade keeps starting at login switched off"
w 300 wine "$setup" /S
check "a new install starts it at login again" reg_has "$run_key" Prodlet
w 60 wine reg delete "$run_key" /v Prodlet /f
w 300 wine "$setup" /S
check "switched off, it stays off after an upgrade" value_gone "$run_key" Prodlet
check "and the upgrade is complete" same_as_stage
w 120 wine "$uninstaller" /S
check "uninstalled again" wait_for 120 test ! -e "$instdir"

echo "-- a running copy that does not end"
w 300 wine "$setup" /S
touch -d '2001-01-01' "$instdir/prodlet.exe"
timeout 300 wine "$stubborn" </dev/null >"$work/stubborn.out" 2>&1 &
stub=$!
stub_up() { [ -n "$(xdotool search --classname '^stubborn\.exe$' 2>/dev/null)" ]; }
wait_for 60 stub_up || echo "   (its window did not show)"
w 300 wine "$setup" /S
status=$?
check "the setup fails (status $status, not 0) when the running copy will not end" test "$status" != 0
check "and leaves the installed program as it was" test "$(stat -c %Y "$instdir/prodlet.exe")" = "$(date -d 2001-01-01 +%s)"
kill "$stub" 2>/dev/null
wait "$stub" 2>/dev/null
w 120 wine "$uninstaller" /S
check "uninstalled again" wait_for 120 test ! -e "$instdir"

if [ -n "$shots" ]; then
    # shellcheck source=scripts/package-windows-shots.sh
    . scripts/package-windows-shots.sh
fi
reached_end=1
