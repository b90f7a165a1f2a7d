# Shared by the scripts: installs what is missing on a Debian machine and
# builds the project. Source it; do not run it.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

ombrelo_install() {
  local need=()
  command -v cmake >/dev/null || need+=(cmake)
  command -v ninja >/dev/null || need+=(ninja-build)
  command -v i686-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-i686-posix)
  command -v x86_64-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-x86-64-posix)
  [ -f /usr/src/googletest/CMakeLists.txt ] || need+=(googletest)
  command -v wine >/dev/null || need+=(wine)
  dpkg -s wine64 >/dev/null 2>&1 || need+=(wine64)
  dpkg -s wine32:i386 >/dev/null 2>&1 || need+=(wine32:i386)
  command -v xvfb-run >/dev/null || need+=(xvfb)
  command -v xauth >/dev/null || need+=(xauth)
  command -v flock >/dev/null || need+=(util-linux)
  ombrelo_apt_install "${need[@]}"
}

# ombrelo_install_packaging: the tools that build, edit and sign the
# Windows Installer packages (scripts/package.sh and its tests).
ombrelo_install_packaging() {
  local need=()
  command -v wixl >/dev/null || need+=(wixl)
  command -v msibuild >/dev/null || need+=(msitools)
  command -v osslsigncode >/dev/null || need+=(osslsigncode)
  command -v openssl >/dev/null || need+=(openssl)
  ombrelo_apt_install "${need[@]}"
}

# ombrelo_apt_install PACKAGE...: installs the given Debian packages (none: nothing).
ombrelo_apt_install() {
  [ $# -eq 0 ] && return 0
  echo "Installing: $*"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo dpkg --add-architecture i386
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "$@" >/dev/null
}

# ombrelo_runs_32bit: whether this machine can run 32-bit programs. Wine's
# 32-bit loader is a 32-bit Linux program, and some kernels have their
# 32-bit emulation switched off (ia32_emulation=off): then only 64-bit
# Windows programs run.
ombrelo_runs_32bit() {
  [ -z "${OMBRELO_FORCE_NO32:-}" ] && /lib/ld-linux.so.2 --version >/dev/null 2>&1
}

# ombrelo_wine_env: without 32-bit support, Wine is started through its
# 64-bit loader (the "wine" launcher would pick the 32-bit one and fail).
ombrelo_wine_env() {
  ombrelo_runs_32bit && return 0
  [ -x /usr/lib/wine/wine64 ] || return 0
  local shim="$ROOT/build/wine64-only"
  mkdir -p "$shim"
  printf '#!/bin/sh
exec /usr/lib/wine/wine64 "$@"
' >"$shim/wine"
  chmod +x "$shim/wine"
  export WINELOADER=/usr/lib/wine/wine64
  case ":$PATH:" in *":$shim:"*) ;; *) export PATH="$shim:$PATH" ;; esac
}

# ombrelo_default_archs: the builds whose tests can run here.
ombrelo_default_archs() {
  if ombrelo_runs_32bit; then echo "i686 x86_64"; else echo "x86_64"; fi
}

# ombrelo_build ARCH [TARGET...] (ARCH i686 or x86_64): configures and builds
# into build/ARCH, everything or only the given targets. The 64-bit build uses
# the 32-bit stand-in main program, so build i686 first; on a machine that
# cannot run 32-bit programs it builds its own.
ombrelo_build() {
  local arch=$1
  shift
  local targets=()
  [ $# -eq 0 ] || targets=(--target "$@")
  local dir="$ROOT/build/$arch"
  local extra=()
  if [ "$arch" = x86_64 ]; then
    local standin32=""
    ombrelo_runs_32bit && standin32="$ROOT/build/i686/bin/standin/Ombrelo.exe"
    extra+=(-DOMBRELO_STANDIN32="$standin32")
  fi
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-$arch-mingw.cmake" \
      -DOMBRELO_WINEPREFIX="$ROOT/build/wineprefix" "${extra[@]}" >/dev/null
  elif [ ${#extra[@]} -gt 0 ]; then
    cmake -B "$dir" "${extra[@]}" >/dev/null
  fi
  cmake --build "$dir" "${targets[@]}"
}

# ombrelo_in_display CMD...: runs CMD with the private Wine prefix inside a
# virtual X display (Wine's desktop process must see a display from its
# first start), with one wineserver for the whole run. OMBRELO_WINEPREFIX
# chooses another prefix (the demo keeps its own).
ombrelo_in_display() {
  ombrelo_wine_env
  export WINEPREFIX="${OMBRELO_WINEPREFIX:-$ROOT/build/wineprefix}" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  # A UTF-8 locale, so that Wine keeps file names outside the ANSI code page.
  export LC_ALL=C.UTF-8
  xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    "$0/scripts/make-prefix.sh" || exit 1
    wineserver -p 30 || true
    wine cmd /c exit </dev/null >/dev/null 2>&1 || true
    status=0
    "${@}" || status=$?
    wineserver -k 2>/dev/null || true
    exit $status' "$ROOT" "$@"
}
