# Shared by the scripts: installs what is missing on a Debian machine and
# builds the project. Source it; do not run it.
set -eEuo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# A failing command stops the script with the step it belonged to and the
# command that repeats that step, never silently. Each script names its
# steps with ombrelo_step.
OMBRELO_STEP="" OMBRELO_REPEAT=""
# ombrelo_step TITLE [COMMAND TO REPEAT IT]
ombrelo_step() {
  OMBRELO_STEP=$1 OMBRELO_REPEAT=${2:-}
}
ombrelo_on_error() {
  local status=$? command=${BASH_COMMAND%%$'\n'*}
  # Command substitutions and subshells report through their parent.
  [ "$BASH_SUBSHELL" -eq 0 ] || return 0
  trap - ERR
  echo >&2
  echo "FAILED (exit $status): ${OMBRELO_STEP:-$(basename "$0")}" >&2
  echo "  command: $command" >&2
  [ -z "$OMBRELO_REPEAT" ] || echo "  repeat this step with: $OMBRELO_REPEAT" >&2
}
trap ombrelo_on_error ERR

ombrelo_install() {
  ombrelo_step "installing the build and test tools" "bash -c 'source scripts/lib.sh && ombrelo_install'"
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
  ombrelo_step "installing the packaging tools" "bash -c 'source scripts/lib.sh && ombrelo_install_packaging'"
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
  /lib/ld-linux.so.2 --version >/dev/null 2>&1
}

# ombrelo_wine_env: decides how every Wine tool is started. With 32-bit
# support, Debian's launchers as they are. Without it, every tool the
# scripts and tests use goes through Wine's 64-bit loader: Debian's
# launchers (wine, and winepath, wineboot, msiexec, regsvr32, regedit, ...
# through wine-stable) pick the 32-bit loader whenever its file exists,
# whether or not the kernel can run it. Shims of the same names, first on
# PATH, start the 64-bit loader instead.
ombrelo_wine_env() {
  ombrelo_runs_32bit && return 0
  if [ ! -x /usr/lib/wine/wine64 ]; then
    echo "This machine runs no 32-bit programs and Wine's 64-bit loader (/usr/lib/wine/wine64) is missing: install wine64 (apt-get install wine64)." >&2
    return 1
  fi
  local shim="$ROOT/build/wine64-only" tool
  mkdir -p "$shim"
  for tool in wine wine-stable wine64; do
    printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' >"$shim/$tool"
  done
  for tool in wineboot winepath msiexec regsvr32 reg regedit winecfg; do
    printf '#!/bin/sh\nexec /usr/lib/wine/wine64 %s.exe "$@"\n' "$tool" >"$shim/$tool"
  done
  printf '#!/bin/sh\nexec /usr/lib/wine/wineserver64 -p0 "$@"\n' >"$shim/wineserver"
  chmod +x "$shim"/*
  export WINELOADER=/usr/lib/wine/wine64
  case ":$PATH:" in *":$shim:"*) ;; *) export PATH="$shim:$PATH" ;; esac
}

# ombrelo_without_32bit CMD...: runs CMD as on a machine whose kernel runs
# no 32-bit programs: in a private mount namespace the 32-bit loader
# (/lib/ld-linux.so.2, the interpreter of every 32-bit Linux program, Wine's
# 32-bit loader among them) is covered by a file that cannot be executed.
# Returns 77 when this machine cannot make such a namespace (not root, or
# no mount namespaces): the caller says so and skips.
ombrelo_without_32bit() {
  if ! ombrelo_runs_32bit; then "$@"; return; fi
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo -E"
  if ! $sudo unshare -m --propagation private true 2>/dev/null; then
    echo "WARNING: this machine cannot make a private mount namespace (unshare -m): the run without 32-bit support is SKIPPED." >&2
    return 77
  fi
  $sudo unshare -m --propagation private bash -c '
    blocker=$(mktemp)
    chmod 0644 "$blocker"
    mount --bind "$blocker" /lib/ld-linux.so.2 || exit 1
    rm -f "$blocker"
    if /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
      echo "the 32-bit loader still runs inside the namespace" >&2; exit 1
    fi
    exec "$@"' bash "$@"
}

# ombrelo_default_archs: the builds whose tests can run here.
ombrelo_default_archs() {
  if ombrelo_runs_32bit; then echo "i686 x86_64"; else echo "x86_64"; fi
}

# ombrelo_build ARCH [TARGET...] (ARCH i686 or x86_64): configures and builds
# into build/ARCH, everything or only the given targets. The 64-bit build uses
# the 32-bit stand-in main program (built first when missing); on a machine
# that cannot run 32-bit programs it builds its own.
ombrelo_build() {
  local arch=$1
  shift
  ombrelo_step "building $arch${1:+ ($*)}" "bash -c 'source scripts/lib.sh && ombrelo_build $arch${1:+ $*}'"
  local targets=()
  [ $# -eq 0 ] || targets=(--target "$@")
  local dir="$ROOT/build/$arch"
  local extra=()
  if [ "$arch" = x86_64 ]; then
    local standin32=""
    if ombrelo_runs_32bit; then
      standin32="$ROOT/build/i686/bin/standin/Ombrelo.exe"
      [ -f "$standin32" ] || ombrelo_build i686 OmbreloStandin
      ombrelo_step "building $arch${1:+ ($*)}" "bash -c 'source scripts/lib.sh && ombrelo_build $arch${1:+ $*}'"
    fi
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
  ombrelo_step "running in a virtual display: $*"
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
