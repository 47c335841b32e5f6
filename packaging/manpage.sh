#!/usr/bin/env bash
# Writes the gzipped manual page of one of Kolmo's programs from its own
# --help, with help2man:
#
#   manpage.sh PROGRAM SUMMARY INCLUDE OUTPUT.1.gz
#
# INCLUDE is help2man's include file with what --help does not say (files,
# environment, see also).  For a program with subcommands (kolmo-cli) the
# --help of every subcommand, at any depth, goes into a section COMMANDS, so
# the page follows the program as commands are added or changed.
set -euo pipefail
program=$1 summary=$2 include=$3 output=$4
name=$(basename "$program")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The subcommands a --help lists (CLI11: the first word of each entry under
# "Subcommands:").
subcommands() {
  awk '/^[A-Z][A-Za-z ]*:$/ { inside = ($0 == "Subcommands:"); next }
       inside && /^  [^ ]/ { print $1 }'
}

# One --help as roff: a subsection headed by the command, its description,
# the usage line and every entry of its lists; the exit-status footer that
# each command repeats is left to the main description.
roff() {
  awk -v cmd="$1" '
    function esc(s) { gsub(/\\/, "\\e", s); gsub(/-/, "\\-", s); return s }
    function line(s) { s = esc(s); if (s ~ /^[.'"'"']/) s = "\\&" s; print s }
    # CLI11 writes an entry as its name (and value type) padded to 28
    # columns, then the description; a longer name has it on the next line.
    function entry(s,   name, desc, at, type) {
      name = s; desc = ""
      if (length(s) > 28 && substr(s, 28, 1) == " ") { name = substr(s, 1, 27); desc = substr(s, 29) }
      sub(/ +$/, "", name); sub(/^ +/, "", desc)
      at = index(name, " ")
      type = ""
      if (at) { type = substr(name, at + 1); name = substr(name, 1, at - 1) }
      print ".TP"
      if (type != "") print "\\fB" esc(name) "\\fR \\fI" esc(type) "\\fR"
      else print "\\fB" esc(name) "\\fR"
      if (desc != "") line(desc)
    }
    NR == 1 { print ".SS \"" esc(cmd) "\""; if ($0 !~ /^Usage: /) { line($0); next } }
    /^Usage: / { print ".PP"; print "Usage: \\fB" esc(cmd) "\\fR" esc(substr($0, length("Usage: " cmd) + 1)); next }
    /^Exit status:/ { exit }
    /^[A-Z][A-Za-z ]*:$/ { print ".PP"; print "\\fI" $0 "\\fR"; next }
    /^  [^ ]/ { entry(substr($0, 3)); next }
    /^ +[^ ]/ { s = $0; sub(/^ +/, "", s); line(s); next }
  '
}

# Every command below the program, depth first, in the order --help lists them.
walk() {
  local help sub
  help=$("$program" "$@" --help)
  if [ $# -gt 0 ]; then
    printf '%s\n' "$help" | roff "$name $*"
  fi
  for sub in $(printf '%s\n' "$help" | subcommands); do
    walk "$@" "$sub"
  done
}

includes=(--include "$include")
if "$program" --help | subcommands | grep -q .; then
  {
    echo "[COMMANDS]"
    walk
  } >"$work/commands.h2m"
  includes+=(--include "$work/commands.h2m")
fi
help2man --no-info --section 1 --name "$summary" --source "Kolmo 3.00" --version-string 3.00 \
  "${includes[@]}" --output "$work/$name.1" "$program"
gzip -9n <"$work/$name.1" >"$output.tmp"
mv "$output.tmp" "$output"
