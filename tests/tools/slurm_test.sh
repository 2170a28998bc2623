#!/usr/bin/env bash
# The Slurm recipe without Slurm: scripts/halvane-slurm.sh is checked by
# bash, its array tasks and its join are run with the variables Slurm would
# set, and its submission goes to a stand-in sbatch that records the calls.
# The joined picture and film must equal those made in one run.
# usage: slurm_test.sh HALVANE_RENDER SCRIPTS_FOLDER
set -euo pipefail
render=$1
script=$2/halvane-slurm.sh
export HALVANE_RENDER=$render
place=$(mktemp -d /tmp/halvane-slurm-test.XXXXXX)
trap 'rm -rf "$place"' EXIT
cd "$place"
fail() { echo "FAILED: $*"; exit 1; }

bash -n "$script" || fail "bash -n"

options=(--size 64x48 --julia -0.7,0.3 --maxit 80 --supersample 2)
"$render" --quiet "${options[@]}" --output whole.png
"$render" --quiet "${options[@]}" --zoom-to 4 --frames 5 --crf 0 --video one.mkv
for i in 1 2 3; do
  SLURM_ARRAY_TASK_ID=$i SLURM_ARRAY_TASK_COUNT=3 SLURM_CPUS_PER_TASK=2 bash "$script" tiles 3 poster.png -- "${options[@]}"
  SLURM_ARRAY_TASK_ID=$i SLURM_ARRAY_TASK_COUNT=3 bash "$script" frames 3 film.mkv -- "${options[@]}" \
    --zoom-to 4 --frames 5 --crf 0
done
[ "$(ls poster.png.parts)" = "$(printf 'tile-1.png\ntile-2.png\ntile-3.png')" ] || fail "the tasks' tiles: $(ls poster.png.parts)"
HALVANE_SLURM_JOIN=1 bash "$script" tiles 3 poster.png -- "${options[@]}"
HALVANE_SLURM_JOIN=1 bash "$script" frames 3 film.mkv -- "${options[@]}" --zoom-to 4 --frames 5 --crf 0
cmp -s whole.png poster.png || fail "the joined tiles differ from the picture made in one run"
[ ! -e poster.png.parts ] && [ ! -e film.mkv.parts ] || fail "the parts were left behind"
decoded() { ffmpeg -v error -i "$1" -f framemd5 - | grep -v '^#' | cut -d, -f6; }
[ "$(decoded film.mkv | wc -l)" = 5 ] || fail "the joined film has $(decoded film.mkv | wc -l) frames, not 5"
[ "$(decoded film.mkv)" = "$(decoded one.mkv)" ] || fail "the joined film's frames differ from one run's"

# Submitting: the array of N tasks, then a join that waits for it.
mkdir bin
cat > bin/sbatch <<'STUB'
#!/usr/bin/env bash
printf '%s\n' "$*" >> "$SBATCH_LOG"
echo "4242;cluster"
STUB
chmod +x bin/sbatch
export SBATCH_LOG=$place/sbatch.log
PATH=$place/bin:$PATH SBATCH_OPTIONS="--partition=fast" bash "$script" tiles 8 big.tif -- --params a.vtx --size 40000x30000 \
  > submitted.txt
expected="--parsable --partition=fast --array=1-8 $script tiles 8 big.tif -- --params a.vtx --size 40000x30000
--parsable --partition=fast --dependency=afterok:4242 --job-name=halvane-join --export=ALL,HALVANE_SLURM_JOIN=1 $script tiles 8 big.tif -- --params a.vtx --size 40000x30000"
[ "$(cat sbatch.log)" = "$expected" ] || fail "the sbatch calls: $(cat sbatch.log)"
grep -q "array job 4242 (8 tasks)" submitted.txt || fail "the submission says: $(cat submitted.txt)"
echo PASSED
