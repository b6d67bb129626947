#!/bin/bash
# scanimage through SANE's dll loader, libsane-ovra, the scan daemon and the emulated
# network scanner. Usage: scanimage_e2e.sh CASE BACKEND_DIR DAEMON SCANNER_EMU ADDRESS PORT
# Needs root (the emulated scanner listens on port 80); exits 77 (skipped) otherwise.
set -u
CASE=$1 BACKEND_DIR=$2 DAEMON=$3 EMU=$4 ADDRESS=$5 PORT=$6

if [ "$(id -u)" != 0 ]; then
    echo "skipped: the emulated network scanner listens on port 80, which needs root"
    exit 77
fi
command -v scanimage >/dev/null || { echo "skipped: scanimage (sane-utils) is missing"; exit 77; }

WORK=$(mktemp -d /tmp/ovra-sane-test.XXXXXX)
DAEMON_PID=0 EMU_PID=0
cleanup() {
    for pid in $EMU_PID $DAEMON_PID; do
        if [ "$pid" -gt 1 ] && kill -0 "$pid" 2>/dev/null; then
            kill -TERM "$pid" 2>/dev/null
            for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
            kill -0 "$pid" 2>/dev/null && kill -KILL "$pid" 2>/dev/null
        fi
    done
    # A sanitized build: what the sanitizers report from the daemon, an emulator or
    # scanimage fails the case, even where the case itself went through.
    if grep -qE 'ERROR: [A-Za-z]+Sanitizer|runtime error:' "$WORK"/*.log "$WORK"/*.err 2>/dev/null; then
        grep -lE 'ERROR: [A-Za-z]+Sanitizer|runtime error:' "$WORK"/*.log "$WORK"/*.err 2>/dev/null | xargs cat
        rm -rf "$WORK"
        exit 1
    fi
    rm -rf "$WORK"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

mkdir -p "$WORK/root" "$WORK/config" "$WORK/out"
echo ovra > "$WORK/config/dll.conf"
printf '# test scanner\nnet %s\n' "$ADDRESS" > "$WORK/config/ovra.conf"
# A backend built with the sanitizers needs their runtime loaded first into scanimage:
# a scanimage earlier in PATH that execs the real one with it (same process id).
if [ -n "${OVRA_SANE_FRONTEND_PRELOAD:-}" ]; then
    mkdir -p "$WORK/bin"
    # shellcheck disable=SC2016  # ${LD_PRELOAD...} and "$@" are the wrapper's own
    printf '#!/bin/sh\nLD_PRELOAD="%s${LD_PRELOAD:+:$LD_PRELOAD}" exec %s "$@"\n' \
        "$OVRA_SANE_FRONTEND_PRELOAD" "$(command -v scanimage)" > "$WORK/bin/scanimage"
    chmod +x "$WORK/bin/scanimage"
    export PATH="$WORK/bin:$PATH"
fi
export SANE_CONFIG_DIR="$WORK/config"
export LD_LIBRARY_PATH="$BACKEND_DIR${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
export OVRA_SCAN_DAEMON_PORT=$PORT
export OVRA_INSTALL_ROOT="$WORK/root/"
SCANDIR="$WORK/root/scan"

accepts() { (exec 3<>"/dev/tcp/$1/$2") 2>/dev/null; }

# Starts the daemon; when its port is still held (an earlier case's connections), it
# exits at once and is started again.
start_daemon() {
    for _ in $(seq 30); do
        if [ -n "${1:-}" ]; then
            ( set -a; . "$WORK/usb.env"; set +a; OVRA_SCAN_DAEMON_FOREGROUND=1 exec "$DAEMON" ) >"$WORK/daemon.log" 2>&1 &
        else
            OVRA_SCAN_DAEMON_FOREGROUND=1 "$DAEMON" >"$WORK/daemon.log" 2>&1 &
        fi
        DAEMON_PID=$!
        for _ in $(seq 100); do
            accepts 127.0.0.1 "$PORT" && return 0
            kill -0 "$DAEMON_PID" 2>/dev/null || break
            sleep 0.05
        done
        kill -0 "$DAEMON_PID" 2>/dev/null && break
        sleep 1
    done
    cat "$WORK/daemon.log"
    fail "the scan daemon does not listen on $PORT"
}

start_scanner() {
    "$EMU" --address "$ADDRESS" "$@" >"$WORK/emu.log" 2>&1 &
    EMU_PID=$!
    for _ in $(seq 200); do accepts "$ADDRESS" 80 && return 0; sleep 0.05; done
    cat "$WORK/emu.log"
    fail "the emulated scanner does not listen on $ADDRESS:80"
}

# N bytes of a pattern unlike its neighbours, seeded.
pattern() {
    python3 -c "import sys; n,s=int(sys.argv[1]),int(sys.argv[2]); sys.stdout.buffer.write(bytes(((i*37+s*101)^(i>>7))&255 for i in range(n)))" "$1" "$2"
}

# PGM/PPM files as scanimage writes them (comment lines in the header): "header"
# prints the magic, width, height and maximum value; "pixels" the pixel bytes.
pnm() {
    python3 - "$1" "$2" <<'PY'
import sys
data = open(sys.argv[2], 'rb').read()
fields, pos = [], 0
while len(fields) < 4:
    while data[pos:pos+1].isspace(): pos += 1
    if data[pos:pos+1] == b'#':
        pos = data.index(b'\n', pos) + 1; continue
    start = pos
    while not data[pos:pos+1].isspace(): pos += 1
    fields.append(data[start:pos])
if sys.argv[1] == 'header':
    print(b' '.join(fields).decode())
else:
    sys.stdout.buffer.write(data[pos+1:])
PY
}
pixels() { pnm pixels "$1"; }
header() { pnm header "$1"; }

# Whether a scanned PGM/PPM shows the emulators' test chart: its black border and
# white paper, the eleven grey steps and, in colour, the red and blue patches.
looks_like_chart() {
    pixels "$1" | python3 -c "
import sys
data, colour = sys.stdin.buffer.read(), sys.argv[1] == 'P6'
grey = [sum(data[i:i+3]) // 3 for i in range(0, len(data), 3)] if colour else list(data)
levels = {g // 8 for g in grey}
ok = min(grey) < 40 and max(grey) > 215 and len(levels) >= 11
if colour:
    px = [data[i:i+3] for i in range(0, len(data), 3)]
    ok = ok and any(r > 200 and g < 60 and b < 60 for r, g, b in px) and any(b > 200 and r < 60 and g < 60 for r, g, b in px)
sys.exit(0 if ok else 1)" "$(header "$1" | cut -d' ' -f1)"
}

page_files_left() { ls "$SCANDIR" 2>/dev/null | grep -c '^ovrascandata_'; }
# Waits up to 5 s for the daemon to delete every page file.
no_page_files_left() {
    for _ in $(seq 50); do [ "$(page_files_left)" = 0 ] && break; sleep 0.1; done
    [ "$(page_files_left)" = 0 ] || fail "page files left ${1:-in the scan directory}: $(ls "$SCANDIR")"
}

# One page into out/page.pnm (scanimage's arguments given); a failed scan fails the case.
scan_page() {
    scanimage "$@" --format=pnm > "$WORK/out/page.pnm" 2> "$WORK/scan.err" || { cat "$WORK/scan.err"; fail "scanimage failed"; }
}
expect_header() { [ "$(header "$WORK/out/page.pnm")" = "$1" ] || fail "header: $(header "$WORK/out/page.pnm")"; }
# Whether the pixels of a scanned PNM ($1) are the bytes of a file ($2).
same_pixels() { pixels "$1" > "$1.pixels" && cmp "$2" "$1.pixels"; }
# The pages of a batch, out/pN.pnm, against the files $1N.raw for each N given after it.
same_batch() {
    local expected=$1; shift
    [ "$(ls "$WORK/out" | wc -l)" = $# ] || fail "expected $# pages, got: $(ls "$WORK/out")"
    for p in "$@"; do same_pixels "$WORK/out/p$p.pnm" "$expected$p.raw" || fail "page $p differs"; done
}

# A scan that must fail: $1 what would have scanned, $2 the text scanimage must show,
# then scanimage's arguments.
scan_fails() {
    local what=$1 text=$2; shift 2
    scanimage "$@" --format=pnm > "$WORK/out/page.pnm" 2> "$WORK/scan.err" && fail "$what scanned"
    cat "$WORK/scan.err"
    grep -q "$text" "$WORK/scan.err" || fail "no \"$text\""
}

# Ctrl-C to the scan in the background (SCAN_PID), which must then stop within 15 s.
interrupt_scan() {
    [ "$SCAN_PID" -gt 1 ] && kill -INT "$SCAN_PID"
    for _ in $(seq 150); do kill -0 "$SCAN_PID" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$SCAN_PID" 2>/dev/null; then kill -KILL "$SCAN_PID"; fail "scanimage did not stop on cancel"; fi
}
# A scan cancelled once its first page file is there ($1: tenths of a second to wait
# for it, then scanimage's arguments): it fails, and no page file is left.
cancel_scan() {
    local tenths=$1; shift
    scanimage "$@" --format=pnm > "$WORK/out/page.pnm" 2> "$WORK/scan.err" &
    SCAN_PID=$!
    for _ in $(seq "$tenths"); do [ "$(page_files_left)" != 0 ] && break; sleep 0.1; done
    [ "$(page_files_left)" != 0 ] || { kill -KILL $SCAN_PID; fail "the scan never wrote a page file"; }
    sleep 0.5
    interrupt_scan
    wait "$SCAN_PID"; rc=$?
    cat "$WORK/scan.err"
    [ "$rc" != 0 ] || fail "a cancelled scan reported success"
    [ "$(page_files_left)" = 0 ] || fail "page files left after cancel: $(ls "$SCANDIR")"
}

# The emulated USB scanner (in its own process); the daemon then runs with its
# UMOCKDEV_DIR and LD_PRELOAD. USB_EMU is the emulator program (7th argument).
USB_EMU=${7:-}
USB_SOCKET="$WORK/usb.sock"
start_usb_scanner() {
    [ -n "$USB_EMU" ] || fail "no USB scanner emulator given"
    "$USB_EMU" --socket "$USB_SOCKET" --env-file "$WORK/usb.env" \
        --scanner "3a53:0131:K246S0001:Ovra:Ovra K246 MFP" --job "$1" >"$WORK/usbemu.log" 2>&1 &
    EMU_PID=$!
    for _ in $(seq 200); do [ -e "$WORK/usb.env" ] && return 0; sleep 0.05; done
    cat "$WORK/usbemu.log"
    fail "the emulated USB scanner did not start"
}
start_daemon_with_usb() { start_daemon usb; }
usb_unlocked() { [ "$("$USB_EMU" ctl "$USB_SOCKET" locked 2)" = "ok 0" ]; }

DEVICE="ovra:net:$ADDRESS"
USB_DEVICE="ovra:usb:3a53:0131:K246S0001"
case "$CASE" in
usb*) ;;
*) start_daemon ;;
esac

case "$CASE" in
list)
    start_scanner
    out=$(scanimage -L 2>&1)
    echo "$out"
    echo "$out" | grep -q "device \`$DEVICE' is a Ovra network scanner $ADDRESS" || fail "the network scanner is not listed"
    ;;
rawgray)
    # 100 dpi, 25.4 x 12.7 mm: 100 pixels by 50 lines of 8-bit grey, sent raw.
    pattern 5000 7 > "$WORK/page.raw"
    start_scanner --image "$WORK/page.raw" --block-size 1234
    scan_page -d "$DEVICE" --mode Gray --resolution 100 -l 0 -t 0 -x 25.4 -y 12.7
    expect_header "P5 100 50 255"
    same_pixels "$WORK/out/page.pnm" "$WORK/page.raw" || fail "the pixels differ from the emulated page"
    no_page_files_left
    ;;
rawcolor)
    # 75 dpi, 25.4 x 25.4 mm: 75 x 75 RGB pixels.
    pattern 16875 3 > "$WORK/page.raw"
    start_scanner --image "$WORK/page.raw" --block-size 4096
    scan_page -d "$DEVICE" --mode Color --resolution 75 -l 0 -t 0 -x 25.4 -y 25.4
    expect_header "P6 75 75 255"
    same_pixels "$WORK/out/page.pnm" "$WORK/page.raw" || fail "the pixels differ from the emulated page"
    ;;
netjpeg)
    # A JPEG colour page (made with cjpeg): the frames are what libjpeg's djpeg decodes.
    command -v cjpeg >/dev/null && command -v djpeg >/dev/null \
        || { echo "skipped: cjpeg/djpeg (libjpeg-turbo-progs) are missing"; exit 77; }
    python3 -c "import sys; w,h=120,80; sys.stdout.buffer.write(b'P6\n%d %d\n255\n' % (w,h) + bytes(((x*2+y)&255 if c==0 else (y*3)&255 if c==1 else (x^y)&255) for y in range(h) for x in range(w) for c in range(3)))" > "$WORK/page.ppm"
    cjpeg -quality 90 "$WORK/page.ppm" > "$WORK/page.jpg"
    djpeg -pnm "$WORK/page.jpg" > "$WORK/expected.ppm"
    start_scanner --image "$WORK/page.jpg" --block-size 700
    scan_page -d "$DEVICE" --mode Color --resolution 300
    expect_header "P6 120 80 255"
    pixels "$WORK/expected.ppm" > "$WORK/expected.pixels"
    same_pixels "$WORK/out/page.pnm" "$WORK/expected.pixels" || fail "the pixels differ from the decoded JPEG page"
    ;;
batch)
    for p in 1 2 3; do pattern 5000 $p > "$WORK/page$p.raw"; done
    start_scanner --image "$WORK/page1.raw" "$WORK/page2.raw" "$WORK/page3.raw" --block-size 3000
    # "ADF", the name front ends look for: every page in the feeder.
    scanimage -d "$DEVICE" --source ADF --mode Gray --resolution 100 -l 0 -t 0 -x 25.4 -y 12.7 \
        --format=pnm --batch="$WORK/out/p%d.pnm" 2> "$WORK/scan.err"
    cat "$WORK/scan.err"
    same_batch "$WORK/page" 1 2 3
    no_page_files_left
    ;;
netchart)
    # The emulator's own page: a colour test chart sent as JPEG, 75 dpi, 50.8 x 38.1 mm.
    start_scanner
    scan_page -d "$DEVICE" --mode Color --resolution 75 -l 0 -t 0 -x 50.8 -y 38.1
    expect_header "P6 150 113 255"
    looks_like_chart "$WORK/out/page.pnm" || fail "the page is not the test chart"
    ;;
midjam)
    # The feeder jams before the second page: the data stream breaks off, the feeder
    # then reads jammed. The unfinished page is dropped. The source has the name of
    # earlier versions, which front-end presets may hold.
    start_scanner --pages 3 --page-bytes 5000 --block-size 2500 --fault feeder-jam --fault-page 2
    scanimage -d "$DEVICE" --source "ADF multi page" --mode Gray --resolution 100 -l 0 -t 0 -x 25.4 -y 12.7 \
        --format=pnm --batch="$WORK/out/p%d.pnm" 2> "$WORK/scan.err"
    cat "$WORK/scan.err"
    grep -q "Document feeder jammed" "$WORK/scan.err" || fail "no \"Document feeder jammed\""
    no_page_files_left
    ;;
cancel)
    # The scanner sends part of a block and then nothing: the scan hangs until cancelled.
    start_scanner --pages 2 --page-bytes 20000 --block-size 4000 --fault short-block --fault-page 1 --fault-block 3 --fault-bytes 100
    cancel_scan 100 -d "$DEVICE" --mode Gray --resolution 100
    grep -q "recv scanCommandType 15" "$SCANDIR/ovra_scan_info.log" || fail "the daemon got no abort command"
    ;;
options)
    # What a front end shows: every option with its values, nothing on standard error.
    start_scanner
    scanimage -A --format=pnm -d "$DEVICE" > "$WORK/options.txt" 2> "$WORK/scan.err" || { cat "$WORK/scan.err"; fail "scanimage -A failed"; }
    cat "$WORK/options.txt"
    [ -s "$WORK/scan.err" ] && { cat "$WORK/scan.err"; fail "scanimage -A wrote to standard error"; }
    grep -q -- "--source Flatbed|ADF|ADF Single Page \[Flatbed\]" "$WORK/options.txt" || fail "the sources are not listed"
    grep -q -- "--mode Lineart|Gray|Color \[Color\]" "$WORK/options.txt" || fail "the modes are not listed"
    scanimage --help -d "$DEVICE" > "$WORK/help.txt" 2> "$WORK/scan.err" || fail "scanimage --help failed"
    grep -q -- "--resolution 75..1200dpi" "$WORK/help.txt" || { cat "$WORK/help.txt"; fail "no resolution range"; }
    # Debug messages on standard error at the level asked for.
    SANE_DEBUG_OVRA=3 scanimage -A -d "$DEVICE" > /dev/null 2> "$WORK/debug.err"
    grep -q '^\[ovra\] sane_open ' "$WORK/debug.err" || { cat "$WORK/debug.err"; fail "no trace of sane_open"; }
    ;;
early)
    # A lineart page (raw lines) that stops in its third block: the lines before reach
    # scanimage while the scanner has not finished the page.
    start_scanner --pages 1 --page-bytes 60000 --block-size 8000 --fault short-block --fault-page 1 --fault-block 3 --fault-bytes 100
    scanimage -d "$DEVICE" --mode Lineart --resolution 100 --format=pnm > "$WORK/out/page.pnm" 2> "$WORK/scan.err" &
    SCAN_PID=$!
    for _ in $(seq 150); do [ -s "$WORK/out/page.pnm" ] && break; sleep 0.1; done
    got=$(stat -c %s "$WORK/out/page.pnm")
    interrupt_scan
    cat "$WORK/scan.err"
    [ "$got" -gt 0 ] || fail "no line reached scanimage before the scanner finished the page"
    no_page_files_left "after cancel"
    ;;
busy)
    start_scanner --busy
    scan_fails "a busy scanner" "Device busy" -d "$DEVICE"
    ;;
nodocs)
    start_scanner --feeder empty
    scan_fails "an empty feeder" "Document feeder out of documents" -d "$DEVICE" --source "ADF Single Page"
    ;;
jammed)
    start_scanner --feeder jammed
    scan_fails "a jammed feeder" "Document feeder jammed" -d "$DEVICE" --source "ADF Single Page"
    ;;
usblist)
    start_usb_scanner "pages=1"
    start_daemon_with_usb
    out=$(scanimage -L 2>&1)
    echo "$out"
    echo "$out" | grep -q "device \`$USB_DEVICE' is a Ovra Ovra K246 MFP" || fail "the USB scanner is not listed"
    echo "$out" | grep -q "device \`$DEVICE' is a Ovra network scanner" || fail "the network scanner is not listed"
    ;;
usbgray)
    # The USB scanner's default page, the test chart, drawn at the lock's 100 x 50 grey
    # pixels and sent as raw lines.
    start_usb_scanner "pages=1,record=1000,chunk=512"
    start_daemon_with_usb
    scan_page -d "$USB_DEVICE" --mode Gray --resolution 100 -l 0 -t 0 -x 25.4 -y 12.7
    expect_header "P5 100 50 255"
    looks_like_chart "$WORK/out/page.pnm" || fail "the page is not the test chart"
    no_page_files_left
    usb_unlocked || fail "the scanner stays locked"
    ;;
usbbatch)
    # Pattern pages, compared byte for byte with what the emulator sent.
    start_usb_scanner "content=pattern,pages=3,width=100,height=50,mode=gray,record=2000,chunk=512"
    start_daemon_with_usb
    for p in 0 1 2; do "$USB_EMU" ctl "$USB_SOCKET" pagefile 2 $p "$WORK/expected$p.raw" >/dev/null || fail "no page $p"; done
    scanimage -d "$USB_DEVICE" --source ADF --mode Gray --resolution 100 -l 0 -t 0 -x 25.4 -y 12.7 \
        --format=pnm --batch="$WORK/out/p%d.pnm" --batch-start=0 2> "$WORK/scan.err"
    cat "$WORK/scan.err"
    same_batch "$WORK/expected" 0 1 2
    usb_unlocked || fail "the scanner stays locked"
    ;;
usbcancel)
    # A slow scanner: 200 ms before every step.
    start_usb_scanner "content=pattern,pages=1,width=100,height=400,mode=gray,record=1000,chunk=500,delay=200"
    start_daemon_with_usb
    # Up to 30 s for the first page file: a sanitized build on a busy machine is slow.
    cancel_scan 300 -d "$USB_DEVICE" --mode Gray --resolution 100
    "$USB_EMU" ctl "$USB_SOCKET" events 2 | grep -q "job aborted" || fail "the scanner saw no abort"
    # The backend sends the unlock on its way out without waiting for the reply: the
    # daemon may pass it on after scanimage has ended.
    for _ in $(seq 50); do usb_unlocked && break; sleep 0.1; done
    usb_unlocked || fail "the scanner stays locked"
    ;;
usbnodocs)
    start_usb_scanner "pages=1"
    start_daemon_with_usb
    "$USB_EMU" ctl "$USB_SOCKET" feeder 2 empty >/dev/null || fail "cannot empty the feeder"
    scan_fails "an empty feeder" "Document feeder out of documents" -d "$USB_DEVICE" --source "ADF Single Page"
    usb_unlocked || fail "the scanner stays locked"
    ;;
usbbusy)
    start_usb_scanner "pages=1"
    start_daemon_with_usb
    "$USB_EMU" ctl "$USB_SOCKET" busy 2 1 >/dev/null || fail "cannot make the scanner busy"
    scan_fails "a busy scanner" "Device busy" -d "$USB_DEVICE" --mode Gray
    ;;
*)
    fail "unknown case $CASE"
    ;;
esac
echo "PASS: $CASE"
