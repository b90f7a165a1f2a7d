#!/usr/bin/env bash
# Makes the private Wine prefix once (idempotent, safe to call concurrently).
# The crash debugger is switched off, so a crashing program ends at once
# instead of starting winedbg and waiting for a person. Wine 8 switches its
# "Light" visual style on in a new prefix; the prefix runs without one (a
# classic display), and the tests of the themed menu switch Wine's style on
# for their own processes (menu_display_tests).
set -euo pipefail
prefix=${WINEPREFIX:?WINEPREFIX must be set}
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
fail() {
  echo "make-prefix: $1 ($prefix); repeat with: WINEPREFIX=$prefix bash $0" >&2
  [ -z "${2:-}" ] || echo "$2" | tail -n 20 | sed 's/^/  /' >&2
  exit 1
}
arm64=0
[ "${OMBRELO_WINE_ARCH:-}" != aarch64 ] || arm64=1
if [ -f "$prefix/.ombrelo-ready-3" ]; then
  # A prefix made without the 32-bit loader has no 32-bit system folder
  # (nor has an ARM64 one: arm64 Wine runs no x86 programs).
  if [ $arm64 = 0 ] && [ ! -d "$prefix/drive_c/windows/syswow64" ] && /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
    fail "this prefix was made without 32-bit support and runs no 32-bit programs: remove it (rm -rf $prefix) and run again"
  fi
  exit 0
fi
# Without 32-bit support Wine's tools go through its 64-bit loader, also
# when this script is run alone.
if [ $arm64 = 1 ]; then
  source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
  ombrelo_wine_aarch64_env
  # Making a prefix under qemu takes minutes: the first one made on this
  # machine is kept, and later ones are copies of it.
  template="$(ombrelo_cache_dir)/wineprefix-aarch64-template"
  # qemu looks every absolute path up in the arm64 root first, "/" too, so
  # Wine cannot name a host folder by drive Z:. Drive Y: is the highest
  # folder above the work tree that the arm64 root does not have.
  arm64_drive() {
    local arm64_root top dir
    arm64_root=$(ombrelo_arm64_root) top=$ROOT dir=$ROOT
    while [ "$dir" != / ] && [ ! -e "$arm64_root$dir" ]; do top=$dir dir=$(dirname "$dir"); done
    ln -sfn "$top" "$prefix/dosdevices/y:"
  }
  if [ -f "$template/.ombrelo-ready-3" ]; then
    rm -rf "$prefix"
    cp -a "$template" "$prefix"
    arm64_drive
    exit 0
  fi
elif ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
  ombrelo_wine_env
fi
out=$(wineboot -i </dev/null 2>&1) || fail "wineboot could not make the Wine prefix" "$out"
[ -d "$prefix/drive_c/windows/system32" ] || fail "wineboot left no Wine prefix" "$out"
[ $arm64 = 0 ] || arm64_drive
reg_file=$(mktemp --suffix=.reg)
cat >"$reg_file" <<'REG'
REGEDIT4

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\AeDebug]
"Debugger"=""
"Auto"="0"

[HKEY_LOCAL_MACHINE\Software\Wow6432Node\Microsoft\Windows NT\CurrentVersion\AeDebug]
"Debugger"=""
"Auto"="0"

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\ThemeManager]
"ThemeActive"="0"

; No window manager runs in the virtual display: Wine need not wait for one.
[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"
REG
reg_win=$(winepath -w "$reg_file" 2>/dev/null) || fail "winepath could not name the settings file"
out=$(wine regedit /S "$reg_win" 2>&1) || fail "regedit could not write the prefix's settings" "$out"
rm -f "$reg_file"
out=$(wine reg query 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog 2>&1) ||
  fail "the prefix's settings were not written (the crash dialog is still on)" "$out"
wineserver -w || true
touch "$prefix/.ombrelo-ready-3"
if [ $arm64 = 1 ]; then
  rm -rf "$template.tmp"
  cp -a "$prefix" "$template.tmp" && mv -T "$template.tmp" "$template" || rm -rf "$template.tmp"
fi
