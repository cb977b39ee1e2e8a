#!/usr/bin/env bash
# Checks the packages `./dev package` made: what the Debian package holds, that lintian
# finds no error in it, that its desktop entry and AppStream metadata are valid, that the
# packed programs run, and what the Windows archive holds when there is one.
#
# usage: check_packages.sh --packages DIR [--windows-build DIR]
#   --packages       the folder with pellora_<version>_amd64.deb (and the Windows zip)
#   --windows-build  the Windows build folder; once configured, the archive must exist and
#                    hold every pellora.exe and pellora-cli.exe built there
set -euo pipefail

usage() {
  echo "usage: $0 --packages DIR [--windows-build DIR]" >&2
  exit 2
}

packages="" windows_build=""
while [ $# -gt 0 ]; do
  case "$1" in
    --packages) packages=${2:-} && shift 2 ;;
    --windows-build) windows_build=${2:-} && shift 2 ;;
    *) usage ;;
  esac
done
[ -n "$packages" ] || usage

say() { printf 'package: %s\n' "$*" >&2; }

app_id=io.github.pellora.pellora
debs=("$packages"/pellora_*_amd64.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
  say "expected one pellora_<version>_amd64.deb in $packages, found: ${debs[*]}"
  exit 2
fi
deb=${debs[0]}
version=$(dpkg-deb --field "$deb" Version)

work=$(mktemp -d "${TMPDIR:-/tmp}/pellora-package-check.XXXXXX")
trap 'rm -rf "$work"' EXIT
dpkg-deb -x "$deb" "$work/root"

passed=0 failed=0
run_case() {
  local name=$1
  shift
  if "$@"; then
    say "ok   $name"
    passed=$((passed + 1))
  else
    say "FAIL $name"
    failed=$((failed + 1))
  fi
}

# Every path in the list must be among the names given on stdin; the missing ones are named.
expect_listed() {
  local listing missing=() path
  listing=$(cat)
  for path in "$@"; do
    grep -qxF "$path" <<<"$listing" || missing+=("$path")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  say "missing: ${missing[*]}"
  return 1
}

case_deb_contents() {
  local expected=(
    usr/bin/pellora usr/bin/pellora-cli usr/bin/dm500-sim
    usr/share/pellora/help/index.html
    "usr/share/applications/$app_id.desktop"
    "usr/share/metainfo/$app_id.metainfo.xml"
    usr/share/icons/hicolor/scalable/apps/pellora.svg
    usr/share/man/man1/pellora.1.gz usr/share/man/man1/pellora-cli.1.gz
    usr/share/man/man1/dm500-sim.1.gz
    usr/share/doc/pellora/copyright usr/share/doc/pellora/changelog.gz)
  local size
  for size in 16 24 32 48 64 128 256; do
    expected+=("usr/share/icons/hicolor/${size}x${size}/apps/pellora.png")
  done
  [ "$(basename "$deb")" = "pellora_${version}_amd64.deb" ] ||
    { say "$(basename "$deb") is not named after its version $version"; return 1; }
  dpkg-deb --contents "$deb" | awk '{ sub(/^\.\//, "", $6); print $6 }' |
    expect_listed "${expected[@]}"
}

# Errors fail the check; warnings are shown for whoever reads the log.
case_lintian() {
  lintian --fail-on error "$deb"
}

case_desktop_entry() {
  desktop-file-validate "$work/root/usr/share/applications/$app_id.desktop"
}

case_appstream_metadata() {
  appstreamcli validate --no-net "$work/root/usr/share/metainfo/$app_id.metainfo.xml"
}

# The stripped programs still start and carry the package's version.
case_packed_programs_run() {
  local bin=$work/root/usr/bin program first_line
  for program in pellora-cli pellora; do
    first_line=$(QT_QPA_PLATFORM=offscreen "$bin/$program" --version | head -n 1) ||
      { say "$program --version failed"; return 1; }
    [ "$first_line" = "$program $version" ] ||
      { say "$program --version says '$first_line', the package is $version"; return 1; }
  done
  "$bin/dm500-sim" --help >/dev/null
}

case_windows_archive() {
  local zip="$packages/pellora-$version-windows-x64.zip" top="pellora-$version-windows-x64"
  [ -f "$zip" ] || { say "no $(basename "$zip") although $windows_build is configured"; return 1; }
  local expected=("$top/pellora-cli.exe" "$top/help/index.html" "$top/README.md"
    "$top/LICENSE.txt") program
  # A program built there but left out of the archive is a fault of the install rules.
  while IFS= read -r program; do
    expected+=("$top/$(basename "$program")")
  done < <(find "$windows_build" -path "$windows_build/cpack" -prune -o \
    \( -name pellora.exe -o -name pellora-cli.exe \) -type f -print)
  cmake -E tar tf "$zip" | expect_listed "${expected[@]}"
}

run_case "pellora_${version}_amd64.deb holds the programs, help, icons, man pages, docs" \
  case_deb_contents
run_case "lintian reports no error" case_lintian
run_case "desktop-file-validate accepts the desktop entry" case_desktop_entry
run_case "appstreamcli validate --no-net accepts the metainfo" case_appstream_metadata
run_case "the packed programs run and carry version $version" case_packed_programs_run
if [ -n "$windows_build" ] && [ -f "$windows_build/CMakeCache.txt" ]; then
  run_case "the Windows archive holds the programs, help, README and licence" \
    case_windows_archive
fi

echo "package: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
