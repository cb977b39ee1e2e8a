#!/usr/bin/env bash
# pellora.exe, the Windows window, under Wine in a virtual display against the simulated box
# on COM5, worked from outside the way a person works it: pellora-window-driver.exe clicks
# the controls it finds by their captions, presses Esc, reads the log, the gauge and the
# lamps, and dismisses every message box.
#
# usage: wine_window_e2e.sh --window PATH/pellora.exe --driver PATH/pellora-window-driver.exe
#                           --sim PATH/dm500-sim --prefix DIR [--screenshots DIR]
#   --prefix       the Wine prefix to use; created on first use, never shared with the user's
#                  (nor with wine_e2e.sh: the COM numbers other than COM5 are mapped nowhere)
#   --screenshots  take the pictures of a demo run into DIR instead of running the tests
#   --case NAME    run only this case (again for more)
set -euo pipefail

usage() {
  echo "usage: $0 --window PATH/pellora.exe --driver PATH/pellora-window-driver.exe" \
    "--sim PATH/dm500-sim --prefix DIR [--screenshots DIR]" >&2
  exit 2
}

window="" driver="" sim="" prefix="" screenshots="" only=()
while [ $# -gt 0 ]; do
  case "$1" in
    --window) window=${2:-} && shift 2 ;;
    --driver) driver=${2:-} && shift 2 ;;
    --sim) sim=${2:-} && shift 2 ;;
    --prefix) prefix=${2:-} && shift 2 ;;
    --screenshots) screenshots=${2:-} && shift 2 ;;
    --case) only+=("${2:-}") && shift 2 ;;
    *) usage ;;
  esac
done
[ -n "$window" ] && [ -n "$driver" ] && [ -n "$sim" ] && [ -n "$prefix" ] || usage
[ -f "$window" ] || { echo "wine_window_e2e: no program at $window" >&2; exit 2; }
[ -f "$driver" ] || { echo "wine_window_e2e: no driver at $driver" >&2; exit 2; }
[ -x "$sim" ] || { echo "wine_window_e2e: no simulator at $sim" >&2; exit 2; }

# Debian's wine64 package alone has no 'wine' on PATH; its loader works the same.
wine=$(command -v wine || command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver64)
[ -x "$wine" ] || { echo "wine_window_e2e: Wine is not installed" >&2; exit 2; }

# Without a display of our own, run again inside a virtual one.
if [ -z "${PELLORA_IN_XVFB:-}" ]; then
  command -v xvfb-run >/dev/null || { echo "wine_window_e2e: xvfb-run is not installed" >&2; exit 2; }
  export PELLORA_IN_XVFB=1
  cases=()
  for name in "${only[@]}"; do cases+=(--case "$name"); done
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" --window "$window" --driver "$driver" \
    --sim "$sim" --prefix "$prefix" ${screenshots:+--screenshots "$screenshots"} "${cases[@]}"
fi

export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
WINEPREFIX=$(mkdir -p "$prefix" && cd "$prefix" && pwd)
window=$(cd "$(dirname "$window")" && pwd)/$(basename "$window")
driver=$(cd "$(dirname "$driver")" && pwd)/$(basename "$driver")

work=$(mktemp -d "${TMPDIR:-/tmp}/pellora-wine-window.XXXXXX")
box_link="$work/dm500"
port=COM5
box_pid="" window_pid=""

stop_box() {
  if [ -n "$box_pid" ]; then
    kill -TERM "$box_pid" 2>/dev/null || true
    wait "$box_pid" 2>/dev/null || true
    box_pid=""
  fi
}

stop_window() {
  if [ -n "$window_pid" ]; then
    kill -TERM "$window_pid" 2>/dev/null || true
    wait "$window_pid" 2>/dev/null || true
    window_pid=""
  fi
}

cleanup() {
  stop_window
  stop_box
  "$wineserver" -k 2>/dev/null || true
  [ -n "${PELLORA_KEEP_WINE_WORK:-}" ] && say "kept $work" || rm -rf "$work"
}
trap cleanup EXIT

