#!/usr/bin/python3
"""The release's SBOM: an SPDX 2.3 document (tag-value) of the source tarball, with each of its
files, and of every other file of dist/, each with its checksum and licence.

  sbom.py make DIST TARBALL REUSE_SPDX LICENSES CREATED > DOCUMENT
  sbom.py check DIST DOCUMENT

make reads the tarball itself for the source's files, and takes each file's licence and
copyright from REUSE_SPDX (what `reuse spdx` says of the unpacked tarball), the source's
licence from its files', and each other file's licence from LICENSES (lines "FILE
EXPRESSION"). check reads the document back and fails, naming what is wrong, on anything a
validator of the format would refuse and on any checksum, file or licence that does not match
dist/. Licence expressions are checked by
license_expression, which reuse itself uses (Debian's python3-license-expression)."""
import hashlib
import re
import sys
import tarfile
import uuid
from pathlib import Path

from license_expression import get_spdx_licensing

SUPPLIER = "Organization: urisplit developers"
# Files REUSE leaves out by rule: licence texts, its own configuration, empty files.
OUTSIDE_REUSE = re.compile(r"(^|/)(LICENSE|COPYING)[^/]*$|^LICENSES/|^\.reuse/")
# Not software: the sums over the document and their signature, and the record of the build.
UNLISTED = re.compile(r"SHA256SUMS.*|.*\.buildinfo")


def described(dist, document_name):
    """The files of dist/ the document describes, in name order."""
    return sorted(p for p in Path(dist).iterdir() if p.name != document_name and
                  not UNLISTED.fullmatch(p.name))


def sha(path_or_bytes, algorithm="sha256"):
    data = path_or_bytes if isinstance(path_or_bytes, bytes) else Path(path_or_bytes).read_bytes()
    return hashlib.new(algorithm, data).hexdigest()


def tarball_files(tarball):
    """Each regular file of the tarball, as its path below the top folder and its SHA1."""
    with tarfile.open(tarball) as archive:
        return {member.name.split("/", 1)[1]: sha(archive.extractfile(member).read(), "sha1")
                for member in archive if member.isfile()}


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


def purpose(file_name, source):
    if source:
        return "SOURCE"
    return "ARCHIVE" if file_name.endswith(".tar.gz") else "INSTALL"


def records(text):
    """The document as (tag, value) pairs; a <text>...</text> value may span lines."""
    pairs, lines = [], iter(text.splitlines())
    for line in lines:
        if not line.strip() or line.startswith("#"):
            continue
        tag, _, value = line.partition(": ")
        while value.startswith("<text>") and not value.endswith("</text>"):
            value += "\n" + next(lines)
        pairs.append((tag, value))
    return pairs


def make(dist, tarball, reuse_spdx, licenses_file, created):
    tarball = Path(tarball)
    version = re.fullmatch(r"urisplit-(.+)\.tar\.gz", tarball.name).group(1)
    document_name = f"urisplit-{version}.spdx"
    licenses = dict(line.split(" ", 1) for line in Path(licenses_file).read_text().splitlines())
    files = tarball_files(tarball)
    reuse_files, tool = {}, "Tool: reuse"
    for block in Path(reuse_spdx).read_text().split("\n\n"):
        if block.startswith("FileName: ./"):
            reuse_files[block.split("\n", 1)[0][len("FileName: ./"):]] = block.strip()
        tool = next((line[len("Creator: "):] for line in block.splitlines()
                     if line.startswith("Creator: Tool:")), tool)
    artifacts = described(dist, document_name)
    sums = "".join(f"{sha(path)}  {path.name}\n" for path in artifacts)
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
        license = licenses.get(path.name)
        if source:
            code = sha("".join(sorted(files.values())).encode(), "sha1")
            found = sorted(set(re.findall(r"^LicenseInfoInFile: (.+)$",
                                          "\n".join(reuse_files.values()), re.M)))
            license = " AND ".join(found)
            out.append(f"PackageVerificationCode: {code}")
            out += [f"PackageLicenseInfoFromFiles: {name}" for name in found]
        elif not license:
            sys.exit(f"no licence is known for {path.name}")
        out += [f"PackageChecksum: SHA256: {sha(path)}", f"PackageLicenseConcluded: {license}",
                f"PackageLicenseDeclared: {license}", "PackageCopyrightText: NOASSERTION",
                f"PrimaryPackagePurpose: {purpose(path.name, source)}", ""]
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


