#!/usr/bin/env bash
# The national migration at scale against PROJ applying the same model to the
# same points, each measured with GNU time (wall clock, peak resident memory):
#
#  - kolmo-cli migrate, D48/GK -> D96/TM with the triangle-based model of the
#    GURS tie points v4.0, a point file in and out;
#  - cct +proj=tinshift with the model kolmo-cli exports (--export-tinshift).
#
# Points over the whole country (fixed seed), generated here for every size.
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

printf "%-9s %-30s %9s %9s %7s %10s %10s %9s %9s %9s\n" points "run (kolmo-cli | PROJ)" "kolmo s" "PROJ s" ratio \
    "kolmo MB" "PROJ MB" "kolmo cpu" "PROJ cpu" "cpu ratio"
for n in $SIZES; do
    awk -v n="$n" -v gk="$WORK/gk.pod" -v en="$WORK/gk.en" 'BEGIN {
        srand(15);
        for (i = 1; i <= n; i++) {
            x = 35000 + rand() * 155000; y = 380000 + rand() * 230000; h = 100 + rand() * 1500;
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
