#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs a command as a screen reader's user would run the window: on the X
# server that xvfb-run started, with the accessibility bus of the D-Bus session
# that dbus-run-session started, and with AT-SPI switched on, as a screen reader
# switches it on when it starts. Qt's bridge reads that switch: without it, no
# accessibility event leaves the program. Use:
#   dbus-run-session -- xvfb-run -a tests/window/with_atspi.sh COMMAND...
set -euo pipefail

if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ] || [ -z "${DISPLAY:-}" ]; then
    echo "with_atspi.sh: run it under dbus-run-session and xvfb-run" >&2
    exit 2
fi
# The bus launcher starts on this call, and the switch is a property it keeps.
dbus-send --session --print-reply=literal --dest=org.a11y.Bus /org/a11y/bus \
    org.freedesktop.DBus.Properties.Set \
    string:org.a11y.Status string:IsEnabled variant:boolean:true >/dev/null

export QT_ACCESSIBILITY=1
export QT_QPA_PLATFORM=xcb
exec "$@"
