#!/usr/bin/env bash
# Builds the Debian package kolmo_3.00-1_amd64.deb into the repository's top
# folder, for `sudo apt install ./kolmo_3.00-1_amd64.deb`:
#
#   bash scripts/package.sh [BUILD-FOLDER]
#
# BUILD-FOLDER is a release build to package (scripts/test.sh passes build/);
# by default build-deb/, configured here as a release build without tests and
# benchmarks.  Only what the package holds is built.  The package is CPack's
# (packaging/debian.cmake); a warning from CPack or dpkg-shlibdeps fails the
# script, and where lintian is installed its findings are shown.
set -euo pipefail
cd "$(dirname "$0")/.."
umask 022
bash scripts/install-deps.sh
# ccache keys on paths relative to the clone, so every clone shares its cache.
export CCACHE_BASEDIR="$PWD"
build=${1:-build-deb}
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKOLMO_TESTS=OFF -DKOLMO_BENCH=OFF
fi
if ! grep -q '^CMAKE_BUILD_TYPE:STRING=Release$' "$build/CMakeCache.txt" ||
   grep -q '^KOLMO_SANITIZE:BOOL=ON$' "$build/CMakeCache.txt"; then
  echo "package.sh: $build is not a plain release build" >&2
  exit 1
fi
cmake --build "$build" -j "$(nproc)" --target kolmo_package_files
for made in kolmo kolmo-cli man/kolmo.1.gz man/kolmo-cli.1.gz; do
  if [ ! -e "$build/$made" ]; then
    echo "package.sh: $build/$made was not built (Qt 6 and help2man are needed)" >&2
    exit 1
  fi
done

deb=kolmo_3.00-1_amd64.deb
rm -f "$build/$deb"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
(cd "$build" && cpack -G DEB) >"$log" 2>&1 || { cat "$log"; exit 1; }
cat "$log"
if grep -qi 'warn' "$log"; then
  echo "package.sh: the package was built with warnings" >&2
  exit 1
fi
cp "$build/$deb" "$deb"
if command -v lintian >/dev/null; then
  lintian --tag-display-limit 0 "$deb" || true
fi
echo "Built $deb:"
dpkg-deb --field "$deb"
echo "Install it with: sudo apt install ./$deb"
