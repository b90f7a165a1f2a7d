# Registers the identity package of the Windows 11 command for the current
# user (-Register), with this script's folder, where the 64-bit DLL lies, as
# its external location; or removes it (-Unregister). The installer runs it
# as a deferred, impersonated custom action whose failure it ignores.
#
# Only Windows 11 (build 22000 or later) has the menu the package is for.
# Windows Installer's own version properties stop at Windows 8.1, so the
# build is read here, from the system.
param([switch]$Register, [switch]$Unregister)

$name = 'Kestrani.OmbreloShell'
$folder = Split-Path -Parent $MyInvocation.MyCommand.Path
if ([Environment]::OSVersion.Version.Build -lt 22000) { exit 0 }
try {
    if ($Register) {
        Add-AppxPackage -Path (Join-Path $folder 'OmbreloShell.msix') -ExternalLocation $folder -ErrorAction Stop
    }
    if ($Unregister) {
        Get-AppxPackage -Name $name | Remove-AppxPackage -ErrorAction Stop
    }
} catch {
    # The extension works without the package (under "Show more options").
    Write-Warning $_
}
exit 0
