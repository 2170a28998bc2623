#!/usr/bin/env bash
# Spreads one picture's tiles, or one film's parts, over machines with GNU
# parallel, gathers the results and joins them. The machines need
# halvane-render (and, for films, ffmpeg) and ssh access without a password;
# GNU parallel copies the files the options read there and the results back
# (with rsync), and removes both on the machines afterwards.
#
# usage: halvane-parallel.sh [--sshloginfile FILE] [--jobs N] [--file F]...
#                            [--render PROGRAM] [--workdir DIR] tiles N PICTURE -- OPTIONS...
#        halvane-parallel.sh [...] frames N FILM -- OPTIONS...
#
#   tiles N PICTURE   the picture of OPTIONS in N tiles (halvane-render --tile I/N),
#                     joined with --join-tiles into PICTURE (a .tif, .tiff or .png)
#   frames N FILM     the film of OPTIONS (--zoom-to/--frames or --keyframes) in N
#                     parts (--part I/N --video), joined with --join-video into FILM
#   --sshloginfile F  the machines, as GNU parallel reads them ("4/user@host", one a
#                     line); without it every job runs on this machine
#   --jobs N          jobs at once on each machine (default: one per core)
#   --file F          a file the options read (--params, the --keyframes list and its
#                     keys), given relative to the current folder; repeat for each
#   --render PROGRAM  halvane-render on the machines (default: halvane-render)
#   --workdir DIR     the jobs' folder on the machines (default: GNU parallel's "...",
#                     a folder of each job's own under ~/.parallel/tmp)
#
# Example: a poster in 16 tiles over the hosts in hosts.txt
#   scripts/halvane-parallel.sh --sshloginfile hosts.txt --file poster.vtx \
#       tiles 16 poster.tif -- --params poster.vtx --size 20000x15000 --supersample 4
set -euo pipefail

usage() {
  sed -n '8,24p' "$0" | sed 's/^# \{0,1\}//' >&2
  exit 2
}

sshloginfile=""
jobs=""
render="halvane-render"
workdir="..."
files=()
while [ $# -gt 0 ]; do
  case "$1" in
    --sshloginfile) sshloginfile=$2; shift 2 ;;
    --jobs) jobs=$2; shift 2 ;;
    --file) files+=("$2"); shift 2 ;;
    --render) render=$2; shift 2 ;;
    --workdir) workdir=$2; shift 2 ;;
    tiles|frames) break ;;
    *) usage ;;
  esac
done
[ $# -ge 4 ] && [ "$4" = "--" ] || usage
kind=$1
count=$2
target=$3
shift 4
options=("$@")
[[ "$count" =~ ^[1-9][0-9]*$ ]] || usage
command -v parallel >/dev/null || { echo "halvane-parallel: needs GNU parallel (Debian package \"parallel\")" >&2; exit 1; }
# The joining runs here, with the halvane-render beside this script when there is one.
here=$(dirname "$0")
joiner=${HALVANE_RENDER:-halvane-render}
[ -x "$here/../build/bin/halvane-render" ] && [ -z "${HALVANE_RENDER:-}" ] && joiner="$here/../build/bin/halvane-render"

# The results gather in a folder of their own in the current folder (the
# same relative place in each job's working folder on the machines).
parts=$(mktemp -d .halvane-parts.XXXXXX)
trap 'rm -rf "$parts"' EXIT
partsName=$parts

case "$kind" in
  tiles)
    result="$partsName/tile-{}.${target##*.}"
    job=(--tile "{}/$count" --output "$result")
    ;;
  frames)
    result="$partsName/part-{}.${target##*.}"
    job=(--part "{}/$count" --video "$result")
    ;;
esac

# The command each job runs, quoted for the shell on the machine it runs on.
quoted=$(printf '%q ' "$render" --quiet "${options[@]}")
command="mkdir -p $(printf '%q' "$partsName") && $quoted$(printf '%q ' "${job[@]}")"
# printf %q quotes the braces too; the job number goes in unquoted.
command=${command//\\\{\\\}/\{\}}

runner=(parallel --will-cite --halt now,fail=1)
[ -n "$jobs" ] && runner+=(--jobs "$jobs")
if [ -n "$sshloginfile" ]; then
  runner+=(--sshloginfile "$sshloginfile" --workdir "$workdir" --return "$result" --cleanup)
  for f in "${files[@]}"; do runner+=(--transferfile "$f"); done
fi
seq 1 "$count" | "${runner[@]}" "$command"

case "$kind" in
  tiles) "$joiner" --quiet --join-tiles "$target" "$parts"/tile-* ;;
  frames) "$joiner" --join-video "$target" "$parts"/part-* ;;
esac