say() { printf 'wine_window_e2e: %s\n' "$*" >&2; }

# A Windows path for a file here (Wine's Z: drive is the root).
win_path() { printf 'Z:%s' "${1//\//\\}"; }

# --- Wine ----------------------------------------------------------------------------------

quietly() {
  "$@" </dev/null >>"$work/wine.log" 2>&1 && return 0
  local failed_status=$?
  say "failed with status $failed_status: $*"
  tail -n 20 "$work/wine.log" >&2
  return "$failed_status"
}

# COM5 is the box; COM1 to COM98 otherwise lead nowhere, so that whatever serial devices
# this machine has stay out of the port list (Wine gives them the numbers left over).
write_port_map() {
  local n
  printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\n'
  for n in $(seq 1 98); do
    if [ "COM$n" = "$port" ]; then
      printf '"COM%d"="%s"\n' "$n" "$box_link"
    else
      printf '"COM%d"="%s"\n' "$n" "$work/no-such-port-$n"
    fi
  done
}

start_wine() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    say "creating the Wine prefix $WINEPREFIX"
    quietly "$wine" wineboot --init
    quietly "$wineserver" -w
  fi
  # No loader image remembered from an earlier run.
  "$wine" reg delete 'HKCU\Software\Pellora' /f </dev/null >>"$work/wine.log" 2>&1 || true
  write_port_map >"$work/ports.reg"
  quietly "$wine" regedit /S "$(win_path "$work/ports.reg")"
  # Wine reads its COM port map when its server starts.
  "$wineserver" -k >/dev/null 2>&1 || true
  quietly "$wineserver" -w
  quietly "$wineserver" -p
  quietly "$wine" cmd /c exit
}

# --- the simulated box and the window ------------------------------------------------------

start_box() {
  local scenario=$1
  : >"$work/box.out"
  "$sim" --link "$box_link" --scenario "$scenario" >"$work/box.out" 2>"$work/box.err" &
  box_pid=$!
  local tries
  for tries in $(seq 100); do
    grep -q '^ready ' "$work/box.out" && return 0
    kill -0 "$box_pid" 2>/dev/null || break
    sleep 0.1
  done
  say "the simulated box did not come up: $(cat "$work/box.err")"
  return 1
}

# Each case has a folder for the window, where "Save Log" writes Log.log, and one for what
# the driver reports.
case_dir="" out_dir=""
case_folders() {
  case_dir="$work/$1" out_dir="$work/$1-out"
  mkdir -p "$case_dir" "$out_dir"
}

start_window() {
  case_folders "$1"
  shift
  (cd "$case_dir" && exec timeout --kill-after=5 120 "$wine" "$window" "$@" \
    >"$out_dir/window.out" 2>"$out_dir/window.err") &
  window_pid=$!
}

# Runs the driver's steps; its report goes to $out_dir/drive, its status to $driven.
driven=0
drive() {
  driven=0
  timeout --kill-after=5 120 "$wine" "$driver" "wait-window=30" "$@" </dev/null \
    >"$out_dir/drive.raw" 2>"$out_dir/drive.err" || driven=$?
  sed 's/\r$//' "$out_dir/drive.raw" >"$out_dir/drive"
  [ "$driven" -eq 0 ] || problem "the driver failed: $(grep -m1 '^FAIL' "$out_dir/drive" || tail -n 3 "$out_dir/drive.err")"
}

# --- checks --------------------------------------------------------------------------------

passed=0 failed=0
problems=()

problem() { problems+=("$*"); }

