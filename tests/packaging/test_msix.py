#!/usr/bin/env python3
"""The identity package of the Windows 11 command, built as a publisher
builds it (packaging/build-msix.py with a throwaway certificate) and read
back: its manifest against the code and the certificate, its block map
against the bytes in the zip, its signature with osslsigncode."""
import base64
import hashlib
import os
import re
import struct
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ET
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SUBJECT = "/C=DE/O=Kestrani Test/CN=Ombrelo Test Signing"
PUBLISHER = "CN=Ombrelo Test Signing, O=Kestrani Test, C=DE"
NS = {
    "m": "http://schemas.microsoft.com/appx/manifest/foundation/windows10",
    "uap": "http://schemas.microsoft.com/appx/manifest/uap/windows10",
    "uap10": "http://schemas.microsoft.com/appx/manifest/uap/windows10/10",
    "rescap": "http://schemas.microsoft.com/appx/manifest/foundation/windows10/restrictedcapabilities",
    "desktop4": "http://schemas.microsoft.com/appx/manifest/desktop/windows10/4",
    "desktop5": "http://schemas.microsoft.com/appx/manifest/desktop/windows10/5",
    "com": "http://schemas.microsoft.com/appx/manifest/com/windows10",
    "b": "http://schemas.microsoft.com/appx/2010/blockmap",
}


def code_clsid():
    """The command's class identifier as the DLL defines it."""
    with open(os.path.join(ROOT, "src", "modern", "ExplorerCommand.cpp"), encoding="utf-8") as f:
        body = re.search(r"CLSID_TExplorerCommand = \{([^;]*)\};", f.read()).group(1)
    n = [int(x, 16) for x in re.findall(r"0x([0-9A-Fa-f]+)", body)]
    return "%08X-%04X-%04X-%02X%02X-%s" % (n[0], n[1], n[2], n[3], n[4], "".join("%02X" % b for b in n[5:]))


def project_version():
    with open(os.path.join(ROOT, "CMakeLists.txt"), encoding="utf-8") as f:
        v = re.search(r"project\(\s*\S+\s+VERSION\s+([0-9.]+)", f.read()).group(1).split(".")
    return ".".join((v + ["0"] * 4)[:4])


class Package(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory()
        d = cls.dir.name
        cls.cert = os.path.join(d, "cert.pem")
        key = os.path.join(d, "key.pem")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cls.cert,
                        "-days", "2", "-subj", SUBJECT], check=True, capture_output=True)
        cls.msix = os.path.join(d, "OmbreloShell.msix")
        subprocess.run([sys.executable, os.path.join(ROOT, "packaging", "build-msix.py"), "--out", cls.msix,
                        "--cert", cls.cert, "--key", key], check=True, capture_output=True)
        cls.zip = zipfile.ZipFile(cls.msix)
        cls.manifest = ET.fromstring(cls.zip.read("AppxManifest.xml"))  # well-formed, or this fails

    @classmethod
    def tearDownClass(cls):
        cls.zip.close()
        cls.dir.cleanup()

    def test_manifest_names_the_code_s_class_the_certificate_and_the_installed_dll(self):
        m = self.manifest
        identity = m.find("m:Identity", NS)
        self.assertEqual(PUBLISHER, identity.get("Publisher"))
        self.assertEqual(project_version(), identity.get("Version"))
        self.assertEqual("neutral", identity.get("ProcessorArchitecture"))
        self.assertEqual("true", m.find("m:Properties/uap10:AllowExternalContent", NS).text)
        app = m.find("m:Applications/m:Application", NS)
        self.assertEqual(("mediumIL", "win32App"),
                         (app.get("{%s}TrustLevel" % NS["uap10"]), app.get("{%s}RuntimeBehavior" % NS["uap10"])))
        capabilities = {c.get("Name") for c in m.findall("m:Capabilities/rescap:Capability", NS)}
        self.assertEqual({"runFullTrust", "unvirtualizedResources"}, capabilities)
        visual = app.find("uap:VisualElements", NS)
        self.assertEqual("none", visual.get("AppListEntry"))
        names = set(self.zip.namelist())
        for logo in (visual.get("Square150x150Logo"), visual.get("Square44x44Logo"),
                     m.find("m:Properties/m:Logo", NS).text):
            self.assertIn(logo.replace("\\", "/"), names)

        verbs = app.findall(".//desktop4:Extension[@Category='windows.fileExplorerContextMenus']"
                            "/desktop4:FileExplorerContextMenus/desktop5:ItemType[@Type='*']/desktop5:Verb", NS)
        self.assertEqual([code_clsid()], [v.get("Clsid") for v in verbs])
        classes = app.findall(".//com:Extension[@Category='windows.comServer']/com:ComServer"
                              "/com:SurrogateServer/com:Class", NS)
        self.assertEqual([code_clsid()], [c.get("Id") for c in classes])
        # The 64-bit DLL, below the install folder that is the external location.
        path = classes[0].get("Path")
        self.assertFalse(os.path.isabs(path) or path.startswith("\\") or ".." in path, path)
        self.assertEqual("OmbreloShell.dll", path.split("\\")[-1])
        self.assertEqual(self.installed_dll(), path)

    def installed_dll(self):
        """The 64-bit DLL as the x64 installer packages install it: its name in
        INSTALLDIR64, the folder that also receives the identity package and
        the script that registers it with its own folder as the external
        location."""
        wix = "{http://schemas.microsoft.com/wix/2006/wi}"
        source = ET.parse(os.path.join(ROOT, "packaging", "OmbreloShell.wxs")).getroot()
        files = {}
        for ref in source.iter(wix + "DirectoryRef"):
            if ref.get("Id") == "INSTALLDIR64":
                for component in ref.iter(wix + "Component"):
                    files[component.get("Id")] = [f.get("Name") for f in component.iter(wix + "File")]
        self.assertEqual(["OmbreloShell.msix", "register-package.ps1"], files.get("Identity64"))
        with open(os.path.join(ROOT, "packaging", "register-package.ps1"), encoding="utf-8") as f:
            script = f.read()
        self.assertIn("-ExternalLocation $folder", script)
        self.assertIn("$folder = Split-Path -Parent $MyInvocation.MyCommand.Path", script)
        self.assertEqual(1, len(files.get("Extension64", [])))
        return files["Extension64"][0]

    def test_block_map_hashes_every_64k_block_of_every_payload_file(self):
        raw = open(self.msix, "rb").read()
        block_map = ET.fromstring(self.zip.read("AppxBlockMap.xml"))
        self.assertEqual("http://www.w3.org/2001/04/xmlenc#sha256", block_map.get("HashMethod"))
        mapped = {}
        for f in block_map.findall("b:File", NS):
            mapped[f.get("Name").replace("\\", "/")] = f
        payload = [i for i in self.zip.infolist()
                   if i.filename not in ("AppxBlockMap.xml", "[Content_Types].xml", "AppxSignature.p7x")]
        self.assertEqual(sorted(i.filename for i in payload), sorted(mapped))
        for info in payload:
            data = self.zip.read(info)
            f = mapped[info.filename]
            self.assertEqual(len(data), int(f.get("Size")), info.filename)
            name_length, extra_length = struct.unpack("<HH", raw[info.header_offset + 26:info.header_offset + 30])
            self.assertEqual(30 + name_length + extra_length, int(f.get("LfhSize")), info.filename)
            hashes = [b.get("Hash") for b in f.findall("b:Block", NS)]
            expected = [base64.b64encode(hashlib.sha256(data[at:at + 65536]).digest()).decode()
                        for at in range(0, len(data), 65536)]
            self.assertEqual(expected, hashes, info.filename)
        for info in self.zip.infolist():
            if info.filename != "AppxSignature.p7x":
                self.assertEqual(zipfile.ZIP_STORED, info.compress_type, info.filename)
        self.assertIsNone(self.zip.testzip())  # every entry reads back with its CRC
        types = ET.fromstring(self.zip.read("[Content_Types].xml"))
        parts = {o.get("PartName") for o in types}
        self.assertTrue({"/AppxManifest.xml", "/AppxBlockMap.xml", "/AppxSignature.p7x"} <= parts, parts)

    def test_osslsigncode_accepts_the_signature(self):
        result = subprocess.run(["osslsigncode", "verify", "-in", self.msix, "-CAfile", self.cert],
                                capture_output=True, text=True)
        self.assertEqual(0, result.returncode, result.stdout + result.stderr)
        self.assertIn("Signature verification: ok", result.stdout)


