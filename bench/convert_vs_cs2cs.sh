#!/usr/bin/env bash
# kolmo-cli convert against cs2cs on 1 000 000 D96 points inside Slovenia:
# latitude, longitude, ellipsoidal height on GRS-80 -> D96/TM (x, y, h).
# Both programs read the same points (kolmo-cli with point names, cs2cs as
# "lon lat h") and write millimetre values; each run is measured with GNU time.
#
# usage: bench/convert_vs_cs2cs.sh [path/to/kolmo-cli] [number of points]
set -euo pipefail

CLI=${1:-build/kolmo-cli}
N=${2:-1000000}
TIME=/usr/bin/time
WORK=$(mktemp -d /tmp/kolmo-bench.XXXXXX)
trap 'rm -rf "$WORK"' EXIT

for tool in "$CLI" cs2cs "$TIME"; do
    command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 2; }
done

# Points spread over 45.45-46.85 N, 13.40-16.55 E, h 100-2000 m (fixed seed).
awk -v n="$N" -v k="$WORK/points.pod" -v c="$WORK/points.ll" 'BEGIN {
    srand(1996);
    for (i = 1; i <= n; i++) {
        fi = 45.45 + rand() * 1.40; la = 13.40 + rand() * 3.15; h = 100 + rand() * 1900;
        printf "P%07d %.9f %.9f %.4f\n", i, fi, la, h > k;
        printf "%.9f %.9f %.4f\n", la, fi, h > c;
    }
}'

GRS80="+a=6378137 +rf=298.2572221"
TM="+proj=tmerc +lat_0=0 +lon_0=15 +k=0.9999 +x_0=500000 +y_0=-5000000 $GRS80"

"$TIME" -v -o "$WORK/kolmo.time" "$CLI" convert --in "$WORK/points.pod" --out "$WORK/kolmo.txt" \
    --in-type ell --ellipsoid grs80 --out-type plane-xy --heights ellipsoidal
"$TIME" -v -o "$WORK/cs2cs.time" cs2cs -f %.3f +proj=longlat $GRS80 +to $TM \
    <"$WORK/points.ll" >"$WORK/cs2cs.txt"

seconds() { # wall clock "h:mm:ss" or "m:ss.ss" -> seconds
    awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, t, ":"); s = 0;
        for (i = 1; i <= n; i++) s = s * 60 + t[i]; print s }' "$1"
}
cpu() { awk -F': ' '/User time|System time/ { s += $2 } END { print s }' "$1"; }
rss() { awk -F': ' '/Maximum resident set size/ { printf "%.1f", $2 / 1024 }' "$1"; }

# Both results describe the same points: compare the first line (y x h from cs2cs).
read -r _ kx ky kh < <(head -1 "$WORK/kolmo.txt")
read -r cy cx ch < <(head -1 "$WORK/cs2cs.txt")
echo "points:            $N"
echo "first point:       kolmo-cli $kx $ky $kh | cs2cs $cx $cy $ch"
echo "lines written:     kolmo-cli $(wc -l <"$WORK/kolmo.txt") | cs2cs $(wc -l <"$WORK/cs2cs.txt")"
ks=$(seconds "$WORK/kolmo.time"); cs=$(seconds "$WORK/cs2cs.time")
echo "wall time (s):     kolmo-cli $ks | cs2cs $cs"
echo "cpu time (s):      kolmo-cli $(cpu "$WORK/kolmo.time") | cs2cs $(cpu "$WORK/cs2cs.time")"
echo "peak memory (MB):  kolmo-cli $(rss "$WORK/kolmo.time") | cs2cs $(rss "$WORK/cs2cs.time")"
awk -v a="$ks" -v b="$cs" 'BEGIN { printf "time ratio kolmo-cli / cs2cs: %.2f\n", (b > 0 ? a / b : 0) }'
