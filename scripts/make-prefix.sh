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
if [ -f "$prefix/.ombrelo-ready-3" ]; then exit 0; fi
wineboot -i </dev/null >/dev/null 2>&1 || true
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
wine regedit /S "$(winepath -w "$reg_file" 2>/dev/null)" >/dev/null 2>&1
rm -f "$reg_file"
wineserver -w || true
touch "$prefix/.ombrelo-ready-3"
