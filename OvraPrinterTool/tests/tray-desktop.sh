#!/usr/bin/env bash
# The tray monitor on a real X server: Xvfb with a window manager and a tray host.
#   tray-desktop.sh TRAY_BINARY STATUS_WRITER SCREENSHOT_DIR DESKTOP_BUS
# Checks that the icon is embedded in the tray, "-hide" starts with the icon only, a click
# shows the window at its scaled size (2560- and 3840-pixel screens), closing hides it, a
# second start shows the running message and exits 0, Exit in the tray menu ends it.
# Without a tray area (no tray host, or the tray host gone) the window shows and errors
# and warnings go to the session bus's notification service; with a StatusNotifierItem
# watcher on the bus (KDE Plasma, GNOME's AppIndicator extension) the icon registers
# there. DESKTOP_BUS provides both services on a private bus.
# Leaves screenshots of the window, a balloon and the message in SCREENSHOT_DIR.
set -euo pipefail
tray=$1 writer=$2 shots=$3 desktop_bus=$4
for tool in Xvfb trayer openbox xdotool xwininfo wmctrl import dbus-daemon; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
mkdir -p "$shots"
work=$(mktemp -d /tmp/ovra-tray-desktop.XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  [[ -s "$work/tray.log" ]] && sed 's/^/tray: /' "$work/tray.log"
  xwininfo -root -tree 2>/dev/null | grep -E 'OvraPrinterTool|panel|trayer' | sed 's/^/x: /' || true
  exit 1
}
check() { echo "ok: $*"; }

export OVRA_INSTALL_ROOT="$work/root" HOME="$work/home" LANG=C.UTF-8 LC_ALL=C.UTF-8
export QT_QPA_PLATFORM=xcb   # the test suite runs offscreen; this one needs the X server
mkdir -p "$OVRA_INSTALL_ROOT/cfg" "$HOME"
cat > "$OVRA_INSTALL_ROOT/cfg/printerlist.ini" <<'LIST'
[Main]
Count=4
[printer_0]
Name=desk
ConnectType=1
Port=Ovra/P2200DN?serial=D1
URI=usb://Ovra/P2200DN?serial=D1
[printer_1]
Name=office
ConnectType=2
Port=192.168.1.20
URI=socket://192.168.1.20:9100
[printer_2]
Name=hall
ConnectType=2
Port=192.168.1.21
URI=socket://192.168.1.21:9100
[printer_3]
Name=lab
ConnectType=1
Port=Ovra/MK246?serial=L1
URI=usb://Ovra/MK246?serial=L1
LIST
status() { "$writer" "$OVRA_INSTALL_ROOT/cfg/$1.dat" "${@:2}"; }
status desk 10 6200 w:110D
status hall 00 8550

window_ids() { xdotool search --onlyvisible --name "^Ovra Laser Printer Helper\$" 2>/dev/null || true; }
wait_for() {  # wait_for SECONDS COMMAND...
  local end=$((SECONDS + $1)); shift
  until "$@"; do [[ $SECONDS -lt $end ]] || return 1; sleep 0.2; done
}
has_window() { [[ -n "$(window_ids)" ]]; }
no_window() { [[ -z "$(window_ids)" ]]; }
icon_geometry() { xwininfo -root -tree | awk '/"panel": \("panel" "trayer"\)/ {p=1} p && /"OvraPrinterTool": \("OvraPrinterTool"/ {print $(NF-1); exit}' || true; }
icon_embedded() { [[ -n "$(icon_geometry)" ]]; }
# The window manager may apply the scaled size a moment after the window is mapped.
window_size() { xwininfo -id "$(window_ids | head -1)" 2>/dev/null | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}'; }
size_is() { [[ "$(window_size)" == "$1" ]]; }
wait_for_size() { wait_for 10 size_is "$1"; }
# The tray allows one instance per user: a tray of this user started elsewhere (another
# test run) would turn each start here into the "already running" message.
no_other_tray() { ! pgrep -u "$(id -u)" -x OvraPrinterTool >/dev/null; }
require_no_other_tray() {
  wait_for 30 no_other_tray && return
  echo "SKIP: another OvraPrinterTool of this user runs (pid $(pgrep -u "$(id -u)" -x OvraPrinterTool | tr '\n' ' '))"
  exit 77
}

