#!/usr/bin/env bash
# The installer packages as a user meets them: built by scripts/package.sh,
# installed, upgraded and removed by Wine's msiexec, each installation in a
# fresh Wine prefix of its own. One case per run:
#   build    packages of this build, signed ones (throwaway certificate) and
#            ones of the next version; signatures verified, the identity
#            package's too
#   tables   the tables of each package
#   user     the per-user x64 package: install, menu from the installed DLL,
#            regsvr32 /n /i:user writes the same entries, uninstall
#   machine  the per-machine x64 package: install, menu through the
#            registered class, regsvr32 writes the same entries, upgrade to
#            the next version, the older one refused, uninstall
# Set by ctest: OMBRELO_SOURCE, OMBRELO_BIN64 and OMBRELO_BIN32 (the two
# builds' programs), OMBRELO_VERSION, OMBRELO_TEST_OUT. Exit code 77: skipped.
# OMBRELO_PACKAGE_ARCH=arm64 (the ARM64 build): the same cases for the arm64
# packages, installed in Debian's arm64 Wine under qemu, where OMBRELO_BIN64
# is the ARM64 build's; its 32-bit DLL is packaged but cannot run there.
set -euo pipefail
case_name=${1:?usage: package_tests.sh build|tables|user|machine}
src=$OMBRELO_SOURCE bin64=$OMBRELO_BIN64 bin32=$OMBRELO_BIN32 version=$OMBRELO_VERSION out=$OMBRELO_TEST_OUT
source "$src/scripts/lib.sh"
arch=${OMBRELO_PACKAGE_ARCH:-x64}
if [ "$arch" = arm64 ]; then ombrelo_wine_aarch64_env; else ombrelo_wine_env; fi

id="{67C63340-679B-11D2-92EE-000021474C15}"
next_version=$(awk -F. -v OFS=. '{ $3 = $3 + 1; print }' <<<"$version")
failures=0

if [ ! -f "$bin32/OmbreloShell.dll" ]; then
  echo "SKIPPED: the 32-bit build ($bin32) is missing; the x64 packages hold both DLLs." >&2
  exit 77
fi
runs32=""
[ "$arch" = arm64 ] || ! ombrelo_runs_32bit || runs32=1

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
# expect_same WHAT EXPECTED ACTUAL
expect_same() {
  [ "$2" = "$3" ] && return 0
  fail "$1"
  diff <(echo "$2") <(echo "$3") >&2 || true
}
package() { echo "$out/$1/OmbreloShell-${3:-$version}-$2.msi"; }

# --- Wine, in a fresh prefix per installation case; every wait bounded.
new_prefix() {
  export WINEPREFIX="$out/prefix-$1" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  rm -rf "$WINEPREFIX"
  trap 'wineserver -k 2>/dev/null || true' EXIT
  timeout 600 "$src/scripts/make-prefix.sh" </dev/null
}
wine_run() { timeout 300 wine "$@" </dev/null; }
winpath() { winepath -w "$1" 2>/dev/null; }
unixpath() { winepath -u "$1" 2>/dev/null; }
# msiexec ACTION PACKAGE LOGNAME [PROPERTY=VALUE...]: its exit code; the log in $out/logs.
msiexec_run() {
  local action=$1 msi=$2 log="$out/logs/$3.log"
  shift 3
  mkdir -p "$out/logs"
  local rc=0
  wine_run msiexec "$action" "$(winpath "$msi")" /qn /l*v "$(winpath "$log")" "$@" >/dev/null 2>&1 || rc=$?
  echo "$rc"
}
# Whether the installation LOGNAME ended right after its launch conditions
# (where a refusal shows its message; Wine's log leaves the text out).
stopped_at_launch_conditions() {
  grep -a "^Action ended" "$out/logs/$1.log" | grep -v ": INSTALL\." | tail -1 | grep -q ": LaunchConditions\."
}
footprint() { wine_run "$bin64/install_probe.exe" registry "$id" 2>/dev/null | tr -d '\r'; }
# The footprint with the handler key under "*" once: that key is not
# redirected on 64-bit Windows, and whether a Wine prefix's 32-bit view
# shows it as a key of its own depends on how the prefix was made. A 32-bit
# view line that repeats the 64-bit one is left out.
registered() {
  footprint | awk '{ line[NR] = $0; seen[$0] = 1 }
    END { for (i = 1; i <= NR; i++) {
      l = line[i]; other = l; sub(/^32 /, "64 ", other)
      if (l ~ /^32 .*\\shellex\\/ && (other in seen)) continue
      print l } }'
}
products() { wine_run "$bin64/install_probe.exe" products "$1" 2>/dev/null | tr -d '\r'; }
# table PACKAGE TABLE: its rows, without the header lines.
table() { msiinfo export "$1" "$2" | sed 's/\r$//' | tail -n +4; }
upgrade_code() { table "$1" Property | awk -F'\t' '$1 == "UpgradeCode" { print $2 }'; }
folder_of() { wine_run cmd /c echo "$1" 2>/dev/null | tr -d '\r'; }

