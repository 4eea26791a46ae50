#!/bin/bash
# Builds the Debian package from the build tree once, then checks where its
# files land, that the unit starts a daemon the package carries, and (when
# lintian is installed) that lintian finds no error.
#   deb-check.sh BUILD_DIR
set -euo pipefail

build_dir="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

(cd "$work" && cpack -G DEB --config "$build_dir/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1) || {
    cat "$work/cpack.log"
    exit 1
}
deb="$(find "$work/out" -maxdepth 1 -name 'kestravin_*.deb' | head -n 1)"
[ -n "$deb" ] || { echo "no package was made"; cat "$work/cpack.log"; exit 1; }

listing="$(dpkg -c "$deb" | awk '{ print $1, $6 }')"
echo "$listing"
status=0
expect() { # mode path
    if ! echo "$listing" | grep -qx -- "$1 \./$2"; then
        echo "missing or wrong mode: $1 /$2"
        status=1
    fi
}
expect -rwxr-xr-x usr/bin/kestravin
expect -rwxr-xr-x usr/libexec/kestravin/com.kestravin.helper
expect -rw-r--r-- usr/lib/systemd/system/com.kestravin.helper.service
expect -rw-r--r-- usr/share/dbus-1/system.d/com.kestravin.helper.conf
expect -rw-r--r-- usr/share/dbus-1/system-services/com.kestravin.helper.service
expect -rw-r--r-- usr/share/applications/com.kestravin.app.desktop
expect -rw-r--r-- usr/share/icons/hicolor/scalable/apps/com.kestravin.app.svg
expect -rw-r--r-- usr/share/doc/kestravin/copyright
# Nothing of the portable bundle, and nothing outside /usr.
if echo "$listing" | grep -E ' \./(etc|var|opt|usr/local)/|bundle\.ini'; then
    echo "files outside the package layout"
    status=1
fi

# The unit starts the daemon the package installs.
dpkg-deb -x "$deb" "$work/root"
exec_start="$(sed -n 's/^ExecStart=//p' "$work/root/usr/lib/systemd/system/com.kestravin.helper.service")"
if [ "$exec_start" != /usr/libexec/kestravin/com.kestravin.helper ] || [ ! -x "$work/root$exec_start" ]; then
    echo "the unit starts '$exec_start', which the package does not carry"
    status=1
fi
# The activation file names the unit.
grep -qx 'SystemdService=com.kestravin.helper.service' \
    "$work/root/usr/share/dbus-1/system-services/com.kestravin.helper.service" || {
    echo "the activation file does not name the unit"
    status=1
}
# The maintainer scripts are there and executable.
dpkg-deb -e "$deb" "$work/control"
for script in postinst prerm postrm; do
    [ -x "$work/control/$script" ] || { echo "no $script"; status=1; }
done

# The installing user gets a bus policy of their own, once, beside the others;
# a name that could break the file is refused. (Run against a scratch folder,
# with the system commands it calls stubbed.)
mkdir -p "$work/stub" "$work/policy"
for command in addgroup systemctl dbus-send; do
    printf '#!/bin/sh\nexit 0\n' >"$work/stub/$command"
    chmod +x "$work/stub/$command"
done
sed "s#/etc/dbus-1/system.d#$work/policy#g" "$work/control/postinst" >"$work/postinst"
for user in alice bob bob 'x"y' root; do
    PATH="$work/stub:$PATH" SUDO_USER="$user" sh "$work/postinst" configure
done
users="$work/policy/com.kestravin.helper-users.conf"
if [ "$(grep -o '<policy user="[^"]*">' "$users" | tr '\n' ' ')" != '<policy user="alice"> <policy user="bob"> ' ]; then
    echo "unexpected installer policies:"
    cat "$users"
    status=1
fi
python3 -c 'import sys, xml.dom.minidom; xml.dom.minidom.parse(sys.argv[1])' "$users" || {
    echo "the installer policy is not well-formed"
    status=1
}

if command -v lintian >/dev/null 2>&1; then
    # Errors fail the check; warnings and notes are shown only.
    output="$(lintian --tag-display-limit 0 "$deb" 2>&1 || true)"
    echo "$output"
    if echo "$output" | grep -q '^E: '; then
        status=1
    fi
else
    echo "lintian is not installed: the package was not linted"
fi
exit "$status"
