#!/usr/bin/env bash
# kolmo-cli migrate against ogr2ogr with PROJ's tinshift of the same national
# model, on a GeoPackage of 100 000 polygons (six vertices each, with an
# integer, a real and a string attribute) in D48/GK, EPSG:3912.  The model
# goes to PROJ as the triangulation file `kolmo-cli migrate --export-tinshift`
# writes (or the one given); both programs write a GeoPackage with its spatial
# index, and each run is measured with GNU time.
#
# usage: bench/migrate_gpkg_vs_ogr2ogr.sh [path/to/kolmo-cli] [number of polygons] [tinshift.json]
set -euo pipefail

CLI=${1:-build/kolmo-cli}
N=${2:-100000}
TIME=/usr/bin/time
WORK=$(mktemp -d /tmp/kolmo-bench.XXXXXX)
trap 'rm -rf "$WORK"' EXIT

for tool in "$CLI" ogr2ogr ogrinfo "$TIME"; do
    command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 2; }
done
if [ -n "${3:-}" ]; then
    TIN=$3
else
    TIN=$WORK/model.json
    "$CLI" migrate --export-tinshift "$TIN" >/dev/null
fi

# Parcels spread over central Slovenia (easting 440-540 km, northing
# 90-135 km), well inside the model, in a fixed random order.
awk -v n="$N" 'BEGIN {
    srand(1996);
    print "id,ime,povrsina,WKT";
    for (i = 1; i <= n; i++) {
        e = 440000 + rand() * 100000; s = 90000 + rand() * 45000;
        printf "%d,Parcela št. %d,%.2f,\"POLYGON ((%.2f %.2f,%.2f %.2f,%.2f %.2f,%.2f %.2f,%.2f %.2f,%.2f %.2f))\"\n",
            i, i, rand() * 1000, e, s, e + 20.5, s + 1.25, e + 22, s + 30.5, e + 5.5, s + 35, e - 2, s + 15, e, s;
    }
}' >"$WORK/parcele.csv"
ogr2ogr -a_srs EPSG:3912 -nln parcele -nlt POLYGON -oo AUTODETECT_TYPE=YES "$WORK/parcele.gpkg" "$WORK/parcele.csv"

"$TIME" -v -o "$WORK/kolmo.time" "$CLI" migrate -q --in "$WORK/parcele.gpkg" --out "$WORK/kolmo.gpkg"
"$TIME" -v -o "$WORK/ogr2ogr.time" ogr2ogr -ct "+proj=tinshift +file=$TIN" -t_srs EPSG:3794 \
    "$WORK/ogr2ogr.gpkg" "$WORK/parcele.gpkg"

seconds() { # wall clock "h:mm:ss" or "m:ss.ss" -> seconds
    awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, t, ":"); s = 0;
        for (i = 1; i <= n; i++) s = s * 60 + t[i]; print s }' "$1"
}
cpu() { awk -F': ' '/User time|System time/ { s += $2 } END { print s }' "$1"; }
rss() { awk -F': ' '/Maximum resident set size/ { printf "%.1f", $2 / 1024 }' "$1"; }
extent() { ogrinfo -so "$1" parcele | awk '/^Extent/ { $1 = ""; print }'; }

echo "polygons:          $N"
echo "extent:            kolmo-cli$(extent "$WORK/kolmo.gpkg") | ogr2ogr$(extent "$WORK/ogr2ogr.gpkg")"
ks=$(seconds "$WORK/kolmo.time"); os=$(seconds "$WORK/ogr2ogr.time")
echo "wall time (s):     kolmo-cli $ks | ogr2ogr $os"
echo "cpu time (s):      kolmo-cli $(cpu "$WORK/kolmo.time") | ogr2ogr $(cpu "$WORK/ogr2ogr.time")"
echo "peak memory (MB):  kolmo-cli $(rss "$WORK/kolmo.time") | ogr2ogr $(rss "$WORK/ogr2ogr.time")"
awk -v a="$ks" -v b="$os" 'BEGIN { printf "time ratio kolmo-cli / ogr2ogr: %.2f\n", (b > 0 ? a / b : 0) }'
