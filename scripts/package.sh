#!/usr/bin/env bash
# Builds the extension's Windows Installer packages into build/package/:
# OmbreloShell-<version>-<arch>-<scope>.msi for <arch> x64 (both DLLs), x86
# (32-bit Windows) and arm64 (Windows on ARM: the ARM64 DLL, which ARM64
# Explorer loads, and the 32-bit one for x86 programs), <scope> user (no
# admin rights) and machine; and OmbreloShell-<version>.msix and
# OmbreloShell-<version>-arm64.msix, the identity packages of the Windows 11
# menu's command, which the signed x64 and arm64 packages also install and
# register for the user on Windows 11. The version is the project version.
# Installs what is missing first.
#
# Signing (Authenticode: the DLLs, then the packages), when a certificate is given:
#   OMBRELO_SIGN_PFX=FILE.pfx    with OMBRELO_SIGN_PASSWORD
#   OMBRELO_SIGN_CERT=CERT.pem   with OMBRELO_SIGN_KEY=KEY.pem (and OMBRELO_SIGN_PASSWORD
#                                for an encrypted key)
#   OMBRELO_SIGN_TIMESTAMP=URL   an RFC 3161 timestamp server (optional)
# Without a certificate the packages are unsigned, and the script says so.
#
# Also: OMBRELO_PACKAGE_OUT, the output folder. For tests, OMBRELO_DLL_X86 and
# OMBRELO_DLL_X64 name DLLs already built (nothing is built then; the arm64
# packages are made only when OMBRELO_DLL_ARM64 names one too) and
# OMBRELO_PACKAGE_VERSION gives the packages another version.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

out=${OMBRELO_PACKAGE_OUT:-$ROOT/build/package}
work="$out/.work"

# Step 1: release DLLs of the three builds; sets dll_x86, dll_x64,
# dll_arm64 (empty: no arm64 packages) and version.
package_build_dlls() {
  if [ -n "${OMBRELO_DLL_X86:-}" ] && [ -n "${OMBRELO_DLL_X64:-}" ]; then
    dll_x86=$OMBRELO_DLL_X86 dll_x64=$OMBRELO_DLL_X64 dll_arm64=${OMBRELO_DLL_ARM64:-}
  else
    ombrelo_build i686 OmbreloShell
    ombrelo_build x86_64 OmbreloShell
    ombrelo_build aarch64 OmbreloShell
    dll_x86="$ROOT/build/i686/bin/OmbreloShell.dll" dll_x64="$ROOT/build/x86_64/bin/OmbreloShell.dll"
    dll_arm64="$ROOT/build/aarch64/bin/OmbreloShell.dll"
  fi
  version=${OMBRELO_PACKAGE_VERSION:-$(cat "$(dirname "$dll_x64")/../generated/version.txt")}
  [[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+(\.[0-9]+)?$ ]] || { echo "package.sh: bad version '$version'" >&2; exit 1; }
}

# Step 2: the files the packages hold, copied to the work folder and signed there.
package_stage_files() {
  mkdir -p "$work/x86" "$work/x64"
  cp "$dll_x86" "$work/x86/OmbreloShell.dll"
  cp "$dll_x64" "$work/x64/OmbreloShell.dll"
  sign_file "$work/x86/OmbreloShell.dll"
  sign_file "$work/x64/OmbreloShell.dll"
  if [ -n "$dll_arm64" ]; then
    mkdir -p "$work/arm64"
    cp "$dll_arm64" "$work/arm64/OmbreloShell.dll"
    sign_file "$work/arm64/OmbreloShell.dll"
  fi
}

# Step 2b: the identity package of the Windows 11 command
# (packaging/build-msix.py): build/package/OmbreloShell-<version>.msix, and,
# when signed, the copy the x64 packages install beside the 64-bit DLL with
# the script that registers it. Windows installs only signed packages, so
# unsigned x64 packages carry neither.
# ARCH is x64 (the neutral package) or arm64 (OmbreloShell-<version>-arm64.msix).
identity=no
package_identity() {
  local arch=$1 msix="$out/OmbreloShell-$version.msix" build=(--arch neutral)
  [ "$arch" = x64 ] || msix="$out/OmbreloShell-$version-$arch.msix" build=(--arch "$arch")
  if [ -z "$signing" ]; then
    python3 "$ROOT/packaging/build-msix.py" --out "$msix" --version "$version" "${build[@]}" >/dev/null
    echo "$msix"
    return 0
  fi
  # The Publisher is the signing certificate's subject.
  local cert=${OMBRELO_SIGN_CERT:-}
  if [ -z "$cert" ]; then
    cert="$work/certificate.pem"
    local pass=(-passin pass:)
    [ ! -f "$work/password" ] || pass=(-passin "file:$work/password")
    openssl pkcs12 -in "$OMBRELO_SIGN_PFX" "${pass[@]}" -nokeys -clcerts -out "$cert" 2>/dev/null ||
      { echo "package.sh: cannot read the certificate in $OMBRELO_SIGN_PFX" >&2; exit 1; }
  fi
  python3 "$ROOT/packaging/build-msix.py" --out "$msix" --version "$version" --cert "$cert" --to-be-signed "${build[@]}" >/dev/null
  sign_file "$msix"
  cp "$msix" "$work/$arch/OmbreloShell.msix"
  cp "$ROOT/packaging/register-package.ps1" "$work/$arch/register-package.ps1"
  identity=yes
  echo "$msix"
}

