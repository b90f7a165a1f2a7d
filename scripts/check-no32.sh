#!/usr/bin/env bash
# The project's commands on a machine whose kernel runs no 32-bit programs:
# the installer package tests and the demo, with Wine's 32-bit loader truly
# out of reach. Where this machine runs 32-bit programs they run in a
# private mount namespace in which the 32-bit loader cannot be executed
# (ombrelo_without_32bit in lib.sh); where it cannot make one, the check is
# skipped, loudly. On a machine without 32-bit support the package tests
# already ran for real in the test run, and only the demo runs here.
# scripts/test.sh calls this at the end of a full run; alone it needs the
# 64-bit build's package tests built (bash scripts/test.sh -R package_).
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

if [ "${1:-}" != --inside ]; then
  if ombrelo_runs_32bit; then
    echo "== Without 32-bit support: the 32-bit loader made unrunnable in a private mount namespace"
    packages=1
  else
    echo "== Without 32-bit support (this machine runs no 32-bit programs)"
    packages=0
  fi
  status=0
  ombrelo_without_32bit bash "${BASH_SOURCE[0]}" --inside "$packages" || status=$?
  if [ $status -eq 77 ]; then
    echo "WARNING: the check without 32-bit support was SKIPPED on this machine." >&2
    exit 0
  fi
  exit $status
fi

ombrelo_runs_32bit && { echo "the 32-bit loader still runs" >&2; exit 1; }
status=0
if [ "$2" = 1 ]; then
  ombrelo_step "the package tests without 32-bit support" "bash scripts/check-no32.sh"
  # The packages were built by the test run (package_build); built here only where missing.
  fixtures=(-FS packages)
  ls "$ROOT"/build/x86_64/package-tests/*/OmbreloShell-*-x64-user.msi >/dev/null 2>&1 || fixtures=()
  # A prefix of its own: one made without the 32-bit loader runs no 32-bit tests.
  OMBRELO_WINEPREFIX="$ROOT/build/wineprefix-no32" ombrelo_in_display ctest --test-dir "$ROOT/build/x86_64" --output-on-failure \
    -R '^package_(user|machine)$' "${fixtures[@]}" || status=1
fi

ombrelo_step "the demo without 32-bit support" "bash scripts/check-no32.sh"
# A demo folder of its own: its prefix is made without the 32-bit loader.
demo="$ROOT/build/demo-no32"
mkdir -p "$demo"
log="$demo/demo.log"
rm -f "$demo"/*.png
demo_status=0
OMBRELO_DEMO_DIR=$demo bash "$ROOT/scripts/demo.sh" >"$log" 2>&1 || demo_status=$?
shopt -s nullglob
pngs=("$demo"/*.png)
shots=${#pngs[@]}
menus=$(grep -c '"&Ombrelo" >' "$log" || true)
# Five right-clicks with screenshots, three of them with a printed
# "&Ombrelo" tree, "Copy name" invoked, and the Windows 11 menu.
if [ $demo_status -ne 0 ] || [ "$shots" -lt 5 ] || [ "$menus" -lt 3 ] ||
   ! grep -q 'InvokeCommand(offset 30 "Copy &name"): S_OK' "$log" || ! grep -q '^ *"Ombrelo" >' "$log"; then
  echo "FAIL: the demo without 32-bit support (exit $demo_status, $menus menus, $shots screenshots); its output:" >&2
  sed 's/^/  /' "$log" >&2
  status=1
else
  echo "The demo without 32-bit support: $menus menus printed, $shots screenshots (log: $log)"
fi
[ $status -eq 0 ] || echo "FAILED: the commands without 32-bit support; repeat with: bash scripts/check-no32.sh" >&2
exit $status
