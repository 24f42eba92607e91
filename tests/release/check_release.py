"""Checks a release folder against its dist/:
    python3 check_release.py DIST RELEASE VERSION DOWNLOAD_BASE
- the zip holds exactly dist/'s files, byte for byte;
- the package manifest (release/winget/) is three well-formed YAML files with
  the fields that the schema requires, one identifier and version, and the
  SHA-256 of the installer beside it.
Prints each failure; exits 1 if there was any."""
import hashlib
import os
import re
import sys
import zipfile

import yaml

dist, release, version, download_base = sys.argv[1:5]
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


setup_name = f"SwivoSetup-{version}.exe"
with open(os.path.join(release, setup_name), "rb") as f:
    setup_sha256 = hashlib.sha256(f.read()).hexdigest().upper()

with zipfile.ZipFile(os.path.join(release, f"Swivo-{version}.zip")) as z:
    zipped = {name: z.read(name) for name in z.namelist()}
shipped = {}
for name in os.listdir(dist):
    with open(os.path.join(dist, name), "rb") as f:
        shipped[name] = f.read()
check(sorted(zipped) == sorted(shipped), f"the zip holds {sorted(zipped)}, dist/ {sorted(shipped)}")
for name in set(zipped) & set(shipped):
    check(zipped[name] == shipped[name], f"the zip's {name} is not dist/'s")

# The fields that the community repository's schema (1.12.0) requires.
required = {
    "version": ["PackageIdentifier", "PackageVersion", "DefaultLocale", "ManifestType", "ManifestVersion"],
    "installer": ["PackageIdentifier", "PackageVersion", "Installers", "ManifestType", "ManifestVersion"],
    "defaultLocale": ["PackageIdentifier", "PackageVersion", "PackageLocale", "Publisher", "PackageName",
                      "License", "ShortDescription", "ManifestType", "ManifestVersion"],
}
winget = os.path.join(release, "winget")
names = sorted(os.listdir(winget))
check(len(names) == 3, f"the manifest is {names}, not three files")
manifests = {}
for name in names:
    with open(os.path.join(winget, name), encoding="utf-8") as f:
        try:
            document = yaml.safe_load(f)
        except yaml.YAMLError as error:
            check(False, f"{name} is not well-formed YAML: {error}")
            continue
    check(isinstance(document, dict), f"{name} is not a mapping")
    if isinstance(document, dict):
        manifests[document.get("ManifestType")] = (name, document)
check(sorted(manifests) == sorted(required), f"manifest types {sorted(manifests)}")

identifier_pattern = re.compile(r"^[^.\s\\/:*?\"<>|\x01-\x1f]{1,32}(\.[^.\s\\/:*?\"<>|\x01-\x1f]{1,32}){1,7}$")
for kind, (name, document) in manifests.items():
    for field in required.get(kind, []):
        check(document.get(field) not in (None, ""), f"{name} lacks {field}")
    check(document.get("ManifestVersion") == "1.12.0", f"{name}: ManifestVersion {document.get('ManifestVersion')!r}")
    check(str(document.get("PackageVersion")) == version, f"{name}: PackageVersion {document.get('PackageVersion')!r}")
    identifier = str(document.get("PackageIdentifier"))
    check(identifier_pattern.match(identifier) is not None, f"{name}: PackageIdentifier {identifier!r}")
    check(name == identifier + {"version": ".yaml", "installer": ".installer.yaml",
                                "defaultLocale": ".locale.en-US.yaml"}.get(kind, ""),
          f"{name} is not named after its identifier and type")
check(len({str(d.get("PackageIdentifier")) for _, d in manifests.values()}) == 1, "the identifiers differ")

# Each installer's own required fields; the installer's hash, and its address
# from the build's setting.
for item in (manifests.get("installer", ("", {}))[1].get("Installers") or [{}]):
    for field in ("Architecture", "InstallerUrl", "InstallerSha256"):
        check(item.get(field), f"an installer lacks {field}")
    check(str(item.get("InstallerSha256")).upper() == setup_sha256,
          f"InstallerSha256 {item.get('InstallerSha256')}, the installer's is {setup_sha256}")
    check(item.get("InstallerUrl") == f"{download_base}/{setup_name}", f"InstallerUrl {item.get('InstallerUrl')}")

if "version" in manifests and "defaultLocale" in manifests:
    check(manifests["version"][1].get("DefaultLocale") == manifests["defaultLocale"][1].get("PackageLocale"),
          "the version manifest's DefaultLocale is not the locale manifest's")

for failure in failures:
    print("FAILED:", failure, file=sys.stderr)
print(f"release: {len(zipped)} files in the zip, manifest of {len(manifests)} files: "
      f"{'every check passed' if not failures else str(len(failures)) + ' failed'}")
sys.exit(1 if failures else 0)
