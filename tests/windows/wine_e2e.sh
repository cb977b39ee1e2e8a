#!/usr/bin/env bash
# pellora-cli.exe under Wine against the simulated box: the checks of the Linux end-to-end
# tests, with the Windows program talking to COM5, which Wine maps to the box's
# pseudo-terminal. Needs no display.
#
# usage: wine_e2e.sh --cli PATH/pellora-cli.exe --sim PATH/dm500-sim --prefix DIR
#   --prefix  the Wine prefix to use; created on first use, never shared with the user's own
set -euo pipefail

usage() {
  echo "usage: $0 --cli PATH/pellora-cli.exe --sim PATH/dm500-sim --prefix DIR" >&2
  exit 2
}

cli="" sim="" prefix=""
while [ $# -gt 0 ]; do
  case "$1" in
    --cli) cli=${2:-} && shift 2 ;;
    --sim) sim=${2:-} && shift 2 ;;
    --prefix) prefix=${2:-} && shift 2 ;;
    *) usage ;;
  esac
done
[ -n "$cli" ] && [ -n "$sim" ] && [ -n "$prefix" ] || usage
[ -f "$cli" ] || { echo "wine_e2e: no program at $cli" >&2; exit 2; }
[ -x "$sim" ] || { echo "wine_e2e: no simulator at $sim" >&2; exit 2; }

# Debian's wine64 package alone has no 'wine' on PATH; its loader works the same.
wine=$(command -v wine || command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver64)
[ -x "$wine" ] || { echo "wine_e2e: Wine is not installed" >&2; exit 2; }

export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
WINEPREFIX=$(mkdir -p "$prefix" && cd "$prefix" && pwd)
unset DISPLAY WAYLAND_DISPLAY  # a console program; no window may pop up

work=$(mktemp -d "${TMPDIR:-/tmp}/pellora-wine-e2e.XXXXXX")
box_link="$work/dm500"
port=COM5
box_pid=""

stop_box() {
  if [ -n "$box_pid" ]; then
    kill -TERM "$box_pid" 2>/dev/null || true
    wait "$box_pid" 2>/dev/null || true
    box_pid=""
  fi
}

cleanup() {
  stop_box
  "$wineserver" -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

say() { printf 'wine_e2e: %s\n' "$*" >&2; }

# --- Wine ----------------------------------------------------------------------------------

# The first program started in a prefix also starts Wine's services, which keep its stdout
# and stderr open; run the quiet ones first so the tests' own output files close on exit.
quietly() {
  "$@" </dev/null >>"$work/wine.log" 2>&1 && return 0
  local failed_status=$?
  say "failed with status $failed_status: $*"
  tail -n 20 "$work/wine.log" >&2
  return "$failed_status"
}

start_wine() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    say "creating the Wine prefix $WINEPREFIX"
    quietly "$wine" wineboot --init
    quietly "$wineserver" -w
  fi
  # Wine reads its COM port map when its server starts.
  quietly "$wine" reg add 'HKLM\Software\Wine\Ports' /v "$port" /d "$box_link" /f
  "$wineserver" -k >/dev/null 2>&1 || true  # none may be running
  quietly "$wineserver" -w
  # Persistent, so the services stay up between the runs instead of starting for each.
  quietly "$wineserver" -p
  quietly "$wine" cmd /c exit
}

# --- the simulated box ---------------------------------------------------------------------

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

# --- one run of the program ----------------------------------------------------------------

# Runs pellora-cli.exe with the given arguments; its stdout and stderr, with Windows line
# ends made plain, go to $work/out and $work/err, its exit status to $status.
status=0
cli_pid=""
run_limit=120  # seconds; a run that hangs ends with status 124
start_cli() {
  : >"$work/out.raw"
  # --foreground: a signal for the program reaches it once, not also through its group
  # (a second Ctrl-C ends it at once).
  timeout --foreground --kill-after=5 "$run_limit" "$wine" "$cli" "$@" </dev/null \
    >"$work/out.raw" 2>"$work/err.raw" &
  cli_pid=$!
}
finish_cli() {
  status=0
  wait "$cli_pid" || status=$?
  sed 's/\r$//' "$work/out.raw" >"$work/out"
  sed 's/\r$//' "$work/err.raw" >"$work/err"
}
run_cli() {
  start_cli "$@"
  finish_cli
}

