#!/usr/bin/env bash
# The robustness suite in its long form: every robustness test program run
# with many times the rounds of the CI run, and the 10,000-right-click
# resource loop, once per seed, for each build whose tests can run here.
# Installs what is missing first.
#
# Usage: scripts/stress.sh [SCALE] [SEEDS]
#   SCALE  rounds multiplier (default 20; the CI run uses 1)
#   SEEDS  number of runs, each with a fresh seed (default 3)
# OMBRELO_SEED=N repeats one run with seed N (a failing run prints its seed).
# OMBRELO_ARCHS chooses the builds (default "i686 x86_64", only x86_64 where
# the machine cannot run 32-bit programs).
# Each program gets a time bound of 60 minutes per run.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
scale=${1:-20}
seeds=${2:-3}
archs=${OMBRELO_ARCHS:-$(ombrelo_default_archs)}
ombrelo_install
for arch in $archs; do ombrelo_build "$arch"; done

# The tests themselves name the seed they ran with; a fixed seed repeats.
seed_list=()
for ((i = 0; i < seeds; ++i)); do
  if [ -n "${OMBRELO_SEED:-}" ]; then seed_list+=("$OMBRELO_SEED"); break; fi
  seed_list+=("$(od -An -N4 -tu4 /dev/urandom | tr -d ' ')")
done

export OMBRELO_STRESS=$scale
failed=()
for arch in $archs; do
  programs=("$ROOT/build/$arch/bin/"robust_*.exe "$ROOT/build/$arch/bin/bench_resource_tests.exe")
  for seed in "${seed_list[@]}"; do
    for program in "${programs[@]}"; do
      [ -f "$program" ] || continue
      name="$arch/$(basename "$program" .exe) seed $seed"
      echo "== $name, scale $scale"
      if ! OMBRELO_SEED=$seed ombrelo_in_display timeout 3600 "$ROOT/build/$arch/wine-run.sh" "$program"; then
        failed+=("$name")
      fi
    done
  done
done

if [ ${#failed[@]} -gt 0 ]; then
  printf 'FAILED: %s\n' "${failed[@]}"
  exit 1
fi
echo "stress run passed: ${#seed_list[@]} seed(s) x scale $scale on $archs"
