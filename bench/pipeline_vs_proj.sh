#!/usr/bin/env bash
# Kolmo at scale against PROJ doing the same work on the same points, each
# measured with GNU time (wall clock, peak resident memory), best of three runs:
#
#  - kolmo-cli transform --mode coords, 3r7 D48/GK -> D96/TM with the national
#    set EPSG 8689, writing its report and the points as CSV (--out), against
#    cct running the same transformation (the PROJ pipeline kolmo-cli writes
#    with --params-json: inverse TM on Bessel, Cartesian, coordinate-frame
#    Helmert with the exact rotation, back to GRS-80, TM);
#  - kolmo-cli convert, D96 latitude, longitude, ellipsoidal height -> D96/TM,
#    against cs2cs.
#
# Points over the whole country (fixed seed), generated here for every size.
#
# usage: bench/pipeline_vs_proj.sh [path/to/kolmo-cli] [sizes...]
#        (default: build/kolmo-cli, 100000 1000000)
set -euo pipefail

CLI=${1:-build/kolmo-cli}
shift || true
SIZES=${*:-100000 1000000}
TIME=/usr/bin/time
RUNS=3
WORK=$(mktemp -d /tmp/kolmo-bench.XXXXXX)
trap 'rm -rf "$WORK"' EXIT
for tool in "$CLI" cct cs2cs "$TIME" awk; do
    command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 2; }
done

BESSEL="+a=6377397.155 +rf=299.1528128533"
GRS80="+a=6378137 +rf=298.2572221"
ZONE="+proj=tmerc +lat_0=0 +lon_0=15 +k=0.9999 +x_0=500000 +y_0=-5000000"
# The EPSG 8689 set as kolmo-cli's parameter database holds it (direction 2).
HELMERT="+proj=helmert +x=476.08 +y=125.947 +z=417.81 +rx=-4.610862 +ry=-2.388137 +rz=11.942335 +s=9.896638"
PIPELINE="+proj=pipeline +step +inv $ZONE $BESSEL +step +proj=cart $BESSEL +step $HELMERT"
PIPELINE="$PIPELINE +convention=coordinate_frame +exact +step +inv +proj=cart $GRS80 +step $ZONE $GRS80"

# best LABEL COMMAND...: runs the command RUNS times; prints "seconds peak_MB"
# of the fastest run and the largest peak.
best() {
    local out=$1; shift
    local s m bs="" bm=0
    for _ in $(seq $RUNS); do
        "$TIME" -f "%e %M" -o "$WORK/t" "$@" >"$out"
        read -r s m <"$WORK/t"
        if [ -z "$bs" ] || awk -v a="$s" -v b="$bs" 'BEGIN { exit !(a < b) }'; then bs=$s; fi
        [ "$m" -gt "$bm" ] && bm=$m
    done
    echo "$bs $(awk -v k="$bm" 'BEGIN { printf "%.1f", k / 1024 }')"
}

printf "%-9s %-34s %9s %9s %7s %10s %10s\n" points "run (kolmo-cli | PROJ)" "kolmo s" "PROJ s" ratio "kolmo MB" "PROJ MB"
for n in $SIZES; do
    awk -v n="$n" -v gk="$WORK/gk.pod" -v en="$WORK/gk.en" -v ll="$WORK/ll.pod" -v lo="$WORK/ll.txt" 'BEGIN {
        srand(48);
        for (i = 1; i <= n; i++) {
            x = 35000 + rand() * 155000; y = 380000 + rand() * 230000; h = 100 + rand() * 1500;
            printf "P%07d %.4f %.4f %.4f\n", i, x, y, h > gk;
            printf "%.4f %.4f %.4f\n", y, x, h > en;
            fi = 45.45 + rand() * 1.40; la = 13.40 + rand() * 3.15; h = 100 + rand() * 1900;
            printf "P%07d %.9f %.9f %.4f\n", i, fi, la, h > ll;
            printf "%.9f %.9f %.4f\n", la, fi, h > lo;
        }
    }'
    read -r ks km < <(best "$WORK/k.out" "$CLI" transform --type 3r7 --mode coords --start "$WORK/gk.pod" \
        --start-type gk --end-type tm --out-type tm --params "EPSG 8689 D48-D96 (12) Slovenija 2010" \
        --report "$WORK/coords.str" --out "$WORK/coords.csv")
    # shellcheck disable=SC2086
    read -r ps pm < <(best "$WORK/cct.out" cct -d 3 $PIPELINE "$WORK/gk.en")
    printf "%-9s %-34s %9s %9s %7s %10s %10s\n" "$n" "transform --mode coords | cct" "$ks" "$ps" \
        "$(awk -v a="$ks" -v b="$ps" 'BEGIN { printf "%.2f", a / b }')" "$km" "$pm"
    # The same points: the first transformed point of both.
    read -r _ kx ky _ < <(sed -n 2p "$WORK/coords.csv" | tr , ' ')
    read -r cy cx _ < <(head -1 "$WORK/cct.out")
    echo "          first point: kolmo-cli $kx $ky | cct $cx $cy" >&2

    read -r ks km < <(best "$WORK/k.out" "$CLI" convert --in "$WORK/ll.pod" --out "$WORK/conv.txt" \
        --in-type ell --ellipsoid grs80 --out-type plane-xy --heights ellipsoidal)
    # shellcheck disable=SC2086
    read -r ps pm < <(best "$WORK/cs2cs.out" cs2cs -f %.3f +proj=longlat $GRS80 +to $ZONE $GRS80 "$WORK/ll.txt")
    printf "%-9s %-34s %9s %9s %7s %10s %10s\n" "$n" "convert | cs2cs" "$ks" "$ps" \
        "$(awk -v a="$ks" -v b="$ps" 'BEGIN { printf "%.2f", a / b }')" "$km" "$pm"
    read -r _ kx ky _ < <(head -1 "$WORK/conv.txt")
    read -r cy cx _ < <(head -1 "$WORK/cs2cs.out")
    echo "          first point: kolmo-cli $kx $ky | cs2cs $cx $cy" >&2
done