# expected_footprint ROOT PATH64 PATH32 [approved]: what registering the two
# DLLs writes, each in its own view, as registered() lists it (the handler
# key once). PATH32 "shared": the views share the classes, and the 32-bit
# view shows the 64-bit DLL's entries.
expected_footprint() {
  local root=$1 approved=${4:-}
  local view path
  for view in 64 32; do
    [ "$view" = 64 ] || [ "$3" = shared ] && path=$2 || path=$3
    local classes="$view $root\\Software\\Classes"
    if [ "$view" = 64 ]; then
      echo "$classes\\*\\shellex\\ContextMenuHandlers\\$id"
      echo "$classes\\*\\shellex\\ContextMenuHandlers\\$id @=$id"
    fi
    echo "$classes\\CLSID\\$id"
    echo "$classes\\CLSID\\$id @=Vantisk Extensions"
    echo "$classes\\CLSID\\$id\\InprocServer32"
    echo "$classes\\CLSID\\$id\\InprocServer32 @=$path"
    echo "$classes\\CLSID\\$id\\InprocServer32 ThreadingModel=Apartment"
    [ -z "$approved" ] || echo "$view HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved $id=Vantisk Extensions"
  done | LC_ALL=C sort
}
# Only the lines of builds whose programs run here (the 64-bit view alone without 32-bit support).
runnable() { if [ -n "$runs32" ]; then cat; else grep '^64 ' || true; fi; }

# menu_shows WHAT HOST [--dll DLL]: the host right-clicks a sample picture and finds the submenu.
menu_shows() {
  local what=$1 host=$2
  shift 2
  local text
  text=$(wine_run "$host" "$@" "$(winpath "$src/samples/beach.jpg")" 2>&1 | tr -d '\r') || true
  grep -q '"&Ombrelo" >' <<<"$text" || { fail "$what: no \"&Ombrelo\" submenu"; echo "$text" | head -20 >&2; }
}

# regsvr32 SWITCHES DLL64 DLL32: each DLL through the regsvr32 of its own bitness.
regsvr32_both() {
  local switches=$1
  wine_run regsvr32 /s $switches "$2" >/dev/null 2>&1 || fail "regsvr32 $switches $2"
  [ -z "$runs32" ] || [ -z "$3" ] || wine_run 'C:\windows\syswow64\regsvr32.exe' /s $switches "$3" >/dev/null 2>&1 ||
    fail "32-bit regsvr32 $switches $3"
}