start_desktop() {  # start_desktop WIDTH HEIGHT [no-tray]
  exec 5> "$work/display"
  Xvfb -displayfd 5 -screen 0 "$1x$2x24" -nolisten tcp >/dev/null 2>&1 &
  pids+=($!)
  wait_for 10 test -s "$work/display" || fail "Xvfb did not start"
  export DISPLAY=":$(head -1 "$work/display")"
  openbox >/dev/null 2>&1 &
  pids+=($!)
  if [[ ${3:-} == no-tray ]]; then sleep 0.5; return; fi
  trayer --edge bottom --align right --widthtype pixel --width 240 --heighttype pixel --height 32 \
    --transparent false --tint 0x303840 >/dev/null 2>&1 &
  trayer_pid=$!
  pids+=($trayer_pid)
  wait_for 15 tray_host_up || fail "the tray host did not start"
  sleep 0.5
}
# A private session bus with the test's desktop services (start_bus SERVICE_OPTIONS...).
start_bus() {
  exec 6> "$work/bus-address"
  dbus-daemon --session --nofork --print-address=6 >/dev/null 2>&1 &
  pids+=($!)
  wait_for 10 test -s "$work/bus-address" || fail "dbus-daemon did not start"
  export DBUS_SESSION_BUS_ADDRESS=$(head -1 "$work/bus-address")
  "$desktop_bus" "$@" > "$work/bus.log" 2>&1 &
  pids+=($!)
  wait_for 10 grep -q '^ready$' "$work/bus.log" || fail "the desktop bus services did not start"
}
bus_has() { grep -qF -- "$1" "$work/bus.log"; }
stop_all() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  pids=()
  unset DBUS_SESSION_BUS_ADDRESS
}
tray_host_up() { xwininfo -root -tree 2>/dev/null | grep -c '"panel": ("panel" "trayer")' >/dev/null; }
# The tray menu: a small viewable window of the program other than the icon.
menu_geometry() {
  xwininfo -root -tree | awk '/"OvraPrinterTool": \("OvraPrinterTool"/ && !/22x30/ {print $(NF-1) " " $NF}' |
    while read -r size pos; do
      w=${size%%x*}; rest=${size#*x}; h=${rest%%+*}
      [[ $w -lt 600 && $h -lt 300 && $h -gt 60 ]] && { echo "$w $h $pos"; break; }
    done || true
}
menu_up() { [[ -n "$(menu_geometry)" ]]; }

# 2560 pixels: the window grows by 2560/1920.
start_desktop 2560 1440
require_no_other_tray
"$tray" -hide > "$work/tray.log" 2>&1 &
tray_pid=$!
pids+=($tray_pid)
wait_for 20 icon_embedded || fail "the tray icon is not embedded in the tray"
check "icon embedded in the tray at $(icon_geometry)"
sleep 1
no_window || fail "-hide shows the window"
check "-hide: only the icon"

read -r x y < <(xwininfo -root -tree | awk '/"panel": \("panel" "trayer"\)/ {p=1} p && /"OvraPrinterTool": \("OvraPrinterTool"/ {split($NF, a, "+"); split($(NF-1), s, "[x+]"); print a[2] + s[1] / 2, a[3] + s[2] / 2; exit}')
xdotool mousemove "$x" "$y" click 1
wait_for 5 has_window || fail "a click on the icon does not show the window"
wait_for_size 1426x533 || fail "window is $(window_size) on 2560 pixels, not 1426x533"
check "a click shows the window, 1426x533 on a 2560-pixel screen"

sleep 2   # the status readers fill the rows
import -window root "$shots/tray-window-2560.png"
status office 00 3000 e:11B0 w:110D
sleep 1.5
import -window root "$shots/tray-balloon.png"

wmctrl -c "Ovra Laser Printer Helper"
wait_for 5 no_window || fail "closing does not hide the window"
kill -0 "$tray_pid" || fail "closing ended the program"
check "closing hides the window, the program runs on"

"$tray" > "$work/second.log" 2>&1 &
second=$!
wait_for 10 has_window || fail "the second start shows no message"
sleep 1
import -window root "$shots/tray-second-instance.png"
second_gone() { ! kill -0 "$second" 2>/dev/null; }
for _ in 1 2 3 4 5; do   # the message box takes the key once it has the focus
  for id in $(window_ids); do xdotool windowactivate --sync "$id" key Return 2>/dev/null || true; done
  wait_for 2 second_gone && break
done
second_gone || fail "the second instance does not end"
wait "$second" && rc=0 || rc=$?
[[ $rc -eq 0 ]] || fail "the second instance exits with $rc"
grep -q "already running for this user" "$work/second.log" || fail "the second instance says nothing on standard error"
check "a second start shows the message and exits 0"

xdotool mousemove "$x" "$y" click 3
wait_for 10 menu_up || fail "a right click shows no menu"
sleep 0.5
import -window root "$shots/tray-menu.png"
read -r mw mh mpos < <(menu_geometry)
IFS=+ read -r _ mx my <<< "$mpos"
xdotool mousemove $((mx + mw / 2)) $((my + mh - mh / 8)) click 1   # the last entry: Exit
wait_for 10 bash -c "! kill -0 $tray_pid 2>/dev/null" || fail "Exit in the menu does not end the program"
wait "$tray_pid" && rc=0 || rc=$?
[[ $rc -eq 0 ]] || fail "Exit ends the program with $rc"
check "Exit in the tray menu ends the program"
for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
wait 2>/dev/null || true
pids=()

# The tray host goes away: the window shows.
start_desktop 1920 1080
require_no_other_tray
"$tray" -hide > "$work/tray.log" 2>&1 &
pids+=($!)
wait_for 20 icon_embedded || fail "the tray icon is not embedded in the tray"
no_window || fail "-hide shows the window"
kill "$trayer_pid"
wait_for 10 has_window || fail "the window does not show when the tray host goes away"
check "the tray host goes away: the window shows"
stop_all

# No tray area (GNOME): "-hide" or not, the window shows, and errors and warnings reach
# the notification service with the balloons' title and text.
start_desktop 1920 1080 no-tray
start_bus --notifications
require_no_other_tray
status office 00 3000
"$tray" -hide > "$work/tray.log" 2>&1 &
pids+=($!)
wait_for 10 has_window || fail "without a tray area the window does not show"
check "no tray area: the window shows despite -hide"
wait_for 10 bus_has "notify summary=desk body=Toner level low urgency=1" || fail "no warning notification: $(cat "$work/bus.log")"
status office 00 3000 e:11B0
wait_for 10 bus_has "notify summary=office body=Paper jam in device urgency=2" || fail "no error notification: $(cat "$work/bus.log")"
check "no tray area: a warning and an error as desktop notifications"
sleep 1
import -window root "$shots/tray-no-tray-area.png"
stop_all

# A StatusNotifierItem host: the icon registers with the watcher, the window stays hidden.
start_desktop 1920 1080 no-tray
start_bus --watcher --notifications
require_no_other_tray
status desk 10 6200   # no balloon: it would show its title as the item's tooltip
status office 00 3000
"$tray" -hide > "$work/tray.log" 2>&1 &
pids+=($!)
wait_for 15 grep -qE '^item service=.* icon-pixmaps=[1-9][0-9]* tooltip=Ovra Laser Printer Helper$' "$work/bus.log" ||
  fail "no StatusNotifierItem registered: $(cat "$work/bus.log")"
sleep 1
no_window || fail "-hide shows the window although the icon is in a StatusNotifierItem host"
check "StatusNotifierItem host: $(grep '^item ' "$work/bus.log" | head -1)"
stop_all
status desk 10 6200 w:110D
status office 00 3000 e:11B0 w:110D

# 3840 pixels: twice the size.
start_desktop 3840 2160
require_no_other_tray
"$tray" > "$work/tray.log" 2>&1 &
pids+=($!)
wait_for 10 has_window || fail "the window does not show on 3840 pixels"
wait_for_size 2140x800 || fail "window is $(window_size) on 3840 pixels, not 2140x800"
sleep 2
import -window root "$shots/tray-window-3840.png"
check "2140x800 on a 3840-pixel screen"
echo "screenshots in $shots"