# Waits up to 20 s for the running program to print the line.
wait_for_output() {
  local tries
  for tries in $(seq 200); do
    grep -qF -- "$1" "$work/out.raw" && return 0
    sleep 0.1
  done
  return 1
}

# --- checks --------------------------------------------------------------------------------

passed=0 failed=0 skipped=0
problems=()

problem() { problems+=("$*"); }

finish_case() {
  local name=$1
  if [ ${#problems[@]} -eq 0 ]; then
    passed=$((passed + 1))
    say "ok    $name"
  else
    failed=$((failed + 1))
    say "FAIL  $name"
    local line
    for line in "${problems[@]}"; do printf '        %s\n' "$line" >&2; done
    printf '        --- stdout:\n' >&2 && sed 's/^/        | /' "$work/out" >&2
    printf '        --- stderr:\n' >&2 && sed 's/^/        | /' "$work/err" >&2
    if [ -s "$work/box.err" ]; then
      printf '        --- box:\n' >&2 && sed 's/^/        | /' "$work/box.err" >&2
    fi
  fi
  problems=()
}

skip_case() {
  skipped=$((skipped + 1))
  say "skip  $1: $2"
}

expect_status() {
  [ "$status" -eq "$1" ] || problem "exit status $status, expected $1"
  [ "$status" -ne 124 ] || problem "the program did not end within $run_limit s"
}

# stdout, line by line: all of it, or only its first or last lines.
expect_out() {
  local how=$1
  shift
  printf '%s\n' "$@" >"$work/expected"
  case "$how" in
    is) cp "$work/out" "$work/actual" ;;
    starts) head -n $# "$work/out" >"$work/actual" ;;
    ends) tail -n $# "$work/out" >"$work/actual" ;;
  esac
  cmp -s "$work/actual" "$work/expected" && return 0
  local line
  problem "stdout ($how) is not:"
  for line in "$@"; do problem "  $line"; done
}

expect_err() {
  grep -Eq -- "$1" "$work/err" || problem "stderr has no line matching /$1/"
}

# --- what the box and the program say ------------------------------------------------------

power_on="Power ON DB Device [ESC to Abort]"
hw_id_a="HW ID: [E00D447265616D626F782044004D3530300D]"
detected="Dreambox Detected...Ok!"
data1="Data1: [6C6F6164696E6720696E7374722E2066696C65]"
sending="Sending Flash Loader..."
wrong="Wrong Boot Response!"
# LF, then "client: ok, i'm now attached to a server. waiting for further commands." CR LF
data2="Data2: [0A636C69656E743A206F6B2C2069276D206E6F7720617474616368656420746F206120736572766572"
data2+="2E2077616974696E6720666F72206675727468657220636F6D6D616E64732E0D0A]"
flash_success=("$power_on" "$hw_id_a" "$detected" "$data1" "$sending" "Settings Baudrate Ok!!"
  "$data2" "Boot Success!" "-Flash Chip Status Good !" "-Boot Success & Alive !"
  "-No Need For JTAG !")

# --- the cases -----------------------------------------------------------------------------

# The box did not start: nothing ran.
no_box() {
  problem "no simulated box"
  : >"$work/out" && : >"$work/err" && status=-1
}

# A boot check against the box in the given scenario, with more options if given.
check_box() {
  local scenario=$1 mode=$2
  shift 2
  if start_box "$scenario"; then
    run_cli --port "$port" --mode "$mode" "$@"
    stop_box
  else
    no_box
  fi
}

case_flash_good() {
  check_box good flash
  expect_status 0
  expect_out is "${flash_success[@]}"
  expect_err '^result: the box boots and its flash answers'
  finish_case flash_good
}