finish_case() {
  local name=$1
  stop_window
  stop_box
  if [ ${#problems[@]} -eq 0 ]; then
    passed=$((passed + 1))
    say "ok    $name"
  else
    failed=$((failed + 1))
    say "FAIL  $name"
    local line
    for line in "${problems[@]}"; do printf '        %s\n' "$line" >&2; done
    if [ -s "$out_dir/drive" ]; then
      printf '        --- driver:\n' >&2 && sed 's/^/        | /' "$out_dir/drive" >&2
    fi
    if [ -s "$work/box.err" ]; then
      printf '        --- box:\n' >&2 && sed 's/^/        | /' "$work/box.err" >&2
    fi
  fi
  problems=()
}

# The file holds exactly these lines, each ending in CR LF.
expect_lines() {
  local file=$1
  shift
  printf '%s\r\n' "$@" >"$work/expected"
  cmp -s "$file" "$work/expected" && return 0
  problem "$(basename "$file") is not, line by line with CR LF:"
  local line
  for line in "$@"; do problem "  $line"; done
  [ -f "$file" ] && problem "but: $(tr '\r\n' '<|' <"$file")"
}

expect_in() {
  local file=$1 pattern=$2
  grep -Eq -- "$pattern" "$file" 2>/dev/null || problem "$(basename "$file") has nothing matching /$pattern/: $(cat "$file" 2>/dev/null)"
}

expect_not_empty() {
  [ -s "$1" ] || problem "$(basename "$1") is empty"
}

# --- what the box and the program say ------------------------------------------------------

power_on="Power ON DB Device [ESC to Abort]"
hw_id_a="HW ID: [E00D447265616D626F782044004D3530300D]"
detected="Dreambox Detected...Ok!"
data1="Data1: [6C6F6164696E6720696E7374722E2066696C65]"
sending="Sending Flash Loader..."
# LF, then "client: ok, i'm now attached to a server. waiting for further commands." CR LF
data2="Data2: [0A636C69656E743A206F6B2C2069276D206E6F7720617474616368656420746F206120736572766572"
data2+="2E2077616974696E6720666F72206675727468657220636F6D6D616E64732E0D0A]"
flash_success=("$power_on" "$hw_id_a" "$detected" "$data1" "$sending" "Settings Baudrate Ok!!"
  "$data2" "Boot Success!" "-Flash Chip Status Good !" "-Boot Success & Alive !"
  "-No Need For JTAG !")

# --- the cases -----------------------------------------------------------------------------

# A whole Flash Mode run, then "Save Log": once while an editor holds Log.log (an error box,
# the older file untouched, no stray file left), once more after it lets go.
case_flash_mode_and_save_log() {
  start_box good || problem "no simulated box"
  start_window flash
  printf 'an older log\r\n' >"$case_dir/Log.log"
  local log_file
  log_file=$(win_path "$case_dir/Log.log")
  drive "click=Detect Port" "expect-dropped=1" "expect-ports=1" "select-port=$port" \
    "click=Flash Mode" "expect-enabled=Detect DM >>|1" "click=Detect DM >>" \
    "wait-log-line=$power_on|15" "expect-enabled=Detect Port|0" "expect-focus-in-window" \
    "wait-log-line=-No Need For JTAG !|60" "wait-enabled=Detect Port|20" \
    "expect-gauge=100" "expect-visible=Save Log|1" "expect-enabled=Detect DM >>|1" \
    "expect-checked=Flash Mode|1" "expect-lamp=Port open|1" \
    "write-log=$(win_path "$out_dir/pane.txt")" \
    "write-diagnosis=$(win_path "$out_dir/diagnosis.txt")" \
    "hold-file=$log_file" "click=Save Log" \
    "dismiss-box=$(win_path "$out_dir/error.txt")|10" \
    "snapshot=$log_file|$(win_path "$out_dir/older.log")" "release-file" \
    "click=Save Log" "no-error=1" "write-diagnosis=$(win_path "$out_dir/saved.txt")" \
    "click=Close" "wait-exit=15"
  expect_lines "$out_dir/pane.txt" "${flash_success[@]}"
  expect_lines "$case_dir/Log.log" "${flash_success[@]}"
  expect_not_empty "$out_dir/diagnosis.txt"
  cmp -s "$out_dir/older.log" <(printf 'an older log\r\n') ||
    problem "the failed Save Log changed the older Log.log"
  local full_path
  full_path=$(win_path "$case_dir/Log.log")
  expect_in "$out_dir/error.txt" '^pellora$'
  grep -qF "Cannot create file \"$full_path\". " "$out_dir/error.txt" ||
    problem "the error box does not read: Cannot create file \"$full_path\". <reason>: $(cat "$out_dir/error.txt")"
  grep -qF "$full_path" "$out_dir/saved.txt" || problem "after Save Log the window does not say where the log went"
  local left
  left=$(cd "$case_dir" && ls -A)
  [ "$left" = "Log.log" ] || problem "the folder holds more than Log.log: $left"
  finish_case flash_mode_and_save_log
}

# Esc while the window waits for the banner; the check was started with the mouse, so the
# focus was on "Detect DM >>" as the control set went dead.
case_esc_during_banner_wait() {
  start_box silent || problem "no simulated box"
  start_window esc
  drive "click=Detect Port" "select-port=$port" "click=Flash Mode" "click=Detect DM >>" \
    "wait-log-line=$power_on|15" "expect-focus-in-window" "expect-lamp=Port open|1" \
    "sleep=6000" "write-diagnosis=$(win_path "$out_dir/hint.txt")" \
    "key=esc" "wait-log-line=User Abort!|10" "wait-enabled=Detect DM >>|10" \
    "expect-enabled=Detect Port|1" "expect-lamp=Port open|0" "expect-visible=Save Log|0" \
    "write-log=$(win_path "$out_dir/pane.txt")" \
    "write-diagnosis=$(win_path "$out_dir/diagnosis.txt")" \
    "click=Close" "wait-exit=15"
  expect_lines "$out_dir/pane.txt" "$power_on" "HW ID: []" "User Abort!"
  expect_not_empty "$out_dir/hint.txt"
  expect_not_empty "$out_dir/diagnosis.txt"
  cmp -s "$out_dir/hint.txt" "$out_dir/diagnosis.txt" && problem "the wait hint was not replaced"
  finish_case esc_during_banner_wait
}

case_test_mode() {
  start_box good || problem "no simulated box"
  start_window test
  drive "click=Detect Port" "select-port=$port" "click=Test Mode" "click=Detect DM >>" \
    "wait-log-line=$power_on|15" "wait-enabled=Detect Port|30" "expect-visible=Save Log|0" \
    "expect-lamp=Port open|1" "expect-checked=Test Mode|1" "expect-checked=Flash Mode|0" \
    "write-log=$(win_path "$out_dir/pane.txt")" "click=Close" "wait-exit=15"
  [ "$(head -n 1 "$out_dir/pane.txt" | tr -d '\r')" = "$power_on" ] ||
    problem "the log does not start with: $power_on"
  expect_in "$out_dir/pane.txt" 'dm500 boot'
  finish_case test_mode
}

# No port opens: the list stays empty and does not drop down. "Detect DM >>" with nothing
# chosen says so and scans again.
case_detect_port_empty() {
  start_window empty
  drive "click=Detect Port" "expect-ports=0" "expect-dropped=0" "no-error=1" \
    "click=Flash Mode" "click=Detect DM >>" "wait-log-line=Failed Open Com Port!|15" \
    "wait-enabled=Detect DM >>|10" "expect-ports=0" "expect-dropped=0" "expect-gauge=0" \
    "write-log=$(win_path "$out_dir/pane.txt")" "no-error=1" "click=Close" "wait-exit=15"
  expect_lines "$out_dir/pane.txt" "Failed Open Com Port!"
  finish_case detect_port_empty
}

# Closing during the banner wait ends the check, then the program; the stale temporary
# file goes on the way out.
case_close_during_check() {
  start_box silent || problem "no simulated box"
  start_window close
  drive "make-temp-file=dmb" "click=Detect Port" "select-port=$port" "click=Test Mode" \
    "click=Detect DM >>" "wait-log-line=$power_on|15" "click=Close" "wait-exit=15" \
    "expect-temp-file=dmb|0"
  finish_case close_during_check
}

# The box goes away during the upload: the port is given back before the error box says why.
case_device_lost() {
  start_box unplug-during-upload || problem "no simulated box"
  start_window lost
  drive "click=Detect Port" "select-port=$port" "click=Flash Mode" "click=Detect DM >>" \
    "wait-log-line=$power_on|15" "dismiss-box=$(win_path "$out_dir/error.txt")|60" \
    "expect-lamp=Port open|0" "expect-enabled=Detect DM >>|1" "expect-visible=Save Log|0" \
    "write-log=$(win_path "$out_dir/pane.txt")" "click=Close" "wait-exit=15"
  expect_in "$out_dir/error.txt" '^pellora$'
  expect_in "$out_dir/error.txt" '(WriteFile|ReadFile) function failed \(win error code: [0-9]+\)'
  expect_lines "$out_dir/pane.txt" "$power_on" "$hw_id_a" "$detected" "$data1" "$sending"
  finish_case device_lost
}

# The window as it opens: where it is, how big, every control at its place (pixels at 96 DPI)
# and in its first state, the focus on the log; then its own title bar: drag, roll up and
# down, minimise.
case_window_and_title_bar() {
  start_window layout
  drive "expect-window-at=322|198" "expect-window-size=612|375" \
    "expect-place=Main Interface:|2|30|606|338" \
    "expect-place=Detect DM >>|4|33|121|25" "expect-place=Flash Mode|153|29|150|25" \
    "expect-place=Test Mode|153|49|150|25" "expect-place=Forum / Support|329|31|97|17" \
    "expect-place=#105|440|25|161|22" "expect-place=Detect Port|441|49|159|17" \
    "expect-place=Save Log|5|74|120|20" "expect-place=Port open|487|73|25|25" \
    "expect-place=Received bytes waiting|527|73|25|25" "expect-place=#110|4|104|592|209" \
    "expect-place=#111|4|315|601|21" \
    "expect-enabled=Detect DM >>|0" "expect-visible=Save Log|0" "expect-checked=Flash Mode|0" \
    "expect-checked=Test Mode|0" "expect-gauge=0" "expect-ports=0" "expect-lamp=Port open|0" \
    "expect-lamp=Received bytes waiting|0" "expect-focus=#110" \
    "drag-title=50|40" "expect-window-at=372|238" \
    "double-click-title" "expect-window-size=612|30" "double-click-title" \
    "expect-window-size=612|375" "expect-focus=#110" \
    "click=Minimise" "expect-minimised=1" "close-window" "wait-exit=15"
  finish_case window_and_title_bar
}

# The loader image from the system menu: a file of the user's through the file dialog, its
# warnings in the notice, remembered for the next run; the built-in image again; About. A
# --loader file that cannot be used is refused with an error box.
case_loader_menu() {
  local files="$work/loader-files"
  mkdir -p "$files"
  head -c 100 /dev/zero >"$files/short.bin"
  local short
  short=$(win_path "$files/short.bin")
  start_window loader
  drive "system-command=loader-file" "choose-file=$short|10" \
    "write-diagnosis=$(win_path "$out_dir/chosen.txt")" "close-window" "wait-exit=15"
  expect_in "$out_dir/chosen.txt" 'short\.bin'
  expect_in "$out_dir/chosen.txt" '100 bytes'
  stop_window
  start_window loader-again
  drive "write-diagnosis=$(win_path "$out_dir/remembered.txt")" \
    "system-command=built-in-loader" "write-diagnosis=$(win_path "$out_dir/built-in.txt")" \
    "system-command=about" "dismiss-box=$(win_path "$out_dir/about.txt")|10" \
    "close-window" "wait-exit=15"
  expect_in "$out_dir/remembered.txt" 'short\.bin'
  expect_in "$out_dir/built-in.txt" '^Loader image: .*stand-in'
  expect_in "$out_dir/about.txt" '^About Pellora$'
  expect_in "$out_dir/about.txt" '^pellora [0-9]+\.[0-9]+\.[0-9]+$'
  stop_window
  start_window loader-missing --loader "$(win_path "$files/missing.bin")"
  drive "dismiss-box=$(win_path "$out_dir/refused.txt")|10" "close-window" "wait-exit=15"
  expect_in "$out_dir/refused.txt" 'missing\.bin.*cannot be used as the loader image'
  finish_case loader_menu
}

# The demo: the box inside the program, behind the port "DEMO", no COM port needed.
case_demo() {
  start_window demo --demo
  drive "click=Detect Port" "expect-ports=1" "select-port=DEMO" "click=Flash Mode" \
    "click=Detect DM >>" "wait-log-line=$power_on|15" "wait-log-line=-No Need For JTAG !|60" \
    "wait-enabled=Detect Port|20" "expect-gauge=100" "expect-visible=Save Log|1" \
    "write-log=$(win_path "$out_dir/pane.txt")" "click=Close" "wait-exit=15"
  expect_lines "$out_dir/pane.txt" "${flash_success[@]}"
  finish_case demo
}

case_version() {
  case_folders version
  local status=0
  (cd "$case_dir" && timeout 60 "$wine" "$window" --version) </dev/null \
    >"$out_dir/version.raw" 2>"$out_dir/version.err" || status=$?
  tr -d '\r' <"$out_dir/version.raw" >"$out_dir/version"
  [ "$status" -eq 0 ] || problem "--version ended with status $status"
  expect_in "$out_dir/version" '^pellora [0-9]+\.[0-9]+\.[0-9]+$'
  expect_in "$out_dir/version" 'stand-in|loader'
  status=0
  (cd "$case_dir" && timeout 60 "$wine" "$window" --no-such-option) </dev/null \
    >"$out_dir/usage.out" 2>"$out_dir/usage.err" || status=$?
  [ "$status" -eq 2 ] || problem "a wrong option ended with status $status, not 2"
  expect_in "$out_dir/usage.err" 'no-such-option'
  finish_case version
}

# The pictures of a Flash Mode run, as a person sees them; then a second check on the same
# box, which has moved on and sends no banner: the live hint, Esc and the diagnosis.
take_screenshots() {
  local dir=$1
  mkdir -p "$dir"
  dir=$(cd "$dir" && pwd)
  start_box good || problem "no simulated box"
  start_window pictures
  drive "screenshot=$(win_path "$dir/1-start.png")" \
    "click=Detect Port" "sleep=500" "screenshot=$(win_path "$dir/2-port-list.png")" \
    "select-port=$port" "click=Flash Mode" "click=Detect DM >>" \
    "wait-log-line=$data1|30" "sleep=1800" "screenshot=$(win_path "$dir/3-upload.png")" \
    "wait-enabled=Detect Port|30" "sleep=300" "screenshot=$(win_path "$dir/4-success.png")" \
    "double-click-title" "sleep=300" "screenshot=$(win_path "$dir/5-rolled-up.png")" \
    "double-click-title" "sleep=300" \
    "click=Detect DM >>" "wait-log-line=$power_on|15" "sleep=6000" \
    "screenshot=$(win_path "$dir/6-live-hint.png")" \
    "key=esc" "wait-log-line=User Abort!|10" "wait-enabled=Detect DM >>|10" "sleep=300" \
    "screenshot=$(win_path "$dir/7-diagnosis.png")" "click=Close" "wait-exit=15"
  finish_case screenshots
  [ "$failed" -eq 0 ] && say "pictures in $dir"
}

start_wine
if [ -n "$screenshots" ]; then
  take_screenshots "$screenshots"
else
  started=$SECONDS
  for name in window_and_title_bar flash_mode_and_save_log esc_during_banner_wait test_mode \
    detect_port_empty \
    close_during_check device_lost loader_menu demo version; do
    if [ ${#only[@]} -eq 0 ] || [[ " ${only[*]} " == *" $name "* ]]; then "case_$name"; fi
  done
  say "$passed passed, $failed failed ($((SECONDS - started)) s)"
fi
[ "$failed" -eq 0 ]
