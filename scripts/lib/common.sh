# Shared by scripts/run, scripts/test and .ci/run. Sourced, not executed.

KESTRAVIN_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"

# Debian 12 packages needed to build Kestravin and to run its tests.
KESTRAVIN_PACKAGES=(
    build-essential cmake ninja-build pkg-config clang-format lld
    qt6-base-dev qt6-base-dev-tools qt6-svg-dev qtkeychain-qt6-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    dbus gnome-keyring libsecret-tools
    xvfb xauth openbox xdotool imagemagick x11-utils
    libxcb1-dev libxcb-ewmh-dev libxcb-screensaver0-dev libxtst-dev libatspi2.0-dev at-spi2-core
    pkexec polkitd fonts-dejavu-core tzdata
    python3 qt6-httpserver-dev qt6-websockets-dev desktop-file-utils libqt6sql6-sqlite
    libsodium-dev libarchive-dev xz-utils dpkg-dev file lintian
    chromium firefox-esr
)

# Installs the packages that are missing, through sudo when not root.
kestravin_ensure_packages() {
    local missing=()
    local package
    for package in "${KESTRAVIN_PACKAGES[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$package")
        fi
    done
    if [ "${#missing[@]}" -eq 0 ]; then
        return 0
    fi
    echo "kestravin: installing ${missing[*]}" >&2
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        sudo=(sudo)
    fi
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# KESTRAVIN_JOBS caps the parallel jobs of the build and the tests.
kestravin_jobs() {
    if [ -n "${KESTRAVIN_JOBS:-}" ]; then
        echo "$KESTRAVIN_JOBS"
        return
    fi
    nproc 2>/dev/null || echo 2
}
