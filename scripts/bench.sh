#!/usr/bin/env bash
# Builds the 32-bit extension and the benchmark, and runs the benchmark under
# Wine in a virtual X display with the private prefix. Prints the table and
# keeps it in build/bench/results.txt, with the same figures as JSON in
# build/bench/results.json. Installs what is missing first.
# Extra arguments go to the benchmark: --quick (fewer repetitions, 1,000
# right-clicks for the resources), --cycles N.
# It measures the 32-bit build; OMBRELO_BENCH_ARCH=x86_64 the 64-bit one,
# which is also taken where the machine cannot run 32-bit programs, and
# OMBRELO_BENCH_ARCH=aarch64 the ARM64 one in arm64 Wine under qemu: its
# times are emulated, so only the ratios within one run mean anything.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
ombrelo_install
arch=${OMBRELO_BENCH_ARCH:-$(ombrelo_default_archs | cut -d' ' -f1)}
ombrelo_build "$arch"
echo "Benchmark of the $arch build"
wine_arch=""
if [ "$arch" = aarch64 ]; then
  wine_arch=aarch64
  echo "(emulated by qemu: compare only the ratios within this run, never with another build's times)"
fi
out="$ROOT/build/bench"
mkdir -p "$out"
rm -f "$out/results.json" "$out/results.txt"
# The table goes to a file first: Wine's background processes inherit the
# standard handles and would hold a pipe open. Wine names the JSON file's
# folder (drive Z: here, another drive in arm64 Wine, which cannot reach the
# host's root).
status=0
OMBRELO_WINE_ARCH=$wine_arch ombrelo_in_display bash -c \
  'json=$(winepath -w "'"$out"'/results.json" 2>/dev/null) && "$@" --json "$json" >"'"$out"'/results.txt" 2>&1' bench \
  wine "$ROOT/build/$arch/bin/ombrelo_bench.exe" "$@" || status=$?
cat "$out/results.txt"
[ -f "$out/results.json" ] || { echo "no results.json written" >&2; exit 1; }
exit $status
