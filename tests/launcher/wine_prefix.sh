#!/bin/sh
# Creates ("setup") or stops ("stop") the Wine prefix of the launcher's Wine tests.
# Headless: no display, the null graphics driver, no desktop integration, no Mono or Gecko
# installers; every Wine call is bounded by a time-out.
# Usage: wine_prefix.sh setup|stop <prefix folder> win64|win32
set -eu

action=$1
prefix=$2
arch=$3
wine=${KESTRUN_WINE:-wine}
wineserver=${KESTRUN_WINESERVER:-wineserver}

unset WINESERVER WINELOADER WINEDLLPATH DISPLAY WAYLAND_DISPLAY

export WINEPREFIX="$prefix" WINEARCH="$arch" WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export HOME="$prefix-home"
log="$prefix.log"

fail() {
    echo "wine_prefix.sh: $1" >&2
    [ -f "$log" ] && cat "$log" >&2
    exit 1
}

case $action in
setup)
    # A server left running in this prefix by an interrupted run would hold the old registry.
    if [ -d "$prefix" ]; then
        timeout 30 "$wineserver" -k >/dev/null 2>&1 || true
        timeout 30 "$wineserver" -w >/dev/null 2>&1 || true
    fi
    rm -rf "$prefix" "$HOME"
    mkdir -p "$HOME" "$(dirname "$prefix")"
    : >"$log"
    timeout 240 "$wine" wineboot -i >>"$log" 2>&1 || fail "creating the $arch prefix failed"
    timeout 60 "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >>"$log" 2>&1 ||
        fail "setting the null graphics driver failed"
    # The driver setting is read when the server starts: stop it, wait for it to write the
    # registry, then start it again with the setting and check that it is there.
    timeout 60 "$wineserver" -k >>"$log" 2>&1 || true
    timeout 60 "$wineserver" -w >>"$log" 2>&1 || fail "the Wine server did not stop"
    timeout 60 "$wine" reg query 'HKCU\Software\Wine\Drivers' /v Graphics >>"$log" 2>&1 ||
        fail "reading the graphics driver setting failed"
    grep -q 'Graphics.*REG_SZ.*null' "$log" || fail "the null graphics driver is not set"
    ;;
stop)
    timeout 30 "$wineserver" -k >/dev/null 2>&1 || true
    timeout 30 "$wineserver" -w >/dev/null 2>&1 || true
    ;;
*)
    fail "unknown action $action"
    ;;
esac
