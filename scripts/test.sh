#!/usr/bin/env bash
# Builds the extension and its tests, 32-bit, 64-bit and ARM64, and runs
# them under Wine in a virtual X display (one 64-bit prefix runs both x86
# builds; the ARM64 build runs in Debian's arm64 Wine under qemu, in a
# prefix of its own; the installer package tests make fresh prefixes of
# their own). Installs what is missing first. Exits non-zero on any failure.
# OMBRELO_ARCHS chooses the builds (default "i686 x86_64 aarch64"); extra
# arguments go to ctest (for example -R lang). The ARM64 build and its
# prefix are made in the background, at low priority, while the x86 builds
# and tests run; the tests qemu cannot run are listed, with their reasons,
# before its run. Every step's time is printed.
# On a machine whose kernel cannot run 32-bit programs, Wine runs only
# 64-bit ones: every build is made, the 64-bit and ARM64 tests run (with a
# 64-bit stand-in main program) and the 32-bit tests are skipped, loudly.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
ombrelo_install
ombrelo_install_packaging
archs=${OMBRELO_ARCHS:-i686 x86_64 aarch64}
# ombrelo_timed WHAT CMD...: runs CMD and prints how long it took (the
# caller handles a failure; a build is timed inline, since set -e must stop it).
ombrelo_timed() {
  local what=$1 start=$SECONDS status=0
  shift
  "$@" || status=$?
  echo "== time: $what $((SECONDS - start)) s"
  return $status
}
# zig compiles slowly and arm64 Wine makes its prefix slowly, but both
# leave the x86 builds and tests their CPU when started at low priority
# beside them. The install step (apt, downloads) stays in the foreground.
background_pid="" background_log="$ROOT/build/aarch64-prepare.log"
if [[ " $archs " == *" aarch64 "* ]] && [ "$(echo $archs)" != aarch64 ]; then
  ombrelo_install_aarch64
  mkdir -p "$ROOT/build"
  echo "== aarch64: building and making its Wine prefix in the background (log: $background_log)"
  # Its own session, so that a failing run stops it with everything it
  # started. A new session is a new scheduling group of its own where the
  # kernel groups by session (autogroup): that group gets the low priority.
  setsid nice -n 10 bash -c 'echo 10 >/proc/self/autogroup 2>/dev/null || true
    source "$0/scripts/lib.sh"
    start=$SECONDS
    ombrelo_build aarch64
    echo "== time: build aarch64 $((SECONDS - start)) s"
    start=$SECONDS
    OMBRELO_WINE_ARCH=aarch64 OMBRELO_DISPLAY_FROM=150 ombrelo_in_display true
    echo "== time: prefix aarch64 $((SECONDS - start)) s"' "$ROOT" >"$background_log" 2>&1 &
  background_pid=$!
  trap '[ -z "$background_pid" ] || kill -- "-$background_pid" 2>/dev/null || true' EXIT
fi
for arch in $archs; do
  [ -z "$background_pid" ] || [ "$arch" != aarch64 ] || continue
  start=$SECONDS
  ombrelo_build "$arch"
  echo "== time: build $arch $((SECONDS - start)) s"
done
# ombrelo_wait_background: waits for the ARM64 build; on failure prints its
# log and returns non-zero.
ombrelo_wait_background() {
  [ -n "$background_pid" ] || return 0
  local start=$SECONDS status=0
  wait "$background_pid" || status=$?
  background_pid=""
  echo "== time: waiting for the ARM64 build $((SECONDS - start)) s"
  grep '^== time:' "$background_log" || true
  if [ $status -ne 0 ]; then
    echo "FAILED: the ARM64 build or its prefix (exit $status); its log, $background_log:" >&2
    tail -n 60 "$background_log" >&2
    echo "repeat it with: bash -c 'source scripts/lib.sh && ombrelo_build aarch64'" >&2
    return 1
  fi
}
if ! ombrelo_runs_32bit; then
  echo "WARNING: Wine runs no 32-bit programs here (the kernel's 32-bit emulation is off, or wine32 is missing);" \
    "the 32-bit tests are skipped, the 64-bit tests use a 64-bit stand-in main program." >&2
  archs=$(for a in $archs; do [ "$a" = i686 ] || printf '%s ' "$a"; done)
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
    ombrelo_wait_background || { status=1; failed+=("aarch64"); continue; }
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
