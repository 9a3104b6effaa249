#!/usr/bin/env bash
# Runs atspi_test.py against the program inside its own session bus (which starts the
# accessibility bus on demand) and a virtual X display. Exit 77 (skipped, with the reason) where
# these cannot be had.
set -u
program=$1
listing=$2
skip() {
  echo "SKIPPED: $*" >&2
  exit 77
}
command -v dbus-run-session >/dev/null || skip "dbus-run-session not found (Debian package dbus)"
command -v xvfb-run >/dev/null || skip "xvfb-run not found (Debian package xvfb)"
command -v xauth >/dev/null || skip "xauth not found (Debian package xauth)"
[ -x /usr/libexec/at-spi-bus-launcher ] || skip "no accessibility bus (Debian package at-spi2-core)"
# The system's Python carries Debian's pyatspi, whatever python3 comes first on the PATH.
python=/usr/bin/python3
[ -x "$python" ] || python=$(command -v python3) || skip "no python3"
"$python" -c 'import pyatspi' 2>/dev/null || skip "pyatspi not importable (Debian package python3-pyatspi)"
unset DBUS_SESSION_BUS_ADDRESS AT_SPI_BUS_ADDRESS
# xvfb-run may end with its own status when it cannot tidy its temporary files: the test's verdict
# goes through a file instead.
verdict=$(mktemp)
trap 'rm -f "$verdict"' EXIT
dbus-run-session -- xvfb-run -a -s "-screen 0 1280x1024x24" \
  sh -c '"$0" "$1" "$2" "$3"; echo $? >"$4"' \
  "$python" "$(dirname "$0")/atspi_test.py" "$program" "$listing" "$verdict"
status=$(cat "$verdict")
if [ -z "$status" ]; then
  echo "FAILED: the test did not come to an end (no verdict)" >&2
  exit 1
fi
exit "$status"
