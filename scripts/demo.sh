#!/usr/bin/env bash
# The demo: right-clicks files as Explorer does, with the real extension and
# the stand-in main program, prints each menu and writes screenshots of it.
#
#   scripts/demo.sh [--lang en|de] [--arch i686|x86_64|aarch64] [FILES...]
#
# --arch aarch64 shows the ARM64 build in Debian's arm64 Wine under qemu, as
# ARM64 Explorer loads it (its own prefix and screenshots: build/demo-aarch64).
# Without files it right-clicks the samples: a JPG, a PNG, a text file (with
# Ctrl held, as the default settings ask for text files) and all three at
# once; the JPG also as the Windows 11 menu shows it (--modern). Installs what is missing and builds first. Everything runs under Wine
# in a virtual display, in a Wine prefix of its own (build/demo/wineprefix);
# the screenshots go to build/demo/.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

# OMBRELO_DEMO_DIR: another folder for the prefix and the screenshots.
DEMO=${OMBRELO_DEMO_DIR:-$ROOT/build/demo}
CLSID="{67C63340-679B-11D2-92EE-000021474C15}"
MAIN_WINDOW_CLASS="TF_97F624E067B811D292EE000021474C15"

if [ "${1:-}" != "--in-display" ]; then
  lang=en arch=""
  files=()
  while [ $# -gt 0 ]; do
    case "$1" in
      --lang) lang=${2:?--lang needs en or de}; shift 2 ;;
      --arch) arch=${2:?--arch needs i686, x86_64 or aarch64}; shift 2 ;;
      -h|--help) sed -n '2,14p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'; exit 0 ;;
      *) [ -e "$1" ] || { echo "demo: no such file: $1" >&2; exit 1; }
         files+=("$(realpath "$1")"); shift ;;
    esac
  done
  case "$lang" in en|de) ;; *) echo "demo: --lang takes en or de" >&2; exit 1 ;; esac
  ombrelo_install
  # The 32-bit build, as 32-bit programs' file dialogs load it; where the
  # machine cannot run 32-bit programs, the 64-bit build, as 64-bit Explorer.
  # Only what the demo shows is built: the DLL, the host, the stand-in.
  wine_arch=""
  case "$arch" in
    "") arch=$(ombrelo_default_archs | cut -d' ' -f1)
        [ "$arch" = i686 ] || echo "(this machine runs no 32-bit programs: showing the 64-bit build)" ;;
    i686) ombrelo_runs_32bit || { echo "demo: this machine runs no 32-bit programs: --arch x86_64 or aarch64" >&2; exit 1; } ;;
    x86_64) ;;
    aarch64) wine_arch=aarch64 DEMO=${OMBRELO_DEMO_DIR:-$ROOT/build/demo-aarch64} ;;
    *) echo "demo: --arch takes i686, x86_64 or aarch64" >&2; exit 1 ;;
  esac
  ombrelo_build "$arch" OmbreloShell shellmenu-host OmbreloStandin
  export OMBRELO_DEMO_ARCH=$arch OMBRELO_DEMO_DIR=$DEMO
  mkdir -p "$DEMO"
  OMBRELO_WINE_ARCH=$wine_arch OMBRELO_WINEPREFIX="$DEMO/wineprefix" \
    ombrelo_in_display bash "${BASH_SOURCE[0]}" --in-display "$lang" "${files[@]}"
  exit
fi

# From here on: inside the virtual display, with the demo's prefix running.
lang=$2
shift 2
bin="$ROOT/build/${OMBRELO_DEMO_ARCH:-i686}/bin"
host="$bin/shellmenu-host.exe"

winpath() { winepath -w "$1" 2>/dev/null; }
quiet() { "$@" </dev/null >/dev/null 2>&1; }

echo "== Installing the extension into the Wine prefix"
ombrelo_step "installing the extension into the demo's Wine prefix" "bash scripts/demo.sh"
install_win='C:\Program Files\Ombrelo'
install_dir=$(winepath -u "$install_win" 2>/dev/null)
mkdir -p "$install_dir"
cp "$bin/OmbreloShell.dll" "$install_dir/"
if quiet wine regsvr32 /s "$install_win\\OmbreloShell.dll"; then
  echo "Registered $install_win\\OmbreloShell.dll with regsvr32"
  load=()
else
  echo "regsvr32 could not register the DLL: the host loads it directly instead (--dll)"
  load=(--dll "$install_win\\OmbreloShell.dll")
fi

# The extension looks for the main program in the registry value "cmd", then
# beside its own DLL: it goes beside the DLL.
main_program=0
if [ -f "$bin/standin/Ombrelo.exe" ]; then
  cp "$bin/standin/Ombrelo.exe" "$install_dir/"
  main_program=1
else
  echo "The stand-in main program (Ombrelo.exe) is not built: the menus show no preview picture"
fi