class Password(unittest.TestCase):
    """An encrypted key's password reaches the signing tools without
    appearing on any command line: wrappers of openssl and osslsigncode
    record the command line of every call."""

    def test_the_password_is_on_no_command_line_and_the_package_is_signed(self):
        password = "Pw-4f1c2e-on-no-command-line"
        with tempfile.TemporaryDirectory() as d:
            cert, key, log = (os.path.join(d, n) for n in ("cert.pem", "key.pem", "calls.log"))
            env = dict(os.environ, OMBRELO_TEST_PASSWORD=password)
            subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-keyout", key, "-out", cert,
                            "-days", "2", "-subj", SUBJECT, "-passout", "env:OMBRELO_TEST_PASSWORD"],
                           check=True, capture_output=True, env=env)
            tools = os.path.join(d, "bin")
            os.mkdir(tools)
            for tool in ("openssl", "osslsigncode"):
                real = subprocess.run(["which", tool], check=True, capture_output=True, text=True).stdout.strip()
                wrapper = os.path.join(tools, tool)
                with open(wrapper, "w", encoding="utf-8") as f:
                    f.write('#!/bin/sh\nprintf "%%s\\n" "$0 $*" >>"%s"\nexec "%s" "$@"\n' % (log, real))
                os.chmod(wrapper, 0o755)
            msix = os.path.join(d, "signed.msix")
            env = dict(os.environ, OMBRELO_SIGN_PASSWORD=password, PATH=tools + os.pathsep + os.environ["PATH"])
            result = subprocess.run([sys.executable, os.path.join(ROOT, "packaging", "build-msix.py"), "--out", msix,
                                     "--cert", cert, "--key", key], capture_output=True, text=True, env=env)
            self.assertEqual(0, result.returncode, result.stdout + result.stderr)
            with open(log, encoding="utf-8") as f:
                calls = f.read()
            self.assertIn("osslsigncode sign", calls)
            self.assertNotIn(password, calls)
            verified = subprocess.run(["osslsigncode", "verify", "-in", msix, "-CAfile", cert],
                                      capture_output=True, text=True)
            self.assertIn("Signature verification: ok", verified.stdout, verified.stdout + verified.stderr)


if __name__ == "__main__":
    unittest.main()
