#!/usr/bin/env bash
#SBATCH --job-name=halvane
#SBATCH --output=halvane-%A_%a.log
#SBATCH --cpus-per-task=4
# One picture's tiles, or one film's parts, as a Slurm array job: task I of
# N computes tile (or part) I into a folder beside the target on the shared
# file system, and a job that waits for all of them joins the results.
#
# usage: halvane-slurm.sh tiles N PICTURE -- OPTIONS...   (submits both jobs)
#        halvane-slurm.sh frames N FILM -- OPTIONS...
#   tiles N PICTURE   the picture of OPTIONS in N tiles, joined into PICTURE (.tif, .tiff, .png)
#   frames N FILM     the film of OPTIONS (--zoom-to/--frames or --keyframes) in N parts,
#                     joined into FILM (.mp4, .mkv, .webm)
# Run it from the folder the options' files are relative to. HALVANE_RENDER names
# halvane-render (default: the one on the PATH); SBATCH_OPTIONS adds options to
# both sbatch calls (a partition, a time limit). Slurm runs this same file for
# each task (with SLURM_ARRAY_TASK_ID set) and for the join (HALVANE_SLURM_JOIN=1).
#
# Example: a poster in 16 tiles
#   scripts/halvane-slurm.sh tiles 16 poster.tif -- --params poster.vtx --size 40000x30000 --supersample 4
set -euo pipefail

usage() {
  sed -n '8,19p' "$0" | sed 's/^# \{0,1\}//' >&2
  exit 2
}

[ $# -ge 4 ] && [ "$4" = "--" ] || usage
kind=$1
count=$2
target=$3
shift 4
[[ "$kind" =~ ^(tiles|frames)$ ]] && [[ "$count" =~ ^[1-9][0-9]*$ ]] || usage
render=${HALVANE_RENDER:-halvane-render}
parts="$target.parts"
extension=${target##*.}

if [ -n "${SLURM_ARRAY_TASK_ID:-}" ]; then
  # One task of the array: tile or part I of N.
  index=$SLURM_ARRAY_TASK_ID
  threads=()
  [ -n "${SLURM_CPUS_PER_TASK:-}" ] && threads=(--threads "$SLURM_CPUS_PER_TASK")
  mkdir -p "$parts"
  if [ "$kind" = tiles ]; then
    exec "$render" --quiet "${threads[@]}" "$@" --tile "$index/$count" --output "$parts/tile-$index.$extension"
  else
    exec "$render" --quiet "${threads[@]}" "$@" --part "$index/$count" --video "$parts/part-$index.$extension"
  fi
elif [ -n "${HALVANE_SLURM_JOIN:-}" ]; then
  # Every task has finished: the results become one picture or film.
  if [ "$kind" = tiles ]; then
    "$render" --quiet --join-tiles "$target" "$parts"/tile-*."$extension"
  else
    "$render" --join-video "$target" "$parts"/part-*."$extension"
  fi
  rm -rf "$parts"
else
  # Submitting: the array job, then the join, which waits for every task.
  read -r -a extra <<< "${SBATCH_OPTIONS:-}"
  job=$(sbatch --parsable "${extra[@]}" --array="1-$count" "$0" "$kind" "$count" "$target" -- "$@")
  job=${job%%;*}
  sbatch --parsable "${extra[@]}" --dependency="afterok:$job" --job-name=halvane-join \
    --export=ALL,HALVANE_SLURM_JOIN=1 "$0" "$kind" "$count" "$target" -- "$@" >/dev/null
  echo "submitted array job $job ($count tasks) and its join"
fi