echo "== Settings"
ombrelo_step "writing the demo's settings" "bash scripts/demo.sh"
quiet wine reg delete 'HKCU\Software\Kestrani\Ombrelo' /f || true
quiet wine reg add 'HKCU\Software\Kestrani\Ombrelo' /v AutoStart /t REG_DWORD /d 1 /f
quiet wine reg add 'HKCU\Software\Kestrani\Ombrelo' /v Language /t REG_DWORD /d "$([ "$lang" = de ] && echo 0 || echo 1)" /f
appdata=$(wine cmd /c 'echo %APPDATA%' </dev/null 2>/dev/null | tr -d '\r')
settings_dir="$(winepath -u "$appdata" 2>/dev/null)/Kestrani/Ombrelo"
mkdir -p "$settings_dir"
printf '%s\r\n' '[OpenWith]' 'Count=2' \
  'Desc0=Notepad' 'Cmd0=C:\windows\notepad.exe' 'Params0="{Dateiname}"' \
  'Desc1=WordPad' 'Cmd1=C:\Program Files\Windows NT\Accessories\wordpad.exe' 'Params1="{Dateiname}"' \
  >"$settings_dir/Ombrelo.ini"
echo "AutoStart=1 and Language=$lang under HKCU\\Software\\Kestrani\\Ombrelo; open-with entries in $appdata\\Kestrani\\Ombrelo\\Ombrelo.ini"

ombrelo_step "right-clicking the files" "bash scripts/demo.sh"
wait_main=()
if [ $main_program -eq 1 ]; then
  journal="$DEMO/main-program-journal.txt"
  rm -f "$journal"
  (cd "$install_dir" && OMBRELO_STANDIN_JOURNAL="$(winpath "$journal")" wine Ombrelo.exe </dev/null >/dev/null 2>&1 &)
  echo "Started the stand-in main program $install_win\\Ombrelo.exe"
  wait_main=(--wait-for-window "$MAIN_WINDOW_CLASS")
fi

is_text() {
  case "${1##*.}" in
    [Tt][Xx][Tt]|[Dd][Ii][Zz]|[Cc][Ff][Gg]|[Ww][Rr][Ii]|[Bb][Aa][Tt]|[Xx][Mm][Ll]) return 0 ;;
    *) return 1 ;;
  esac
}

shots=()
status=0
# right_click NAME [HOST OPTIONS...] -- FILES...: one right-click, one screenshot.
right_click() {
  local name=$1 shot="$DEMO/$1.png"
  shift
  local options=() paths=()
  while [ "$1" != "--" ]; do options+=("$1"); shift; done
  shift
  for f in "$@"; do paths+=("$(winpath "$f")"); done
  echo
  echo "== Right-click on $(printf '%s ' "${@##*/}")${options[*]:+(${options[*]})}"
  rm -f "$shot"
  if wine "$host" --clsid "$CLSID" "${load[@]}" "${wait_main[@]}" "${options[@]}" \
       --screenshot "$(winpath "$shot")" "${paths[@]}" </dev/null; then
    [ -f "$shot" ] && shots+=("$shot")
  else
    status=1
  fi
}

# windows11_menu [HOST OPTIONS...] -- FILES...: the files in the
# Windows 11 menu. Its command is registered by the package, not by
# regsvr32, so the host loads it from the DLL.
windows11_menu() {
  local options=() paths=()
  while [ "$1" != "--" ]; do options+=("$1"); shift; done
  shift
  for f in "$@"; do paths+=("$(winpath "$f")"); done
  echo
  echo "== Windows 11 menu of $(printf '%s ' "${@##*/}")${options[*]:+(${options[*]})}"
  wine "$host" --modern --dll "$install_win\\OmbreloShell.dll" "${options[@]}" "${paths[@]}" </dev/null || status=1
}

if [ $# -eq 0 ]; then
  samples="$ROOT/samples"
  if [ "$lang" = de ]; then
    copy_name='&Ombrelo/&Sonstiges/Pfad\Bildname ins &Clipboard kopieren' open_with='&Ombrelo/Ö&ffnen mit'
    copy_name11='Ombrelo/Pfad\Bildname ins Clipboard kopieren'
  else
    copy_name='&Ombrelo/&Miscellaneous features/Copy &name' open_with='&Ombrelo/&Open with'
    copy_name11='Ombrelo/Copy name'
  fi
  right_click beach-jpg --invoke "$copy_name" -- "$samples/beach.jpg"
  windows11_menu --invoke "$copy_name11" -- "$samples/beach.jpg"
  right_click beach-jpg-open-with --no-tree --open "$open_with" -- "$samples/beach.jpg"
  right_click harbour-png -- "$samples/harbour.png"
  right_click notes-txt --ctrl -- "$samples/notes.txt"
  right_click multiple -- "$samples/beach.jpg" "$samples/harbour.png" "$samples/notes.txt"
else
  for f in "$@"; do
    base=${f##*/}
    if is_text "$f"; then right_click "${base//./-}" --ctrl -- "$f"; else right_click "${base//./-}" -- "$f"; fi
  done
  [ $# -gt 1 ] && right_click multiple -- "$@"
fi

if [ $main_program -eq 1 ] && [ -s "$journal" ]; then
  echo
  echo "== What the stand-in main program received (event, code, bytes, text, detail)"
  tr -d '\r' <"$journal" | sed 's/^/  /'
fi

echo
if [ ${#shots[@]} -gt 0 ]; then
  echo "Screenshots:"
  printf '  %s\n' "${shots[@]}"
fi
exit $status
