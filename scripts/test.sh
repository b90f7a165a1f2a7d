#!/usr/bin/env bash
# Builds the extension and its tests, 32-bit and 64-bit, and runs them under
# Wine in a virtual X display (one 64-bit prefix runs both; the installer
# package tests make fresh prefixes of their own). Installs what is missing
# first. Exits non-zero on any failure.
# OMBRELO_ARCHS chooses the builds (default "i686 x86_64"; add aarch64 for
# the ARM64 build); extra arguments go to ctest (for example -R lang). The
# ARM64 build's tests run in
# Debian's arm64 Wine under qemu (ombrelo_install_aarch64 makes it once per
# machine); the tests qemu cannot run are listed, with their reasons, before
# its run. Every step's time is printed.
# On a machine whose kernel cannot run 32-bit programs, Wine runs only
# 64-bit ones: both builds are made, the 64-bit tests run (with a 64-bit
# stand-in main program) and the 32-bit tests are skipped, loudly.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
ombrelo_install
ombrelo_install_packaging
# The ARM64 build and its emulated tests would take CI past its time budget
# on a fresh machine: run them with OMBRELO_ARCHS="i686 x86_64 aarch64".
archs=${OMBRELO_ARCHS:-i686 x86_64}
# ombrelo_timed WHAT CMD...: runs CMD and prints how long it took (the
# caller handles a failure; a build is timed inline, since set -e must stop it).
ombrelo_timed() {
  local what=$1 start=$SECONDS status=0
  shift
  "$@" || status=$?
  echo "== time: $what $((SECONDS - start)) s"
  return $status
}
for arch in $archs; do
  start=$SECONDS
  ombrelo_build "$arch"
  echo "== time: build $arch $((SECONDS - start)) s"
done
if ! ombrelo_runs_32bit; then
  echo "WARNING: this machine cannot run 32-bit programs (the kernel's 32-bit emulation is off);" \
    "the 32-bit tests are skipped, the 64-bit tests use a 64-bit stand-in main program." >&2
  archs=$(for a in $archs; do [ "$a" = i686 ] || echo "$a"; done)
fi
# One seed for the robustness tests of the whole run, named here too: a
# program ended by ctest's time bound prints nothing of its own.
export OMBRELO_SEED=${OMBRELO_SEED:-$(od -An -N4 -tu4 /dev/urandom | tr -d ' ')}
echo "robustness tests: seed $OMBRELO_SEED (repeat with OMBRELO_SEED=$OMBRELO_SEED)"
status=0 failed=()
for arch in $archs; do
  echo "== $arch"
  wine_arch=""
  if [ "$arch" = aarch64 ]; then
    wine_arch=aarch64
    if [ -s "$ROOT/build/aarch64/skipped-tests.txt" ]; then
      echo "WARNING: tests the ARM64 build does not run under qemu:" >&2
      sed 's/^/  SKIPPED /' "$ROOT/build/aarch64/skipped-tests.txt" >&2
    fi
  fi
  OMBRELO_WINE_ARCH=$wine_arch ombrelo_timed "tests $arch" ombrelo_in_display \
    ctest --test-dir "$ROOT/build/$arch" --output-on-failure "$@" || { status=1; failed+=("$arch"); }
done
# A full run also checks the package tests and the demo with Wine's 32-bit
# loader out of reach, as on a machine whose kernel runs no 32-bit programs.
if [ $# -eq 0 ] && [[ " $archs " == *" x86_64 "* ]]; then
  ombrelo_timed "without 32-bit support" bash "$ROOT/scripts/check-no32.sh" || { status=1; failed+=("without 32-bit support"); }
fi
for what in "${failed[@]}"; do
  case $what in
    i686|x86_64|aarch64) echo "FAILED: the $what tests; repeat them with: OMBRELO_ARCHS=$what bash scripts/test.sh${*:+ $*} (ctest -R NAME for one)" >&2 ;;
    *) echo "FAILED: the commands $what; repeat with: bash scripts/check-no32.sh" >&2 ;;
  esac
done
exit $status