case_build() {
  rm -rf "$out"
  mkdir -p "$out/cert"
  local cert="$out/cert"
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Ombrelo test signing" \
    -addext "extendedKeyUsage=codeSigning" -keyout "$cert/key.pem" -out "$cert/cert.pem" 2>/dev/null
  openssl pkcs12 -export -in "$cert/cert.pem" -inkey "$cert/key.pem" -passout pass:throwaway -out "$cert/cert.pfx"
  export OMBRELO_DLL_X86="$bin32/OmbreloShell.dll" OMBRELO_DLL_X64="$bin64/OmbreloShell.dll"
  # The arm64 run packages its own DLL as the ARM64 one (the x64 one is not needed there).
  [ "$arch" != arm64 ] || export OMBRELO_DLL_ARM64="$bin64/OmbreloShell.dll"
  local log="$out/package-sh.log"
  # package_sh OUTPUT [VAR=VALUE...]: one run of scripts/package.sh.
  package_sh() {
    local dir=$1
    shift
    env OMBRELO_PACKAGE_OUT="$out/$dir" OMBRELO_PACKAGE_VERSION="$version" "$@" bash "$src/scripts/package.sh" \
      >"$log" 2>&1 || { fail "package.sh for $dir"; cat "$log" >&2; }
  }
  package_sh unsigned
  grep -q "NOT signed" "$log" || fail "an unsigned build does not say so"
  package_sh next OMBRELO_PACKAGE_VERSION="$next_version"
  package_sh signed OMBRELO_SIGN_PFX="$cert/cert.pfx" OMBRELO_SIGN_PASSWORD=throwaway
  package_sh signed-pem OMBRELO_SIGN_CERT="$cert/cert.pem" OMBRELO_SIGN_KEY="$cert/key.pem"
  grep -q "NOT signed" "$log" && fail "a signed build says it is not signed"

  # Both ways of giving the certificate sign the packages and the DLLs inside them.
  local msi
  for msi in "$out"/signed/*.msi "$out"/signed-pem/*.msi; do
    osslsigncode verify -CAfile "$cert/cert.pem" -in "$msi" >/dev/null 2>&1 || fail "signature of $msi"
    rm -rf "$out/extract" && mkdir "$out/extract"
    msiextract -C "$out/extract" "$msi" >/dev/null
    while IFS= read -r dll; do
      osslsigncode verify -CAfile "$cert/cert.pem" -in "$dll" >/dev/null 2>&1 || fail "signature of $dll in $msi"
    done < <(find "$out/extract" -name OmbreloShell.dll)
  done
  rm -rf "$out/extract"
  for msi in "$out"/unsigned/*.msi; do
    ! osslsigncode verify -in "$msi" >/dev/null 2>&1 || fail "$msi carries a signature"
  done
  # The identity package of the Windows 11 command: signed by the same
  # certificate, whose subject is its Publisher; unsigned without one.
  local msix
  local suffix=""
  [ "$arch" != arm64 ] || suffix=-arm64
  for msix in "$out"/signed/OmbreloShell-"$version$suffix".msix "$out"/signed-pem/OmbreloShell-"$version$suffix".msix; do
    osslsigncode verify -CAfile "$cert/cert.pem" -in "$msix" >/dev/null 2>&1 || fail "signature of $msix"
    unzip -p "$msix" AppxManifest.xml | grep -q 'Publisher="CN=Ombrelo test signing"' || fail "$msix: Publisher"
  done
  msix="$out/unsigned/OmbreloShell-$version$suffix.msix"
  [ -f "$msix" ] || fail "no $msix"
  if [ "$arch" = arm64 ]; then
    unzip -p "$msix" AppxManifest.xml | grep -q 'ProcessorArchitecture="arm64"' || fail "$msix: not for arm64"
  fi
  ! osslsigncode verify -in "$msix" >/dev/null 2>&1 || fail "$msix carries a signature"
  local kinds=4
  [ "$arch" != arm64 ] || kinds=6
  [ "$(ls "$out"/unsigned/*.msi "$out"/signed/*.msi "$out"/next/*.msi | wc -l)" = $((3 * kinds)) ] || fail "not $kinds packages each"
}

# One line per package: what its tables say.
table_summary() {
  local msi=$1
  local registry property
  registry=$(table "$msi" Registry)
  property=$(table "$msi" Property)
  printf 'files=%s registry=%s hkmu=%s hklm=%s allusers=%s version=%s %s %s upgrade=%s%s\n' \
    "$(table "$msi" File | grep -c OmbreloShell.dll)" \
    "$(grep -c . <<<"$registry")" \
    "$(awk -F'\t' '$2 == -1' <<<"$registry" | grep -c .)" \
    "$(awk -F'\t' '$2 == 2 && $3 ~ /Approved$/' <<<"$registry" | grep -c .)" \
    "$(awk -F'\t' '$1 == "ALLUSERS" { print $2 }' <<<"$property")" \
    "$(awk -F'\t' '$1 == "ProductVersion" { print $2 }' <<<"$property")" \
    "$(msiinfo suminfo "$msi" | awk -F': ' '/^Template/ { print $2 }')" \
    "$(msiinfo suminfo "$msi" | awk -F': ' '/^Source/ { print "words=" $2 }')" \
    "$(table "$msi" Upgrade | awk -F'\t' -v OFS=, -v code="$(upgrade_code "$msi")" \
      '{ print ($1 == code ? "" : "other code ") $2, $3, $5, $7 }' | LC_ALL=C sort | paste -sd';')" \
    "$(table "$msi" LaunchCondition | grep -q VersionNT64 && echo ' 32-bit-only')"
}

case_tables() {
  local up=",$version,513,WIX_UPGRADE_DETECTED;$version,,2,WIX_DOWNGRADE_DETECTED"
  if [ "$arch" = arm64 ]; then
    case_tables_arm64 "$up"
    return
  fi
  expect_same "x64 user tables" \
    "files=2 registry=8 hkmu=8 hklm=0 allusers= version=$version x64;1033 words=10 (a) upgrade=$up" \
    "$(table_summary "$(package unsigned x64-user)")"
  expect_same "x64 machine tables" \
    "files=2 registry=10 hkmu=8 hklm=2 allusers=1 version=$version x64;1033 words=2 (2) upgrade=$up" \
    "$(table_summary "$(package unsigned x64-machine)")"
  expect_same "x86 user tables" \
    "files=1 registry=4 hkmu=4 hklm=0 allusers= version=$version Intel;1033 words=10 (a) upgrade=$up 32-bit-only" \
    "$(table_summary "$(package unsigned x86-user)")"
  expect_same "x86 machine tables" \
    "files=1 registry=5 hkmu=4 hklm=1 allusers=1 version=$version Intel;1033 words=2 (2) upgrade=$up 32-bit-only" \
    "$(table_summary "$(package unsigned x86-machine)")"
  # Refusals carry their message (Wine's silent msiexec does not show it).
  local msi
  for msi in "$out"/unsigned/*.msi; do
    table "$msi" LaunchCondition | grep -q $'^NOT WIX_DOWNGRADE_DETECTED\tA newer version of Ombrelo Shell Extension is already installed.' ||
      fail "$msi: no downgrade message"
  done
  local codes
  codes=$(for msi in "$out"/unsigned/*.msi; do upgrade_code "$msi"; done | sort -u | wc -l)
  expect_same "one upgrade code per package kind" 4 "$codes"

  # Only the signed x64 packages install and register the identity package:
  # type 1138 is an exe named by a property (50), deferred (0x400), its
  # failure ignored (0x40), impersonated (no 0x800).
  local want
  for msi in "$out"/unsigned/*.msi "$out"/signed/*.msi; do
    want=""
    [[ $msi == */signed/*-x64-* ]] &&
      want=$'FindPowerShell\t2099\nRegisterIdentityPackage\t1138\nUnregisterIdentityPackage\t1138'
    expect_same "identity actions of $msi" "$want" "$(table "$msi" CustomAction | cut -f1,2 | LC_ALL=C sort)"
    [ -z "$want" ] && continue
    expect_same "identity files of $msi" $'IdentityPackage\tOmbreloShell.msix\nRegisterScript\tregister-package.ps1' \
      "$(table "$msi" File | awk -F'\t' -v OFS='\t' '$2 == "Identity64" { print $1, $3 }' | LC_ALL=C sort)"
    expect_same "identity sequence of $msi" \
      $'RegisterIdentityPackage\tNOT REMOVE~="ALL"\nUnregisterIdentityPackage\tREMOVE~="ALL"' \
      "$(table "$msi" InstallExecuteSequence | awk -F'\t' -v OFS='\t' '$1 ~ /IdentityPackage$/ { print $1, $2 }' |
        LC_ALL=C sort)"
  done
}

# The arm64 packages: the ARM64 DLL and the 32-bit one, marked for the Arm64
# platform, with upgrade codes of their own, and the identity package only
# in the signed ones.
case_tables_arm64() {
  local up=$1 msi
  expect_same "arm64 user tables" \
    "files=2 registry=8 hkmu=8 hklm=0 allusers= version=$version Arm64;1033 words=10 (a) upgrade=$up" \
    "$(table_summary "$(package unsigned arm64-user)")"
  expect_same "arm64 machine tables" \
    "files=2 registry=10 hkmu=8 hklm=2 allusers=1 version=$version Arm64;1033 words=2 (2) upgrade=$up" \
    "$(table_summary "$(package unsigned arm64-machine)")"
  for msi in "$(package unsigned arm64-user)" "$(package unsigned arm64-machine)"; do
    expect_same "64-bit component of $msi" "Extension64 INSTALLDIR64 256" \
      "$(table "$msi" Component | awk -F'\t' '$1 == "Extension64" { print $1, $3, $4 }')"
  done
  local codes
  codes=$(for msi in "$out"/unsigned/*.msi; do upgrade_code "$msi"; done | sort -u | wc -l)
  expect_same "one upgrade code per package kind" 6 "$codes"
  for msi in "$out"/unsigned/*-arm64-*.msi "$out"/signed/*-arm64-*.msi; do
    local want=""
    [[ $msi == */signed/* ]] &&
      want=$'FindPowerShell\t2099\nRegisterIdentityPackage\t1138\nUnregisterIdentityPackage\t1138'
    expect_same "identity actions of $msi" "$want" "$(table "$msi" CustomAction | cut -f1,2 | LC_ALL=C sort)"
  done
}

# Whether the 32-bit and the 64-bit view share HKEY_CURRENT_USER\Software\Classes
# (Wine 8 does; 64-bit Windows keeps the 32-bit classes apart).
user_classes_shared() {
  local probe='HKCU\Software\Classes\CLSID\{00000000-0000-0000-0000-0000000000FF}'
  wine_run reg add "$probe" /reg:32 /f >/dev/null 2>&1
  local shared=""
  wine_run reg query "$probe" /reg:64 >/dev/null 2>&1 && shared=1
  wine_run reg delete "$probe" /reg:32 /f >/dev/null 2>&1
  [ -n "$shared" ]
}

case_user() {
  new_prefix user
  local msi
  msi=$(package signed $arch-user)
  expect_same "per-user install" 0 "$(msiexec_run /i "$msi" user-install)"
  # With the identity package's registration present: the action runs (Wine
  # has no Windows 11 and no package registration; its PowerShell is a stub)
  # and the installation goes on whatever it returns.
  grep -aq "RegisterIdentityPackage" "$out/logs/user-install.log" || fail "the identity package's action did not run"

  local dir
  dir="$(folder_of '%LOCALAPPDATA%')\\Programs\\Ombrelo"
  local dll64="$dir\\$arch\\OmbreloShell.dll" dll32="$dir\\OmbreloShell.dll"
  for file in OmbreloShell.msix register-package.ps1; do
    [ -f "$(unixpath "$dir\\$arch\\$file")" ] || fail "$file not installed beside the 64-bit DLL"
  done
  for dll in "$dll64" "$dll32"; do
    osslsigncode verify -CAfile "$out/cert/cert.pem" -in "$(unixpath "$dll")" >/dev/null 2>&1 ||
      fail "installed $dll is not the signed DLL"
  done
  # Where the views share the user's classes, the 64-bit DLL's entries, written last, stand in both.
  local quoted32="\"$dll32\"" only64=""
  if user_classes_shared; then
    echo "NOTE: this Wine shares HKCU\\Software\\Classes between the registry views" >&2
    quoted32=shared only64=1
  fi
  expect_same "per-user entries: the user's classes in both views, nothing in the machine's" \
    "$(expected_footprint HKCU "\"$dll64\"" "$quoted32")" "$(registered)"

  menu_shows "installed 64-bit DLL" "$bin64/shellmenu-host.exe" --dll "$dll64"
  [ -z "$runs32" ] || menu_shows "installed 32-bit DLL" "$bin32/shellmenu-host.exe" --dll "$dll32"

  # regsvr32 /n /i:user writes what the package wrote (the package always
  # quotes the path; regsvr32 only a path with a blank). In shared views only
  # the 64-bit DLL, whose entries the package left standing, is compared.
  local installed
  installed=$(registered)
  local dll32_or_none=$dll32
  [ -z "$only64" ] || dll32_or_none=""
  regsvr32_both "/u /n /i:user" "$dll64" "$dll32_or_none"
  expect_same "regsvr32 /u /n /i:user removes the package's entries" "" "$(footprint | runnable)"
  regsvr32_both "/n /i:user" "$dll64" "$dll32_or_none"
  expect_same "regsvr32 /n /i:user writes the package's entries" \
    "$(tr -d '"' <<<"$installed" | runnable)" "$(registered | tr -d '"' | runnable)"

  # The user's settings stay when the extension goes.
  wine_run reg add 'HKCU\Software\Kestrani\Ombrelo' /v Language /t REG_DWORD /d 1 /f >/dev/null 2>&1
  local ini
  ini="$(unixpath "$(folder_of '%APPDATA%')")/Ombrelo.ini"
  printf '[OpenWith]\r\nCount=0\r\n' >"$ini"
  expect_same "per-user uninstall" 0 "$(msiexec_run /x "$msi" user-uninstall)"
  grep -aq "UnregisterIdentityPackage" "$out/logs/user-uninstall.log" || fail "the identity package's removal did not run"
  expect_same "nothing of ours left in the registry" "" "$(footprint)"
  [ ! -e "$(unixpath "$dir")" ] || fail "the folder $dir is left: $(ls -R "$(unixpath "$dir")")"
  [ -f "$ini" ] || fail "Ombrelo.ini was removed"
  wine_run reg query 'HKCU\Software\Kestrani\Ombrelo' /v Language >/dev/null 2>&1 || fail "the user's setting was removed"

  # The x86 package is for 32-bit Windows only.
  [ "$arch" = x64 ] || return 0
  local rc
  rc=$(msiexec_run /i "$(package unsigned x86-user)" x86-on-64bit)
  [ "$rc" != 0 ] || fail "the x86 package installed on 64-bit Windows"
  stopped_at_launch_conditions x86-on-64bit || fail "the x86 package was not refused by its launch condition"
  expect_same "nothing installed by the refused x86 package" "" "$(footprint)"
}

case_machine() {
  new_prefix machine
  local msi next
  msi=$(package unsigned $arch-machine) next=$(package next $arch-machine "$next_version")
  expect_same "per-machine install" 0 "$(msiexec_run /i "$msi" machine-install)"

  local dll64='C:\Program Files\Ombrelo\OmbreloShell.dll' dll32='C:\Program Files (x86)\Ombrelo\OmbreloShell.dll'
  cmp -s "$(unixpath "$dll64")" "$bin64/OmbreloShell.dll" || fail "64-bit DLL not installed in Program Files"
  cmp -s "$(unixpath "$dll32")" "$bin32/OmbreloShell.dll" || fail "32-bit DLL not installed in Program Files (x86)"
  local expected
  expected=$(expected_footprint HKLM "\"$dll64\"" "\"$dll32\"" approved)
  expect_same "per-machine entries: the machine's classes and Approved in both views" "$expected" "$(registered)"
  menu_shows "64-bit host through the registered class" "$bin64/shellmenu-host.exe"
  [ -z "$runs32" ] || menu_shows "32-bit host through the registered class" "$bin32/shellmenu-host.exe"

  # The package writes exactly what regsvr32 writes for the same DLLs.
  local installed
  installed=$(registered)
  regsvr32_both /u "$dll64" "$dll32"
  expect_same "regsvr32 /u removes the package's entries" "" "$(footprint | runnable)"
  regsvr32_both "" "$dll64" "$dll32"
  expect_same "regsvr32 writes the package's entries" "$(runnable <<<"$installed")" "$(registered | runnable)"

  # Upgrade: the next version replaces this one.
  local code
  code=$(upgrade_code "$msi")
  expect_same "upgrade to $next_version" 0 "$(msiexec_run /i "$next" machine-upgrade)"
  expect_same "one product after the upgrade" "$next_version" "$(products "$code" | awk '{ print $2 }')"
  cmp -s "$(unixpath "$dll64")" "$bin64/OmbreloShell.dll" || fail "64-bit DLL missing after the upgrade"
  cmp -s "$(unixpath "$dll32")" "$bin32/OmbreloShell.dll" || fail "32-bit DLL missing after the upgrade"
  expect_same "registration intact after the upgrade" "$expected" "$(registered)"
  menu_shows "menu after the upgrade" "$bin64/shellmenu-host.exe"

  # The older package over the newer one is refused, with a message, and changes nothing.
  local rc
  rc=$(msiexec_run /i "$msi" machine-downgrade)
  [ "$rc" != 0 ] || fail "the older package installed over the newer one"
  grep -aq "WIX_DOWNGRADE_DETECTED = {" "$out/logs/machine-downgrade.log" || fail "the newer product was not detected"
  stopped_at_launch_conditions machine-downgrade || fail "the older package was not refused by its launch condition"
  expect_same "still the newer product" "$next_version" "$(products "$code" | awk '{ print $2 }')"
  expect_same "registration intact after the refusal" "$expected" "$(registered)"

  expect_same "per-machine uninstall" 0 "$(msiexec_run /x "$next" machine-uninstall)"
  expect_same "nothing of ours left in the registry" "" "$(footprint)"
  expect_same "no product left" "" "$(products "$code")"
  for dir in 'C:\Program Files\Ombrelo' 'C:\Program Files (x86)\Ombrelo'; do
    [ ! -e "$(unixpath "$dir")" ] || fail "the folder $dir is left"
  done
}

if [ "$case_name" != build ] && [ ! -f "$(package unsigned $arch-user)" ]; then
  echo "FAIL: no packages; the package_build test makes them" >&2
  exit 1
fi
"case_$case_name"
if [ "$failures" -ne 0 ]; then
  echo "$case_name: $failures failure(s)" >&2
  exit 1
fi
echo "$case_name: passed"