# Step 3: the package from the WiX source for one ARCH (x64, x86, arm64) and
# SCOPE. wixl reads the files from paths relative to the folder it runs in.
# wixl has no arm64 target: the arm64 package is built as x64 (64-bit
# components) and its summary then names the Arm64 platform, which is what
# Windows Installer checks.
package_msi() {
  local arch=$1 scope=$2 msi=$3 target=$1 dir64=x64
  [ "$arch" != arm64 ] || target=x64 dir64=arm64
  (cd "$work" && wixl -a "$target" -I "$ROOT/packaging" -o "$msi" \
    -D Version="$version" -D Arch="$arch" -D Scope="$scope" \
    -D Dll32=x86/OmbreloShell.dll -D Dll64=$dir64/OmbreloShell.dll \
    -D Identity="$([ "$arch" != x86 ] && echo "$identity" || echo no)" \
    -D Msix=$dir64/OmbreloShell.msix -D RegisterScript=$dir64/register-package.ps1 \
    "$ROOT/packaging/OmbreloShell.wxs")
  if [ "$arch" = arm64 ]; then
    local subject revision
    subject=$(msiinfo suminfo "$msi" | sed -n 's/^Subject: //p')
    revision=$(msiinfo suminfo "$msi" | sed -n 's/^Revision number (UUID): //p')
    msibuild "$msi" -s "$subject" Kestrani "Arm64;1033" "$revision"
  fi
}

# Step 4: what wixl cannot express, set in the tables afterwards.
package_fix_tables() {
  local msi=$1 code
  # wixl writes the root HKMU as 4, which is no root; -1 is HKMU: the user's
  # classes in a per-user installation, the machine's in a per-machine one.
  msibuild "$msi" -q "UPDATE Registry SET Root = -1 WHERE Root = 4"
  # A rebuilt package of the same version replaces the installed one instead
  # of being installed beside it: the upgrade row includes its maximum.
  code=$(msiinfo export "$msi" Property | tr -d '\r' | awk -F'\t' '$1 == "UpgradeCode" { print $2 }')
  msibuild "$msi" -q "DELETE FROM Upgrade WHERE ActionProperty = 'WIX_UPGRADE_DETECTED'" \
    -q "INSERT INTO Upgrade (UpgradeCode, VersionMax, Attributes, ActionProperty) VALUES ('$code', '$version', 513, 'WIX_UPGRADE_DETECTED')"
}

# Step 5 (and within step 2): Authenticode signature of one file, when a certificate is given.
signing=""
package_signing_setup() {
  if [ -n "${OMBRELO_SIGN_PFX:-}" ]; then
    signing=(-pkcs12 "$OMBRELO_SIGN_PFX")
  elif [ -n "${OMBRELO_SIGN_CERT:-}" ] && [ -n "${OMBRELO_SIGN_KEY:-}" ]; then
    signing=(-certs "$OMBRELO_SIGN_CERT" -key "$OMBRELO_SIGN_KEY")
  elif [ -n "${OMBRELO_SIGN_CERT:-}${OMBRELO_SIGN_KEY:-}" ]; then
    echo "package.sh: OMBRELO_SIGN_CERT and OMBRELO_SIGN_KEY go together" >&2
    exit 1
  else
    return 0
  fi
  # The password reaches osslsigncode through a file, not its command line.
  if [ -n "${OMBRELO_SIGN_PASSWORD:-}" ]; then
    (umask 077 && printf '%s' "$OMBRELO_SIGN_PASSWORD" >"$work/password")
    signing+=(-readpass "$work/password")
  fi
  signing+=(-h sha256 -n "Ombrelo Shell Extension")
  [ -z "${OMBRELO_SIGN_TIMESTAMP:-}" ] || signing+=(-ts "$OMBRELO_SIGN_TIMESTAMP")
}

sign_file() {
  [ -n "$signing" ] || return 0
  osslsigncode sign "${signing[@]}" -in "$1" -out "$1.signed" >/dev/null
  mv "$1.signed" "$1"
}

ombrelo_install_packaging
rm -rf "$work"
mkdir -p "$out" "$work"
trap 'rm -rf "$work"' EXIT
ombrelo_step "reading the signing certificate" "bash scripts/package.sh"
package_signing_setup
package_build_dlls
ombrelo_step "staging and signing the DLLs" "bash scripts/package.sh"
package_stage_files
ombrelo_step "building the identity package (.msix)" "bash scripts/package.sh"
archs=(x64 x86)
[ -z "$dll_arm64" ] || archs+=(arm64)
identity_x64=no identity_arm64=no
package_identity x64
identity_x64=$identity identity=no
if [ -n "$dll_arm64" ]; then
  package_identity arm64
  identity_arm64=$identity
fi
for arch in "${archs[@]}"; do
  identity=$identity_x64
  [ "$arch" != arm64 ] || identity=$identity_arm64
  for scope in user machine; do
    msi="$out/OmbreloShell-$version-$arch-$scope.msi"
    ombrelo_step "building the $arch-$scope package" "bash scripts/package.sh"
    package_msi "$arch" "$scope" "$msi"
    package_fix_tables "$msi"
    sign_file "$msi"
    echo "$msi"
  done
done
if [ -n "$signing" ]; then
  echo "The DLLs and the packages are signed${OMBRELO_SIGN_TIMESTAMP:+ and timestamped}; the x64 and arm64 packages register the identity package on Windows 11."
else
  echo "WARNING: the DLLs and the packages are NOT signed (no OMBRELO_SIGN_PFX or OMBRELO_SIGN_CERT/OMBRELO_SIGN_KEY given);" \
    "the x64 and arm64 packages leave out the identity package, which Windows installs only signed." >&2
fi