# The banner comes in two pieces 200 ms apart: Wine's read intervals must end the first read.
case_flash_split_banner() {
  check_box split-banner flash
  expect_status 0
  expect_out ends "Boot Success!" "-Flash Chip Status Good !" "-Boot Success & Alive !" \
    "-No Need For JTAG !"
  finish_case flash_split_banner
}

# Also writes the log over an older one: CR LF line ends, not doubled by a text-mode file,
# and the older file replaced.
case_flash_reply_crlf() {
  printf 'an older log\n' >"$work/Log.log"
  check_box reply-crlf flash --log "Z:$work/Log.log"
  expect_status 1
  expect_out is "$power_on" "$hw_id_a" "$wrong"
  expect_err 'did not answer as expected'
  printf '%s\r\n' "$power_on" "$hw_id_a" "$wrong" >"$work/expected.log"
  cmp -s "$work/Log.log" "$work/expected.log" || problem "Log.log is not the log with CR LF line ends"
  finish_case flash_reply_crlf
}

# The reply comes after 2.5 s: the 1.5 s read timeout must end the wait.
case_flash_slow_ok() {
  check_box slow-ok flash
  expect_status 1
  expect_out ends "$wrong"
  finish_case flash_slow_ok
}

case_flash_unplug_during_upload() {
  check_box unplug-during-upload flash
  expect_status 4
  expect_out is "$power_on" "$hw_id_a" "$detected" "$data1" "$sending"
  expect_err '(Write|Read)File function failed \(win error code: [0-9]+\)'
  finish_case flash_unplug_during_upload
}

case_test_good() {
  check_box good test
  expect_status 0
  expect_out starts "$power_on"
  expect_err 'console output is in the log'
  finish_case test_good
}

# Starts a Flash Mode check against a box that never greets and, once the tool waits for
# the banner, does the given thing to it.
check_silent_box_then() {
  if start_box silent; then
    start_cli --port "$port" --mode flash
    if wait_for_output "$power_on"; then
      sleep 0.3
      "$@"
    else
      problem "the program never printed: $power_on"
    fi
    finish_cli
    stop_box
  else
    no_box
  fi
}

# Wine turns SIGINT into the console's Ctrl-C event; during the banner wait it aborts.
interrupt_cli() { kill -INT "$cli_pid"; }
case_interrupt_banner_wait() {
  check_silent_box_then interrupt_cli
  expect_status 130
  expect_out is "$power_on" "HW ID: []" "User Abort!"
  expect_err '^result: aborted'
  finish_case interrupt_banner_wait
}

# The box goes away while the tool waits for its banner, as when the adapter is pulled out.
# Wine reports the hung-up terminal as reads that time out empty; the backend must still
# notice, or the wait would never end.
case_unplug_during_banner_wait() {
  check_silent_box_then stop_box
  expect_status 4
  expect_out starts "$power_on"
  expect_err 'ReadFile function failed \(win error code: [0-9]+\)'
  finish_case unplug_during_banner_wait
}

case_missing_port() {
  : >"$work/box.err"
  run_cli --port COM77 --mode test
  expect_status 3
  expect_out is "Failed Open Com Port!"
  expect_err '^error: COM77: cannot open: .*\(win error code: [0-9]+\)$'
  finish_case missing_port
}

case_list_ports() {
  if start_box good; then
    run_cli --list-ports
    stop_box
  else
    no_box
  fi
  expect_status 0
  grep -qx "$port" "$work/out" || problem "$port is not listed"
  if grep -vqx 'COM[0-9]\+' "$work/out"; then problem "a listed name is not COM<n>"; fi
  sed 's/^COM//' "$work/out" | sort -nc 2>/dev/null || problem "the ports are not in ascending order"
  finish_case list_ports
}

start_wine
case_flash_good
case_flash_split_banner
case_flash_reply_crlf
case_flash_slow_ok
case_flash_unplug_during_upload
case_test_good
case_interrupt_banner_wait
case_unplug_during_banner_wait
case_missing_port
case_list_ports
skip_case busy_port "Wine does not enforce exclusive opens: a second CreateFile with share mode 0 on the same COM port succeeds"

say "$passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