def check(dist, document):
    errors = []
    pairs = records(Path(document).read_text())
    licensing = get_spdx_licensing()

    def valid_expression(expression, allow_unknown):
        if allow_unknown and expression in ("NOASSERTION", "NONE"):
            return True
        try:
            return not licensing.validate(expression).errors
        except Exception:  # the parser raises on malformed expressions
            return False

    first_package = next((i for i, (tag, _) in enumerate(pairs) if tag == "PackageName"), 0)
    header = dict(pairs[:first_package])
    for tag, wanted in (("SPDXVersion", "SPDX-2.3"), ("DataLicense", "CC0-1.0"),
                        ("SPDXID", "SPDXRef-DOCUMENT")):
        if header.get(tag) != wanted:
            errors.append(f"{tag} is {header.get(tag)!r}, not {wanted}")
    if not re.fullmatch(r"[a-z][a-z0-9+.-]*://[^\s#]+", header.get("DocumentNamespace", "")):
        errors.append(f"DocumentNamespace {header.get('DocumentNamespace')!r} is no absolute URI")
    if not re.fullmatch(r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ", header.get("Created", "")):
        errors.append("Created is missing or not in UTC to the second")
    if not any(tag == "Creator" for tag, _ in pairs):
        errors.append("no Creator")
    # Packages and files, each a group of pairs that begins with its name.
    groups, ids = [], set()
    for tag, value in pairs:
        if tag in ("PackageName", "FileName"):
            groups.append({"kind": tag})
        if groups and tag not in ("Relationship",):
            groups[-1].setdefault(tag, []).append(value)
        if tag == "SPDXID":
            if not re.fullmatch(r"SPDXRef-[A-Za-z0-9.-]+", value) or value in ids:
                errors.append(f"SPDXID {value} is malformed or not unique")
            ids.add(value)
    packages = [g for g in groups if g["kind"] == "PackageName"]
    files = [g for g in groups if g["kind"] == "FileName"]
    for package in packages:
        name = package.get("PackageFileName", ["?"])[0]
        for tag in ("SPDXID", "PackageDownloadLocation", "PackageChecksum",
                    "PackageLicenseConcluded", "PackageLicenseDeclared", "PackageCopyrightText"):
            if tag not in package:
                errors.append(f"{name}: no {tag}")
        path = Path(dist, name)
        if not path.is_file() or package.get("PackageChecksum") != [f"SHA256: {sha(path)}"]:
            errors.append(f"{name}: not in dist/, or its checksum differs")
        for tag in ("PackageLicenseConcluded", "PackageLicenseDeclared"):
            if not valid_expression(package.get(tag, [""])[0], False):
                errors.append(f"{name}: {tag} {package.get(tag)} is no SPDX licence expression")
    listed = sorted(p["PackageFileName"][0] for p in packages if "PackageFileName" in p)
    on_disk = sorted(p.name for p in described(dist, Path(document).name))
    if listed != on_disk:
        errors.append(f"the packages {listed} are not the files of dist/ {on_disk}")
    # The source's files are the tarball's, with the same SHA1s, each under a licence unless
    # REUSE leaves it out by rule; the verification code is theirs.
    source = next((p for p in packages if p.get("FilesAnalyzed") == ["true"]), None)
    if source is None:
        errors.append("no package of the source with its files")
    else:
        in_tarball = tarball_files(Path(dist, source["PackageFileName"][0]))
        in_document = {f["FileName"][0][2:]: f for f in files}
        if sorted(in_document) != sorted(in_tarball):
            extra = sorted(set(in_document) ^ set(in_tarball))[:5]
            errors.append(f"the source's files are not the tarball's: {extra}")
        code = sha("".join(sorted(in_tarball.values())).encode(), "sha1")
        if source.get("PackageVerificationCode") != [code]:
            errors.append("the source's PackageVerificationCode is not its files'")
        if not source.get("PackageLicenseInfoFromFiles"):
            errors.append("the source has no PackageLicenseInfoFromFiles")
        for name, entry in in_document.items():
            if entry.get("FileChecksum") != [f"SHA1: {in_tarball.get(name)}"]:
                errors.append(f"./{name}: its SHA1 is not the tarball's")
            licenses = entry.get("LicenseInfoInFile", [])
            outside = OUTSIDE_REUSE.search(name) or entry.get("FileChecksum") == [
                "SHA1: " + hashlib.sha1(b"").hexdigest()]
            if not licenses or not all(valid_expression(l, outside) for l in licenses):
                errors.append(f"./{name}: no licence, or not an SPDX one: {licenses}")
    for tag, value in pairs:
        if tag == "Relationship":
            left, kind, right = value.split()
            if left not in ids | {"SPDXRef-DOCUMENT"} or right not in ids:
                errors.append(f"Relationship {value} names an unknown element")
    described_ids = {v.split()[2] for t, v in pairs if t == "Relationship" and "DESCRIBES" in v}
    if described_ids != {p["SPDXID"][0] for p in packages}:
        errors.append("the document does not describe each package")
    for error in errors[:20]:
        print(f"{Path(document).name}: {error}", file=sys.stderr)
    if errors:
        sys.exit(1)
    print(f"{Path(document).name}: SPDX 2.3, {len(packages)} packages, {len(files)} files of the "
          "source, every checksum and licence as in dist/")


if __name__ == "__main__":
    {"make": make, "check": check}[sys.argv[1]](*sys.argv[2:])
