#!/usr/bin/env bash
# The national migration at scale against PROJ applying the same model to the
# same points, each measured with GNU time (wall clock, peak resident memory):
#
#  - kolmo-cli migrate, D48/GK -> D96/TM with the triangle-based model of the
#    GURS tie points v4.0, a point file in and out;
#  - cct +proj=tinshift with the model kolmo-cli exports (--export-tinshift).
#
# Points over the whole country (fixed seed, inside its border), generated
# here for every size.
# kolmo-cli: best of KOLMO_RUNS runs (3); cct: best of PROJ_RUNS (1, as it
# needs about half a minute for a million points).
#
# usage: bench/migrate_vs_proj.sh [path/to/kolmo-cli] [sizes...]
#        (default: build/kolmo-cli, 100000 1000000)
set -euo pipefail

CLI=${1:-build/kolmo-cli}
shift || true
SIZES=${*:-100000 1000000}
TIME=/usr/bin/time
KOLMO_RUNS=${KOLMO_RUNS:-3}
PROJ_RUNS=${PROJ_RUNS:-1}
WORK=$(mktemp -d /tmp/kolmo-bench.XXXXXX)
trap 'rm -rf "$WORK"' EXIT
for tool in "$CLI" cct "$TIME" awk; do
    command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 2; }
done

# best RUNS OUT COMMAND...: runs the command RUNS times; prints "seconds peak_MB
# cpu_seconds" of the fastest run (wall clock), the largest peak, and the
# processor time (user + system) of the fastest run.  On a busy machine the
# wall clock mostly measures the wait for a processor; the processor time
# does not.
best() {
    local runs=$1 out=$2; shift 2
    local s m u y bs="" bm=0 bc=""
    for _ in $(seq "$runs"); do
        "$TIME" -f "%e %M %U %S" -o "$WORK/t" "$@" >"$out"
        read -r s m u y <"$WORK/t"
        if [ -z "$bs" ] || awk -v a="$s" -v b="$bs" 'BEGIN { exit !(a < b) }'; then
            bs=$s
            bc=$(awk -v a="$u" -v b="$y" 'BEGIN { printf "%.2f", a + b }')
        fi
        [ "$m" -gt "$bm" ] && bm=$m
    done
    echo "$bs $(awk -v k="$bm" 'BEGIN { printf "%.1f", k / 1024 }') $bc"
}

"$CLI" migrate --export-tinshift "$WORK/model.json" -q

BORDER="389700,39800 388400,45400 402700,46700 399400,51200 410100,50100 413800,55500 405000,67900 389200,76400
392000,94900 384500,93000 380900,97400 394900,116500 377200,120000 374000,129100 398500,146600 400200,154100
434400,144800 454300,144600 464500,137800 483400,151600 488700,162500 504700,167700 535500,164100 548700,175400
564900,176500 577900,170700 574100,187300 583400,192000 601000,189800 600400,179100 607400,173000 605300,166400
616300,152500 602900,157200 594800,151200 598600,138100 581400,138100 580100,130300 548000,117100 545600,108400
554000,99800 552500,78200 534900,75100 519900,64900 529200,55600 521000,51400 528400,38100 525300,34700 511000,32200
494100,41600 484200,36200 474100,43900 467400,58800 451000,37700 429000,37500 419800,42100 420600,37800 413200,32100"
BORDER=${BORDER//$'\n'/ }

printf "%-9s %-30s %9s %9s %7s %10s %10s %9s %9s %9s\n" points "run (kolmo-cli | PROJ)" "kolmo s" "PROJ s" ratio \
    "kolmo MB" "PROJ MB" "kolmo cpu" "PROJ cpu" "cpu ratio"
for n in $SIZES; do
    # Inside the national border, generalised to 3 km (easting,northing), so
    # that every point lies in kolmo-cli's valid area (10 km around it).
    awk -v n="$n" -v gk="$WORK/gk.pod" -v en="$WORK/gk.en" -v border="$BORDER" 'BEGIN {
        srand(15);
        m = split(border, v, " ");
        for (k = 1; k <= m; k++) { split(v[k], c, ","); be[k] = c[1]; bn[k] = c[2] }
        for (i = 1; i <= n; i++) {
            do {
                x = 30000 + rand() * 165000; y = 370000 + rand() * 240000;
                inside = 0;
                j = m;
                for (k = 1; k <= m; k++) {
                    if ((bn[k] > x) != (bn[j] > x) && y < be[k] + (x - bn[k]) * (be[j] - be[k]) / (bn[j] - bn[k]))
                        inside = !inside;
                    j = k;
                }
            } while (!inside);
            h = 100 + rand() * 1500;
            printf "P%07d %.4f %.4f %.4f\n", i, x, y, h > gk;
            printf "%.4f %.4f %.4f\n", y, x, h > en;
        }
    }'
    read -r ks km kc < <(best "$KOLMO_RUNS" "$WORK/k.out" "$CLI" migrate -q --in "$WORK/gk.pod" --out "$WORK/tm.pod")
    read -r ps pm pc < <(best "$PROJ_RUNS" "$WORK/cct.out" cct -d 3 +proj=tinshift +file="$WORK/model.json" "$WORK/gk.en")
    printf "%-9s %-30s %9s %9s %7s %10s %10s %9s %9s %9s\n" "$n" "migrate | cct +proj=tinshift" "$ks" "$ps" \
        "$(awk -v a="$ks" -v b="$ps" 'BEGIN { printf "%.3f", a / b }')" "$km" "$pm" "$kc" "$pc" \
        "$(awk -v a="$kc" -v b="$pc" 'BEGIN { printf "%.3f", a / b }')"
    # The same points: the first transformed point of both.
    read -r _ kx ky _ < <(head -1 "$WORK/tm.pod")
    read -r cy cx _ < <(head -1 "$WORK/cct.out")
    echo "          first point: kolmo-cli $kx $ky | cct $cx $cy"
done
