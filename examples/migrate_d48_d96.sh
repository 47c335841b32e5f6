#!/usr/bin/env bash
# Moves every D48/GK point file (*.pod) of a folder into D96/TM with the
# national triangle-based model of GURS (kolmo-cli migrate), and writes beside
# each file <name>.csv (the moved points: name,x,y,H, millimetres, x the
# northing).  Copy it and change the settings below to suit your data.
#
# usage: migrate_d48_d96.sh FOLDER [PARAMETER SET]
#
#   FOLDER          the folder whose *.pod files are moved (not its subfolders)
#   PARAMETER SET   instead of the national model, the name of a D48 -> D96
#                   seven-parameter set of the database t7.par (e.g. the
#                   national set "EPSG 8689 D48-D96 (12) Slovenija 2010");
#                   each file then also gets its report <name>.str
#
# The national model follows the distortions of the old network and is the
# one for official data; a seven-parameter set is one similarity for the
# whole country (EPSG 8689 differs from the model by up to 1.24 m).  A set is
# right for data that was made with it, to go back the way it came or to
# compare, and for a local set estimated from the common points of one
# project (kolmo-cli transform --save-params).
#
# Environment:
#   KOLMO_CLI       the kolmo-cli to run (default: kolmo-cli on the PATH, else
#                   the one built in ../build beside this script)
#   KOLMO_DATA_DIR  the program folder with the model, t7.par and the geoid
#                   models (default: the program's data folder)
#
# Heights: the third column of a D48 file is carried over unchanged (plane
# coordinates in and out); kolmo-cli migrate --heights svs2000-to-svs2010
# moves them into the new height system.
#
# Exit status: 0 every file done; 3 every file done, some with warnings
# (kolmo-cli said "Opozorilo"); 1 a file failed (its .csv is not written; the
# other files are still done); 2 a usage error.  Each file's result is listed
# on standard output, kolmo-cli's messages go to standard error.
set -u

folder=${1:-}
parameters=${2:-}
if [ -z "$folder" ] || [ $# -gt 2 ]; then
    echo "usage: $0 FOLDER [PARAMETER SET]" >&2
    exit 2
fi
if [ ! -d "$folder" ]; then
    echo "$0: $folder is not a folder" >&2
    exit 2
fi

cli=${KOLMO_CLI:-}
if [ -z "$cli" ]; then
    if command -v kolmo-cli >/dev/null 2>&1; then
        cli=kolmo-cli
    else
        cli="$(cd "$(dirname "$0")" && pwd)/../build/kolmo-cli"
    fi
fi
if ! command -v "$cli" >/dev/null 2>&1; then
    echo "$0: kolmo-cli not found ($cli); set KOLMO_CLI" >&2
    exit 2
fi
data=()
if [ -n "${KOLMO_DATA_DIR:-}" ]; then
    data=(--data-dir "$KOLMO_DATA_DIR")
fi

shopt -s nullglob
files=("$folder"/*.pod)
if [ ${#files[@]} -eq 0 ]; then
    echo "$0: no *.pod file in $folder" >&2
    exit 2
fi

done_files=0 warned=0 failed=0
for pod in "${files[@]}"; do
    base=${pod%.pod}
    if [ -z "$parameters" ]; then
        "$cli" migrate "${data[@]}" --in "$pod" --out "$base.csv" -q
    else
        "$cli" transform "${data[@]}" --type 3r7 --mode coords \
            --start "$pod" --start-type gk --end-type tm --out-type tm \
            --params "$parameters" --report "$base.str" --out "$base.csv" >/dev/null
    fi
    status=$?
    case $status in
    0) echo "done     $pod -> $base.csv"; done_files=$((done_files + 1)) ;;
    3) echo "warnings $pod -> $base.csv (see the messages above)"; warned=$((warned + 1)) ;;
    *) echo "FAILED   $pod (kolmo-cli exit status $status)"; failed=$((failed + 1)) ;;
    esac
done

echo "$((done_files + warned)) of ${#files[@]} file(s) transformed, $warned with warnings, $failed failed"
if [ $failed -gt 0 ]; then
    exit 1
elif [ $warned -gt 0 ]; then
    exit 3
fi
exit 0
