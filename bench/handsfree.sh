#!/usr/bin/env bash
# Commissioning hands free from the command line: the simulator swaps in a fresh transmitter 296
# 1.5 s after the identification that follows each write, the configurator takes each device
# that answers after silence. Prints devices per minute over N devices and, per device, the time
# from its answer to the identification to the reply of its last read-back request (from the
# simulator's own timestamps), beside the wire time of its bytes at 19200 baud.
# Usage: bench/handsfree.sh BUILD_DIR [N] [extra simulator options, e.g. --pause-inside 80]
set -euo pipefail
build=$(cd "${1:?build directory}" && pwd)
n=${2:-20}
shift $(( $# >= 2 ? 2 : 1 ))
work=$(mktemp -d)
trap 'kill "${conf:-}" "${sim:-}" 2>/dev/null || true; rm -rf "$work"' EXIT
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share QT_QPA_PLATFORM=offscreen
mkdir -p "$work/home"
cd "$work"
printf '[settings]\nZaprosTimeMs=200\nZaprosSimTimeMs=200\nZaprosResiverTimeMs=200\n' >settings.conf
printf '{"format": "talver-profile", "version": 1, "device": "transmitter", "radio": {"channel": 8, "speed": "9600", "power": 3}, "settings": {"timeFd1": 30}}\n' >site.json
"$build/tools/controller-sim/controller-sim" --swap 1500 "$@" >sim.out 2>&1 &
sim=$!
for _ in $(seq 50); do grep -q '^Port:' sim.out && break; sleep 0.1; done
port=$(sed -n 's/^Port: //p' sim.out)
"$build/configurator/configurator" --port "$port" --commission site.json --address-from 40 >conf.out 2>&1 &
conf=$!
journal=$HOME/.local/share/talver/configurator/journal.csv
start=$(date +%s.%N)
for _ in $(seq 1200); do
  [ "$(grep -c ';проверено\|;расхождения\|;не проверено\|;отменено\|;связь потеряна\|;остановлено' "$journal" 2>/dev/null || echo 0)" -ge "$n" ] && break
  sleep 0.5
done
end=$(date +%s.%N)
verified=$(grep -c ';проверено' "$journal" || true)
lines=$(( $(wc -l <"$journal") - 1 ))
python3 - "$start" "$end" "$n" "$verified" "$lines" sim.out <<'PY'
import sys, statistics
start, end, n, verified, lines, sim = float(sys.argv[1]), float(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5]), sys.argv[6]
rows = [l for l in open(sim, encoding='utf-8', errors='replace').read().splitlines() if l[:2].isdigit()]
def t(l):
    h, m, s = l[:12].split(':'); return int(h) * 3600 + int(m) * 60 + float(s)
passes, cur = [], None
for i, l in enumerate(rows):
    if '<- 3c 54' in l and i + 1 < len(rows) and '2b 2b 2b' in rows[i + 1]:
        cur = [t(l), 0]
    if cur is not None:
        parts = l[16:].split('|')[0].split()
        cur[1] += len(parts)
        if '-> 21 01 01' in l and i > 0:
            passes.append((t(rows[i - 1]) - cur[0], cur[1])); cur = None
secs = [p[0] for p in passes]
wire = [p[1] * 10 / 19200 for p in passes]
print(f"devices: {lines} journal lines, {verified} verified, in {end - start:.1f} s: {lines / (end - start) * 60:.1f} devices/min")
if secs:
    print(f"answer to the identification -> last read-back reply: median {statistics.median(secs):.3f} s, max {max(secs):.3f} s "
          f"over {len(secs)} passes; wire time median {statistics.median(wire):.3f} s; ratio {statistics.median(secs) / statistics.median(wire):.1f}x")
PY
grep -c 'Повтор\|Swaps' sim.out >/dev/null || true
echo "swaps: $(grep -c '^Swaps' sim.out)"
