#!/usr/bin/env bash
# kolmo-cli transform on generated networks, measured with GNU time:
#  - the spatial estimation (mode "params") with n = 10 ... 100 000 common points;
#  - the full computation (estimate, transform, residual interpolation, report)
#    with 1 000 common points and 100 000 transformed points, alone and with
#    its plots written (--plots: all formats, then one format at a time);
#  - transforming the 100 000 points with given parameters (mode "coords")
#    against cs2cs applying the same seven parameters (a Helmert shift between
#    Bessel and GRS-80 with the same projections) to the same points.
# The D48/GK points are spread over Slovenia; their D96/TM partners are the
# same points moved by a similarity with 2 cm of noise (fixed seed).
#
# usage: bench/transform_cli.sh [path/to/kolmo-cli]
set -euo pipefail

CLI=${1:-build/kolmo-cli}
DATA=$(cd "$(dirname "$CLI")" && pwd)/data
TIME=/usr/bin/time
WORK=$(mktemp -d /tmp/kolmo-bench.XXXXXX)
trap 'rm -rf "$WORK"' EXIT
for tool in "$CLI" cs2cs "$TIME"; do
    command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 2; }
done

# gen N PREFIX: PREFIX_gk.pod (D48/GK x y H), PREFIX_tm.pod (D96/TM n e h),
# PREFIX.en (e n h, for cs2cs).
gen() {
    awk -v n="$1" -v p="$WORK/$2" 'BEGIN {
        srand(48 + n);
        for (i = 1; i <= n; i++) {
            x = 35000 + rand() * 155000; y = 380000 + rand() * 230000; h = 100 + rand() * 1500;
            printf "P%06d %.4f %.4f %.4f\n", i, x, y, h > (p "_gk.pod");
            printf "%.4f %.4f %.4f\n", y, x, h > (p ".en");
            nx = 1.0000099 * x - 0.0000246 * y + 496.68 + 0.02 * (rand() - 0.5);
            ny = 0.0000246 * x + 1.0000099 * y - 378.06 + 0.02 * (rand() - 0.5);
            printf "P%06d %.4f %.4f %.4f\n", i, nx, ny, h + 46 + 0.02 * (rand() - 0.5) > (p "_tm.pod");
        }
    }'
}

measure() { # label, then the command
    local label=$1; shift
    "$TIME" -v -o "$WORK/t" "$@" >/dev/null
    awk -v l="$label" -F': ' '/Elapsed \(wall clock\)/ { n = split($2, t, ":"); s = 0;
        for (i = 1; i <= n; i++) s = s * 60 + t[i]; w = s }
        /Maximum resident set size/ { m = $2 / 1024 }
        END { printf "%-52s %8.3f s %8.1f MB\n", l, w, m }' "$WORK/t"
}

printf "%-52s %10s %11s\n" "run" "wall" "peak"
for n in 10 100 1000 10000 100000; do
    gen $n c$n
    measure "estimation, $n common points" "$CLI" transform --type 3r7 --mode params --data-dir "$DATA" \
        --start "$WORK/c${n}_gk.pod" --start-type gk --end "$WORK/c${n}_tm.pod" --end-type tm --out-type tm \
        --report "$WORK/r.str"
done

gen 100000 all
head -n 1000 "$WORK/all_tm.pod" >"$WORK/common_tm.pod"
measure "full computation, 1 000 common, 100 000 points" "$CLI" transform --type 3r7 --mode full --data-dir "$DATA" \
    --start "$WORK/all_gk.pod" --start-type gk --end "$WORK/common_tm.pod" --end-type tm --out-type tm \
    --report "$WORK/full.str"

measure "the same with --plots: 3 plots x 7 formats" "$CLI" transform --type 3r7 --mode full --data-dir "$DATA" \
    --start "$WORK/all_gk.pod" --start-type gk --end "$WORK/common_tm.pod" --end-type tm --out-type tm \
    --report "$WORK/full.str" --plots "$WORK/plots"
for f in png tiff jpeg eps emf svg pdf; do
    measure "the same with --plots, $f only" "$CLI" transform --type 3r7 --mode full --data-dir "$DATA" \
        --start "$WORK/all_gk.pod" --start-type gk --end "$WORK/common_tm.pod" --end-type tm --out-type tm \
        --report "$WORK/full.str" --plots "$WORK/plots" --plot-formats $f
done

PAR=476.08,125.947,417.81,-4.610862,-2.388137,11.942335,9.896638
measure "kolmo-cli coords, 100 000 points" "$CLI" transform --type 3r7 --mode coords --data-dir "$DATA" \
    --start "$WORK/all_gk.pod" --start-type gk --end-type tm --out-type tm --params-values $PAR \
    --report "$WORK/coords.str"
# The same seven parameters for PROJ: coordinate-frame rotations, from D48 to D96.
measure "cs2cs, the same 100 000 points" cs2cs -f %.3f \
    +proj=tmerc +lat_0=0 +lon_0=15 +k=0.9999 +x_0=500000 +y_0=-5000000 +a=6377397.155 +rf=299.1528128533 \
    +towgs84=476.08,125.947,417.81,4.610862,2.388137,-11.942335,9.896638 \
    +to +proj=tmerc +lat_0=0 +lon_0=15 +k=0.9999 +x_0=500000 +y_0=-5000000 +a=6378137 +rf=298.2572221 \
    +towgs84=0,0,0 "$WORK/all.en"
