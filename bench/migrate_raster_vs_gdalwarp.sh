#!/usr/bin/env bash
# kolmo-cli migrate against gdalwarp with PROJ's tinshift of the same national
# model, on a 6000 x 6000 single-band GeoTIFF (Byte, 1 m pixels, tiled 256 x
# 256, LZW) in D48/GK, EPSG:3912, moved into D96/TM: Kolmo's exact warp
# (every pixel's source position from the model) against gdalwarp with its
# default error threshold (0.125 pixel, an interpolated approximation of the
# map) and with -et 0 (every pixel through PROJ).  All three write the same
# target grid with nearest-neighbour resampling; each run is measured with
# GNU time (wall clock, processor time, peak memory).
#
# usage: bench/migrate_raster_vs_gdalwarp.sh [path/to/kolmo-cli] [size in pixels] [tinshift.json]
set -euo pipefail

CLI=${1:-build/kolmo-cli}
SIZE=${2:-6000}
TIME=/usr/bin/time
WORK=$(mktemp -d /tmp/kolmo-bench.XXXXXX)
trap 'rm -rf "$WORK"' EXIT

for tool in "$CLI" gdalwarp gdal_translate gdalinfo python3 cmp "$TIME"; do
    command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 2; }
done
if [ -n "${3:-}" ]; then
    TIN=$3
else
    TIN=$WORK/model.json
    "$CLI" migrate --export-tinshift "$TIN" >/dev/null
fi

# A pattern of 6000 x 6000 bytes (a raw file and its VRT header), in central
# Slovenia (easting 455-461 km, northing 95-101 km), written as a tiled LZW
# GeoTIFF.
python3 - "$WORK/src.raw" "$SIZE" <<'EOF'
import sys
path, n = sys.argv[1], int(sys.argv[2])
row = bytes((x * 7 + (x // 13) * 29) % 251 + 1 for x in range(n + 251))
with open(path, "wb") as f:
    for y in range(n):
        s = (y * 11) % 251
        f.write(row[s:s + n])
EOF
cat >"$WORK/src.vrt" <<EOF
<VRTDataset rasterXSize="$SIZE" rasterYSize="$SIZE">
  <SRS>EPSG:3912</SRS>
  <GeoTransform>455000, 1, 0, 101000, 0, -1</GeoTransform>
  <VRTRasterBand dataType="Byte" band="1" subClass="VRTRawRasterBand">
    <SourceFilename relativetoVRT="1">src.raw</SourceFilename>
    <ImageOffset>0</ImageOffset><PixelOffset>1</PixelOffset><LineOffset>$SIZE</LineOffset>
  </VRTRasterBand>
</VRTDataset>
EOF
gdal_translate -q -co TILED=YES -co COMPRESS=LZW "$WORK/src.vrt" "$WORK/src.tif"
rm -f "$WORK/src.raw" "$WORK/src.vrt"

# Exit status 3: done with warnings (the pattern has no nodata value, so
# the edges of the moved grid are 0, as gdalwarp leaves them).
"$TIME" -v -o "$WORK/kolmo.time" "$CLI" migrate -q --in "$WORK/src.tif" --out "$WORK/kolmo.tif" 2>/dev/null ||
    [ $? -eq 3 ]
# The same target grid for gdalwarp: Kolmo's extent and size.
read -r XMIN YMIN XMAX YMAX W H < <(gdalinfo -json "$WORK/kolmo.tif" | python3 -c '
import json, sys
d = json.load(sys.stdin); g = d["geoTransform"]; w, h = d["size"]
print(g[0], g[3] + g[5] * h, g[0] + g[1] * w, g[3], w, h)')
GRID=(-te "$XMIN" "$YMIN" "$XMAX" "$YMAX" -ts "$W" "$H" -r near -co TILED=YES -co COMPRESS=LZW -q)
"$TIME" -v -o "$WORK/gdal.time" gdalwarp -ct "+proj=tinshift +file=$TIN" -s_srs EPSG:3912 -t_srs EPSG:3794 \
    "${GRID[@]}" "$WORK/src.tif" "$WORK/gdal.tif"
"$TIME" -v -o "$WORK/gdal0.time" gdalwarp -ct "+proj=tinshift +file=$TIN" -s_srs EPSG:3912 -t_srs EPSG:3794 \
    -et 0 "${GRID[@]}" "$WORK/src.tif" "$WORK/gdal0.tif"

seconds() { # wall clock "h:mm:ss" or "m:ss.ss" -> seconds
    awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, t, ":"); s = 0;
        for (i = 1; i <= n; i++) s = s * 60 + t[i]; print s }' "$1"
}
cpu() { awk -F': ' '/User time|System time/ { s += $2 } END { print s }' "$1"; }
rss() { awk -F': ' '/Maximum resident set size/ { printf "%.1f", $2 / 1024 }' "$1"; }
same() { # share of equal pixels of two rasters of the same grid, through raw bytes
    gdal_translate -q -of ENVI "$1" "$WORK/a.raw" && gdal_translate -q -of ENVI "$2" "$WORK/b.raw"
    local n diff
    n=$(stat -c %s "$WORK/a.raw")
    diff=$(cmp -l "$WORK/a.raw" "$WORK/b.raw" | wc -l || true)
    awk -v n="$n" -v d="$diff" 'BEGIN { printf "%.5f", (n - d) / n }'
    rm -f "$WORK"/a.raw* "$WORK"/b.raw* "$WORK"/a.hdr "$WORK"/b.hdr
}

echo "raster:            ${SIZE} x ${SIZE} Byte, target ${W} x ${H}"
echo "wall time (s):     kolmo-cli $(seconds "$WORK/kolmo.time") | gdalwarp $(seconds "$WORK/gdal.time") | gdalwarp -et 0 $(seconds "$WORK/gdal0.time")"
echo "cpu time (s):      kolmo-cli $(cpu "$WORK/kolmo.time") | gdalwarp $(cpu "$WORK/gdal.time") | gdalwarp -et 0 $(cpu "$WORK/gdal0.time")"
echo "peak memory (MB):  kolmo-cli $(rss "$WORK/kolmo.time") | gdalwarp $(rss "$WORK/gdal.time") | gdalwarp -et 0 $(rss "$WORK/gdal0.time")"
echo "equal pixels:      kolmo-cli vs gdalwarp -et 0: $(same "$WORK/kolmo.tif" "$WORK/gdal0.tif") | vs gdalwarp: $(same "$WORK/kolmo.tif" "$WORK/gdal.tif")"
