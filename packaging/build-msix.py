#!/usr/bin/env python3
"""Builds the identity package of the Windows 11 menu command:
build/package/OmbreloShell-<version>.msix, a package with external content
(the install folder) that holds only its manifest and logos.

The package is a ZIP file whose entries are stored uncompressed: the
payload (AppxManifest.xml and the logos), AppxBlockMap.xml with the SHA-256
of every 64 KiB block of each payload file, and [Content_Types].xml. The
Windows SDK's MakeAppx does this on Windows only; here Python's zipfile
writes the same layout. With --cert and --key the package is signed with
osslsigncode (which signs APPX/MSIX packages from version 2.6 on), and the
manifest's Publisher is the certificate's subject, as Windows requires.

Usage: build-msix.py [--out FILE] [--version V] [--cert CERT.pem [--key KEY.pem]]
                     [--publisher SUBJECT] [--to-be-signed] [--arch neutral|arm64]
--arch arm64 names the ARM64 DLL's package: ProcessorArchitecture arm64, so
that only ARM64 Windows installs it beside the ARM64 installation.
--cert without --key only gives the Publisher; --to-be-signed prepares the
package for a signature made afterwards (by scripts/package.sh).
The password of an encrypted key comes from the environment variable
OMBRELO_SIGN_PASSWORD and reaches osslsigncode through a pipe (-readpass
/dev/fd/N), never on a command line, which every process of the machine
can read.
"""
import argparse
import base64
import hashlib
import os
import re
import subprocess
import sys
import tempfile
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BLOCK = 65536
# The 64-bit DLL and the main program, relative to the package's external
# location: the folder the installer puts the 64-bit DLL in, where the
# extension also looks for the main program.
DLL_IN_INSTALL_FOLDER = "OmbreloShell.dll"
EXECUTABLE_IN_INSTALL_FOLDER = "Ombrelo.exe"
# The publisher of an unsigned package (for looking at it; Windows installs
# only signed ones).
UNSIGNED_PUBLISHER = "CN=Ombrelo Development"
STAMP = (1980, 1, 1, 0, 0, 0)


def project_version():
    """The one project version, from CMakeLists.txt."""
    with open(os.path.join(ROOT, "CMakeLists.txt"), encoding="utf-8") as f:
        match = re.search(r"project\(\s*\S+\s+VERSION\s+([0-9.]+)", f.read())
    if not match:
        sys.exit("build-msix.py: no project version in CMakeLists.txt")
    return match.group(1)


def package_version(version):
    """A package version has four numbers."""
    if not re.fullmatch(r"[0-9]+(\.[0-9]+){0,3}", version):
        sys.exit("build-msix.py: bad version '%s'" % version)
    parts = (version.split(".") + ["0", "0", "0"])[:4]
    return ".".join(str(int(p)) for p in parts)


def certificate_subject(cert):
    """The certificate's subject as Windows writes it: "CN=..., O=..., C=..."."""
    out = subprocess.run(["openssl", "x509", "-in", cert, "-noout", "-subject", "-nameopt", "RFC2253"],
                         check=True, capture_output=True, text=True).stdout.strip()
    subject = out.split("=", 1)[1] if out.startswith("subject=") else out
    # RFC 2253 separates with "," and escapes a comma inside a value as "\,".
    parts = re.split(r"(?<!\\),", subject)
    return ", ".join(p.strip() for p in parts)


def manifest(version, publisher, arch="neutral"):
    with open(os.path.join(ROOT, "packaging", "AppxManifest.xml"), encoding="utf-8") as f:
        text = f.read()
    text = text.replace('ProcessorArchitecture="neutral"', 'ProcessorArchitecture="%s"' % arch)
    for key, value in (("@VERSION@", version), ("@PUBLISHER@", xml_escape(publisher)),
                       ("@DLL@", DLL_IN_INSTALL_FOLDER), ("@EXECUTABLE@", EXECUTABLE_IN_INSTALL_FOLDER)):
        text = text.replace(key, value)
    return text.encode("utf-8")


def xml_escape(text):
    return text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;").replace('"', "&quot;")


def logos():
    """The logos, drawn by our own script."""
    with tempfile.TemporaryDirectory() as folder:
        subprocess.run([sys.executable, os.path.join(ROOT, "tools", "icons", "make_package_logos.py"), folder],
                       check=True)
        return {"Assets/" + name: open(os.path.join(folder, name), "rb").read() for name in sorted(os.listdir(folder))}


