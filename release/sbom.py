#!/usr/bin/python3
"""The release's SBOM: an SPDX 2.3 document (tag-value) of the source tarball, with each of its
files, and of every other file of dist/, each with its checksum and licence.

  sbom.py DIST TARBALL REUSE_SPDX LICENSES CREATED > DOCUMENT

It reads the tarball itself for the source's files, and takes each file's licence and copyright
from REUSE_SPDX (what `reuse spdx` says of the unpacked tarball), the source's licence from its
files', and each other file's licence from LICENSES (lines "FILE EXPRESSION"). It refuses a
licence expression that license_expression, which reuse itself uses, finds wrong."""
import hashlib
import re
import sys
import tarfile
import uuid
from pathlib import Path

from license_expression import get_spdx_licensing

SUPPLIER = "Organization: urisplit developers"
# Not software: the sums over the document and their signature, and the record of the build.
UNLISTED = re.compile(r"SHA256SUMS.*|.*\.buildinfo")


def sha(data, algorithm="sha256"):
    return hashlib.new(algorithm, data).hexdigest()


def spdx_id(name):
    return "SPDXRef-" + re.sub(r"[^A-Za-z0-9.-]", "-", name)


def package_name(file_name):
    """The name of the package a file of dist/ holds, after its format's naming rule."""
    for pattern in (r"(.+?)_[^_]+_[^_]+\.deb", r"(.+?)-[^-]+-[^-]+\.[^.]+\.rpm",
                    r"(.+?)-\d[^-]*(-.+)?\.tar\.gz"):
        match = re.fullmatch(pattern, file_name)
        if match:
            return match.group(1)
    return file_name


def checked(expression):
    if get_spdx_licensing().validate(expression).errors:
        sys.exit(f"{expression!r} is no SPDX licence expression")
    return expression


def main(dist, tarball, reuse_spdx, licenses_file, created):
    tarball = Path(tarball)
    version = re.fullmatch(r"urisplit-(.+)\.tar\.gz", tarball.name).group(1)
    licenses = dict(line.split(" ", 1) for line in Path(licenses_file).read_text().splitlines())
    with tarfile.open(tarball) as archive:
        files = {member.name.split("/", 1)[1]: sha(archive.extractfile(member).read(), "sha1")
                 for member in archive if member.isfile()}
    reuse_files, tool = {}, "Tool: reuse"
    for block in Path(reuse_spdx).read_text().split("\n\n"):
        if block.startswith("FileName: ./"):
            reuse_files[block.split("\n", 1)[0][len("FileName: ./"):]] = block.strip()
        tool = next((line[len("Creator: "):] for line in block.splitlines()
                     if line.startswith("Creator: Tool:")), tool)
    artifacts = sorted(p for p in Path(dist).iterdir() if not UNLISTED.fullmatch(p.name)
                       and p.suffix != ".spdx")
    sums = "".join(f"{sha(path.read_bytes())}  {path.name}\n" for path in artifacts)
    out = [
        "SPDXVersion: SPDX-2.3", "DataLicense: CC0-1.0", "SPDXID: SPDXRef-DOCUMENT",
        f"DocumentName: urisplit-{version}",
        "DocumentNamespace: https://spdx.org/spdxdocs/urisplit-"
        f"{version}-{uuid.uuid5(uuid.NAMESPACE_URL, sums)}",
        f"Creator: {SUPPLIER}", f"Creator: {tool}", f"Created: {created}",
        f"DocumentComment: <text>The release of urisplit {version}: its source and every file "
        "built from it.</text>", ""]
    for path in [tarball] + [p for p in artifacts if p != tarball]:
        source = path == tarball
        out += [f"PackageName: {package_name(path.name)}", f"SPDXID: {spdx_id(path.name)}",
                f"PackageVersion: {version}", f"PackageFileName: {path.name}",
                f"PackageSupplier: {SUPPLIER}", "PackageDownloadLocation: NOASSERTION",
                f"FilesAnalyzed: {'true' if source else 'false'}"]
        if source:
            found = sorted(set(re.findall(r"^LicenseInfoInFile: (.+)$",
                                          "\n".join(reuse_files.values()), re.M)))
            license = " AND ".join(found)
            out.append(f"PackageVerificationCode: {sha(''.join(sorted(files.values())).encode(), 'sha1')}")
            out += [f"PackageLicenseInfoFromFiles: {name}" for name in found]
        elif path.name in licenses:
            license = licenses[path.name]
        else:
            sys.exit(f"no licence is known for {path.name}")
        out += [f"PackageChecksum: SHA256: {sha(path.read_bytes())}",
                f"PackageLicenseConcluded: {checked(license)}",
                f"PackageLicenseDeclared: {license}", "PackageCopyrightText: NOASSERTION",
                "PrimaryPackagePurpose: " + ("SOURCE" if source else
                                            "ARCHIVE" if path.name.endswith(".tar.gz") else "INSTALL"), ""]
        if source:
            for name in sorted(files):
                out.append(reuse_files.get(name) or "\n".join([
                    f"FileName: ./{name}", f"SPDXID: SPDXRef-{sha(name.encode(), 'md5')}",
                    f"FileChecksum: SHA1: {files[name]}", "LicenseConcluded: NOASSERTION",
                    "LicenseInfoInFile: NOASSERTION", "FileCopyrightText: NOASSERTION",
                    "FileComment: <text>Outside REUSE: a licence text, REUSE's own file, or "
                    "empty.</text>"]))
                out.append("")
    for path in artifacts:
        out.append(f"Relationship: SPDXRef-DOCUMENT DESCRIBES {spdx_id(path.name)}")
        if path != tarball:
            out.append(f"Relationship: {spdx_id(path.name)} GENERATED_FROM {spdx_id(tarball.name)}")
    print("\n".join(out))


if __name__ == "__main__":
    main(*sys.argv[1:])
