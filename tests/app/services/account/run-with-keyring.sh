#!/bin/sh
# Runs a test program in a private D-Bus session with gnome-keyring unlocked in
# a throw-away home, so that the Secret Service it talks to is its own.
set -eu
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/data" "$scratch/config" "$scratch/cache" "$scratch/run"
chmod 700 "$scratch/run"
export HOME="$scratch" XDG_DATA_HOME="$scratch/data" XDG_CONFIG_HOME="$scratch/config" \
    XDG_CACHE_HOME="$scratch/cache" XDG_RUNTIME_DIR="$scratch/run" KESTRAVIN_KEYRING_TEST=1
unset GNOME_KEYRING_CONTROL SSH_AUTH_SOCK
exec dbus-run-session -- sh -c '
    printf kestravin | gnome-keyring-daemon --unlock --components=secrets >/dev/null
    exec "$@"' keyring "$@"
