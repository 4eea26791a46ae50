#!/usr/bin/env bash
# Runs the built daemon idle on a private bus for a while and reports the CPU
# time it used and its resident memory. Usage:
#   [HOSTS=n] [MODE=schedule|manual|both] bench/daemon-idle.sh [path/to/com.kestravin.helper] [seconds]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
daemon="${1:-$root/build/run/src/helper/com.kestravin.helper}"
seconds="${2:-60}"

work="$(mktemp -d)"
chmod 755 "$work"
cat >"$work/bus.conf" <<CONF
<busconfig>
  <type>system</type>
  <listen>unix:path=$work/socket</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_type="method_call"/>
    <allow send_type="signal"/>
    <allow send_requested_reply="true" send_type="method_return"/>
    <allow send_requested_reply="true" send_type="error"/>
    <allow receive_type="method_call"/>
    <allow receive_type="method_return"/>
    <allow receive_type="error"/>
    <allow receive_type="signal"/>
  </policy>
</busconfig>
CONF
dbus-daemon --config-file="$work/bus.conf" --nofork --print-address=3 3>"$work/address" &
bus_pid=$!
trap 'kill "$bus_pid" 2>/dev/null || true; kill "${daemon_pid:-}" 2>/dev/null || true; rm -rf "$work"' EXIT
for _ in $(seq 50); do [ -s "$work/address" ] && break; sleep 0.1; done

# HOSTS hosts (50 by default). MODE=schedule (the default): automatic hours
# on, blocking due all day. MODE=manual: a manual focus of an hour, no hours.
# MODE=both: the two at once. Either way the daemon has a section to keep and
# nothing to change.
hosts_count="${HOSTS:-50}"
mode="${MODE:-schedule}"
printf '127.0.0.1 localhost\n' >"$work/hosts"
sites="$(seq "$hosts_count" | sed 's/.*/"site&.example.com"/' | paste -sd, -)"
days=""
for d in sunday monday tuesday wednesday thursday friday saturday; do
    days="$days\"$d\":{\"enabled\":true,\"timeRanges\":[{\"startHour\":0,\"startMinute\":0,\"endHour\":24,\"endMinute\":0}]},"
done
# The manual end is stored in seconds since 2001-01-01.
manual_end=$(($(date +%s) + 3600 - 978307200))
case "$mode" in
schedule) printf '{"daySchedules":{%s},"enabled":true,"blockedSites":[%s]}' "${days%,}" "$sites" >"$work/config.json" ;;
manual) printf '{"manualBlockSites":[%s],"manualBlockEndsAt":%s}' "$sites" "$manual_end" >"$work/config.json" ;;
both) printf '{"daySchedules":{%s},"enabled":true,"blockedSites":[%s],"manualBlockSites":[%s],"manualBlockEndsAt":%s}' \
    "${days%,}" "$sites" "$sites" "$manual_end" >"$work/config.json" ;;
*) echo "MODE is schedule, manual or both" >&2; exit 2 ;;
esac

DBUS_SYSTEM_BUS_ADDRESS="$(head -n1 "$work/address")" \
    "$daemon" --hosts-file "$work/hosts" --config-file "$work/config.json" >"$work/log" 2>&1 &
daemon_pid=$!
sleep 2
ticks="$(getconf CLK_TCK)"
read -r -a before < <(cut -d' ' -f14,15 "/proc/$daemon_pid/stat")
sleep "$seconds"
read -r -a after < <(cut -d' ' -f14,15 "/proc/$daemon_pid/stat")
used=$(((after[0] + after[1]) - (before[0] + before[1])))
echo "$mode, $hosts_count hosts, idle for ${seconds}s: $used CPU ticks (1 tick = 1/${ticks} s)," \
    "$(awk -v u="$used" -v t="$ticks" -v s="$seconds" 'BEGIN { printf "%.3f", 100 * u / t / s }') % of one core"
grep -E 'VmRSS|VmHWM' "/proc/$daemon_pid/status"
grep -c "Blocking activated" "$work/log" | sed 's/^/section writes during the run (1 expected, at start): /'