def block_map(files):
    """AppxBlockMap.xml for the payload: each file's size, local header size
    and the SHA-256 of each of its 64 KiB blocks."""
    lines = ['<?xml version="1.0" encoding="UTF-8" standalone="no"?>',
             '<BlockMap xmlns="http://schemas.microsoft.com/appx/2010/blockmap" '
             'HashMethod="http://www.w3.org/2001/04/xmlenc#sha256">']
    for name, data in files:
        lfh = 30 + len(name.encode("utf-8"))  # entries carry no extra field
        lines.append('<File Name="%s" Size="%d" LfhSize="%d">' % (xml_escape(name.replace("/", "\\")), len(data), lfh))
        for at in range(0, len(data), BLOCK):
            digest = base64.b64encode(hashlib.sha256(data[at:at + BLOCK]).digest()).decode("ascii")
            lines.append('<Block Hash="%s"/>' % digest)
        lines.append("</File>")
    lines.append("</BlockMap>")
    return ("\r\n".join(lines) + "\r\n").encode("utf-8")


def content_types(signed):
    """[Content_Types].xml. A package to be signed names its signature part
    already: osslsigncode would otherwise rewrite this entry, and it writes
    a deflated entry marked as stored (2.9), which breaks the package."""
    signature = ('<Override PartName="/AppxSignature.p7x" ContentType="application/vnd.ms-appx.signature"/>'
                 if signed else "")
    return ('<?xml version="1.0" encoding="UTF-8"?>\r\n'
            '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
            '<Default Extension="png" ContentType="image/png"/>'
            '<Override PartName="/AppxManifest.xml" ContentType="application/vnd.ms-appx.manifest+xml"/>'
            '<Override PartName="/AppxBlockMap.xml" ContentType="application/vnd.ms-appx.blockmap+xml"/>' +
            signature + '</Types>\r\n').encode("utf-8")


def write_package(path, payload, signed):
    with zipfile.ZipFile(path, "w", zipfile.ZIP_STORED) as z:
        entries = payload + [("AppxBlockMap.xml", block_map(payload)), ("[Content_Types].xml", content_types(signed))]
        for name, data in entries:
            info = zipfile.ZipInfo(name, STAMP)
            info.compress_type = zipfile.ZIP_STORED
            info.create_system = 0
            z.writestr(info, data)


def sign(command, password):
    """Runs osslsigncode; a password goes to it through a pipe that only it
    inherits, and is written before it starts (a password fits the pipe's
    buffer), so nothing of it is on disk or on a command line."""
    if not password:
        return subprocess.run(command, capture_output=True, text=True)
    data = password.encode("utf-8")
    if len(data) > 4096:
        sys.exit("build-msix.py: OMBRELO_SIGN_PASSWORD is longer than 4096 bytes")
    read, write = os.pipe()
    try:
        with os.fdopen(write, "wb") as w:
            write = -1
            w.write(data)
        command = command[:2] + ["-readpass", "/dev/fd/%d" % read] + command[2:]
        return subprocess.run(command, capture_output=True, text=True, pass_fds=(read,))
    finally:
        os.close(read)
        if write >= 0:
            os.close(write)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", help="the package file (default build/package/OmbreloShell-<version>.msix)")
    parser.add_argument("--version", help="the package version (default: the project version)")
    parser.add_argument("--cert", help="signing certificate (PEM); its subject becomes the Publisher")
    parser.add_argument("--key", help="the certificate's private key (PEM): sign the package with it")
    parser.add_argument("--publisher", help="the Publisher, when no certificate is given")
    parser.add_argument("--to-be-signed", action="store_true", help="prepare for a signature made afterwards")
    parser.add_argument("--arch", choices=("neutral", "arm64"), default="neutral",
                        help="arm64: the package of the ARM64 installation (OmbreloShell-<version>-arm64.msix)")
    args = parser.parse_args()
    if args.key and not args.cert:
        parser.error("--key needs --cert")

    version = package_version(args.version or project_version())
    suffix = "-arm64" if args.arch == "arm64" else ""
    out = args.out or os.path.join(ROOT, "build", "package", "OmbreloShell-%s%s.msix" % (version, suffix))
    os.makedirs(os.path.dirname(os.path.abspath(out)), exist_ok=True)
    publisher = certificate_subject(args.cert) if args.cert else args.publisher or UNSIGNED_PUBLISHER
    payload = [("AppxManifest.xml", manifest(version, publisher, args.arch))] + sorted(logos().items())

    if not args.key:
        write_package(out, payload, args.to_be_signed)
        print(out + (" (to be signed)" if args.to_be_signed else " (unsigned)"))
        return
    unsigned = out + ".unsigned"
    write_package(unsigned, payload, True)
    command = ["osslsigncode", "sign", "-certs", args.cert, "-key", args.key, "-h", "sha256",
               "-in", unsigned, "-out", out]
    if os.path.exists(out):
        os.remove(out)
    try:
        result = sign(command, os.environ.get("OMBRELO_SIGN_PASSWORD", ""))
    finally:
        os.remove(unsigned)
    if result.returncode != 0:
        sys.exit("build-msix.py: osslsigncode failed:\n" + result.stdout + result.stderr)
    print(out + " (signed by " + publisher + ")")


if __name__ == "__main__":
    main()
