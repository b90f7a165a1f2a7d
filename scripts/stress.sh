#!/usr/bin/env bash
# The robustness suite in its long form: every robustness test program run
# with many times the rounds of the CI run, once per seed, and the
# 10,000-right-click resource loop once, for each build whose tests can run
# here. Installs what is missing first.
#
# Usage: scripts/stress.sh [SCALE] [SEEDS]
#   SCALE  rounds multiplier (default 10; the CI run uses 1)
#   SEEDS  number of runs, each with a fresh seed (default 2)
# OMBRELO_SEED=N repeats one run with seed N (a failing run prints its seed).
# OMBRELO_ARCHS chooses the builds (default "i686 x86_64", only x86_64 where
# the machine cannot run 32-bit programs).
# Every program run is bounded (OMBRELO_STRESS_BOUND seconds, by default
# 300 plus 60 per unit of scale); one that does not end in time is killed
# and reported as a hang with its seed.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
scale=${1:-10}
seeds=${2:-2}
bound=${OMBRELO_STRESS_BOUND:-$((300 + 60 * scale))}
archs=${OMBRELO_ARCHS:-$(ombrelo_default_archs)}
ombrelo_install
for arch in $archs; do ombrelo_build "$arch"; done

# The tests themselves name the seed they ran with; a fixed seed repeats.
seed_list=()
for ((i = 0; i < seeds; ++i)); do
  if [ -n "${OMBRELO_SEED:-}" ]; then seed_list+=("$OMBRELO_SEED"); break; fi
  seed_list+=("$(od -An -N4 -tu4 /dev/urandom | tr -d ' ')")
done

failed=()
# run ARCH PROGRAM SEED: one program of one build under its time bound.
run() {
  local arch=$1 program=$2 seed=$3 status=0
  local name="$arch/$(basename "$program" .exe) seed $seed"
  echo "== $name, scale $scale ($(date -u +%H:%M:%S))"
  OMBRELO_STRESS=$scale OMBRELO_SEED=$seed ombrelo_in_display \
    timeout --kill-after=30 "$bound" "$ROOT/build/$arch/wine-run.sh" "$program" || status=$?
  case $status in
    0) ;;
    124 | 137) failed+=("$name: HANG, no end within $bound s (repeat: OMBRELO_SEED=$seed OMBRELO_STRESS=$scale)") ;;
    *) failed+=("$name: exit status $status (repeat: OMBRELO_SEED=$seed OMBRELO_STRESS=$scale)") ;;
  esac
}

start=$(date +%s)
for arch in $archs; do
  for seed in "${seed_list[@]}"; do
    for program in "$ROOT/build/$arch/bin/"robust_*.exe; do
      run "$arch" "$program" "$seed"
    done
  done
  # The resource loop draws nothing from the seed: once per build.
  run "$arch" "$ROOT/build/$arch/bin/bench_resource_tests.exe" "${seed_list[0]}"
done
minutes=$((($(date +%s) - start + 59) / 60))

if [ ${#failed[@]} -gt 0 ]; then
  printf 'FAILED: %s\n' "${failed[@]}"
  exit 1
fi
echo "stress run passed: ${#seed_list[@]} seed(s) (${seed_list[*]}) x scale $scale on $archs in $minutes min"
