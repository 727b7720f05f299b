#!/usr/bin/python3
"""Package manager manifests of a Vellora release, written from the artefacts.

  manifests.py write DIR --version X.Y.Z --epoch SECONDS --download-url URL
                         --home URL --home-ja URL
      writes DIR/winget/Korvane.Vellora*.yaml (winget multi-file manifest) and
      DIR/scoop/vellora.json from the SHA-256 of the zip and the installer in
      DIR. The same inputs give the same bytes.

  manifests.py check DIR --version X.Y.Z [--schemas FOLDER]
      prints "ok ..." or "FAIL ..." for each check: the files are all there,
      each validates against the official JSON schemas in FOLDER (skipped,
      with a note, where FOLDER is absent), and each hash is that of the file
      in DIR that its address names.

Run with Debian's python3 (python3-yaml, python3-jsonschema).
"""

import argparse
import datetime
import hashlib
import json
import os
import re
import sys
import urllib.parse

import yaml

IDENTIFIER = "Korvane.Vellora"
MANIFEST_VERSION = "1.12.0"
SCHEMA_URL = "https://aka.ms/winget-manifest.{}." + MANIFEST_VERSION + ".schema.json"
PUBLISHER = "Korvane"
LICENSE = "MIT"
COPYRIGHT = "Copyright (c) 2026 Korvane"
# Windows 10 or later, 64-bit: what the program and its installer need.
MINIMUM_OS = "10.0.0.0"
# The name of the installer's entry under ...\CurrentVersion\Uninstall.
UNINSTALL_KEY = "Vellora"
TAGS = ["mirror", "screen", "desktop", "utility"]


def exit_in_use():
    """The installer's exit code when a running Vellora would not close, from its script."""
    with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "vellora.nsi")) as f:
        return int(re.search(r"^!define EXIT_IN_USE (\d+)$", f.read(), re.M).group(1))

TEXTS = {
    "en-US": {
        "short": "A live mirror of a piece of the screen.",
        "long": (
            "Vellora turns a piece of the screen into a live mirror. It shows a borderless\n"
            "window that stays on top and, several times a second, shows the screen area on\n"
            "one side of it flipped about that edge, as if a mirror stood there. Drag it by\n"
            "its inside, size it by its edges, and right-click it to choose the side and the\n"
            "refresh rate. A band on the reflected side lets the mouse through, so you can\n"
            "keep working right at the mirror's edge. Settings are kept in the registry of\n"
            "the current user; no files are written.\n"
        ),
    },
    "ja-JP": {
        "short": "画面の一部をリアルタイムに映す鏡です。",
        "long": (
            "Vellora は画面の一部をリアルタイムの鏡に変えます。常に手前に表示される枠なしの\n"
            "ウィンドウが、その片側にある画面を 1 秒間に何回も、境界で折り返したように映します。\n"
            "内側をドラッグして移動し、周囲の枠をドラッグして大きさを変え、右クリックで映す側と\n"
            "更新頻度を選べます。映す側の境界にはマウス操作を透過する帯があるので、鏡のすぐそばで\n"
            "作業を続けられます。設定は現在のユーザーのレジストリに保存され、ファイルは作りません。\n"
        ),
    },
}


def artefact_names(version):
    return {
        "zip": f"vellora-{version}-portable.zip",
        "setup": f"vellora-{version}-setup.exe",
    }


def sha256(path):
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            digest.update(block)
    return digest.hexdigest()


# YAML as winget reads it: a date is plain text (winget's YAML has no
# timestamps), so a release date is written unquoted and read back as text.
def _without_timestamps(resolvers):
    return {
        first: [(tag, regexp) for tag, regexp in entries if tag != "tag:yaml.org,2002:timestamp"]
        for first, entries in resolvers.items()
    }


class WingetDumper(yaml.SafeDumper):
    pass


class WingetLoader(yaml.SafeLoader):
    pass


WingetDumper.yaml_implicit_resolvers = _without_timestamps(yaml.SafeDumper.yaml_implicit_resolvers)
WingetLoader.yaml_implicit_resolvers = _without_timestamps(yaml.SafeLoader.yaml_implicit_resolvers)


def _text(dumper, value):
    # Texts of several lines as literal blocks, the way people write them.
    style = "|" if "\n" in value else None
    return dumper.represent_scalar("tag:yaml.org,2002:str", value, style=style)


WingetDumper.add_representer(str, _text)


def winget_yaml(manifest_type, fields):
    body = yaml.dump(
        fields, Dumper=WingetDumper, sort_keys=False, allow_unicode=True, width=1 << 16
    )
    return (
        "# Made by scripts/release.sh from the release's own files.\n"
        f"# yaml-language-server: $schema={SCHEMA_URL.format(manifest_type)}\n\n" + body
    )


def write(args):
    release = args.dir
    version = args.version
    names = artefact_names(version)
    base = f"{args.download_url.rstrip('/')}/{version}"
    url = {kind: f"{base}/{urllib.parse.quote(name)}" for kind, name in names.items()}
    hashes = {kind: sha256(os.path.join(release, name)) for kind, name in names.items()}
    date = datetime.datetime.fromtimestamp(args.epoch, datetime.timezone.utc).date().isoformat()
    head = {"PackageIdentifier": IDENTIFIER, "PackageVersion": version}
    tail = {"ManifestType": None, "ManifestVersion": MANIFEST_VERSION}

    def manifest(manifest_type, fields):
        return winget_yaml(manifest_type, {**head, **fields, **tail, "ManifestType": manifest_type})

    files = {}
    files["winget/Korvane.Vellora.yaml"] = manifest("version", {"DefaultLocale": "en-US"})
    files["winget/Korvane.Vellora.installer.yaml"] = manifest(
        "installer",
        {
            "Platform": ["Windows.Desktop"],
            "MinimumOSVersion": MINIMUM_OS,
            "ReleaseDate": date,
            # Both installers are per user: an elevated winget refuses them
            # instead of installing into the administrator's profile and
            # starting Vellora elevated. At the top, which both installers
            # inherit: set on an installer, it was reported ignored
            # (microsoft/winget-cli#4516).
            "ElevationRequirement": "elevationProhibited",
            "Installers": [
                {
                    "Architecture": "x64",
                    "InstallerType": "nullsoft",
                    "Scope": "user",
                    "InstallerUrl": url["setup"],
                    # Upper case, as winget itself writes it.
                    "InstallerSha256": hashes["setup"].upper(),
                    "InstallModes": ["interactive", "silent", "silentWithProgress"],
                    # The installer's own switches; /D= must come last.
                    "InstallerSwitches": {
                        "Silent": "/S",
                        "SilentWithProgress": "/S",
                        "InstallLocation": "/D=<INSTALLPATH>",
                    },
                    # winget knows no codes of a nullsoft installer but those named here.
                    "ExpectedReturnCodes": [
                        {"InstallerReturnCode": exit_in_use(), "ReturnResponse": "packageInUse"}
                    ],
                    # It installs over an earlier version in its folder, closing
                    # and restarting a running copy.
                    "UpgradeBehavior": "install",
                    "ProductCode": UNINSTALL_KEY,
                    "AppsAndFeaturesEntries": [
                        {
                            "DisplayName": "Vellora",
                            "Publisher": PUBLISHER,
                            "DisplayVersion": version,
                            "ProductCode": UNINSTALL_KEY,
                        }
                    ],
                },
                {
                    "Architecture": "x64",
                    "InstallerType": "zip",
                    "NestedInstallerType": "portable",
                    "NestedInstallerFiles": [
                        {"RelativeFilePath": "vellora.exe", "PortableCommandAlias": "vellora"}
                    ],
                    "InstallerUrl": url["zip"],
                    "InstallerSha256": hashes["zip"].upper(),
                },
            ],
        },
    )
    for locale, home, manifest_type in (
        ("en-US", args.home, "defaultLocale"),
        ("ja-JP", args.home_ja, "locale"),
    ):
        fields = {
            "PackageLocale": locale,
            "Publisher": PUBLISHER,
            "PublisherUrl": home,
            "PackageName": "Vellora",
            "PackageUrl": home,
            "License": LICENSE,
            "Copyright": COPYRIGHT,
            "ShortDescription": TEXTS[locale]["short"],
            "Description": TEXTS[locale]["long"],
        }
        if manifest_type == "defaultLocale":
            fields["Moniker"] = "vellora"
        fields["Tags"] = TAGS
        fields["ReleaseNotesUrl"] = f"{base}/CHANGELOG.md"
        files[f"winget/Korvane.Vellora.locale.{locale}.yaml"] = manifest(manifest_type, fields)

    scoop = {
        "version": version,
        "description": TEXTS["en-US"]["short"],
        "homepage": args.home,
        "license": LICENSE,
        "architecture": {"64bit": {"url": url["zip"], "hash": hashes["zip"]}},
        "bin": "vellora.exe",
        "shortcuts": [["vellora.exe", "Vellora"]],
        # The home page links the newest zip.
        "checkver": {"url": args.home, "regex": r"vellora-([\d.]+)-portable\.zip"},
        "autoupdate": {
            "architecture": {
                "64bit": {
                    "url": f"{args.download_url.rstrip('/')}/$version/vellora-$version-portable.zip"
                }
            },
            # The SHA256SUMS published beside the zip names it.
            "hash": {"url": "$baseurl/SHA256SUMS"},
        },
    }
    files["scoop/vellora.json"] = json.dumps(scoop, indent=4, ensure_ascii=False) + "\n"

    for name, text in files.items():
        path = os.path.join(release, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w", encoding="utf-8", newline="\n") as f:
            f.write(text)


class Report:
    def __init__(self):
        self.failed = 0

    def check(self, passed, what):
        print(("ok   " if passed else "FAIL ") + what, flush=True)
        self.failed += 0 if passed else 1

    def note(self, what):
        print("note " + what, flush=True)


def load_schemas(folder):
    import jsonschema

    schemas = {}
    for name in (f"winget-{MANIFEST_VERSION}", "scoop"):
        path = os.path.join(folder, name)
        for file in sorted(os.listdir(path)):
            if file.endswith(".json"):
                with open(os.path.join(path, file), encoding="utf-8") as f:
                    schema = json.load(f)
                jsonschema.Draft7Validator.check_schema(schema)
                schemas[f"{name}/{file}"] = jsonschema.Draft7Validator(
                    schema, format_checker=jsonschema.FormatChecker()
                )
    return schemas


def validate(schemas, key, document, what, report):
    if schemas is None:
        return
    validator = schemas.get(key)
    if validator is None:
        report.check(False, f"{what}: no schema {key}")
        return
    errors = sorted(validator.iter_errors(document), key=lambda e: list(e.absolute_path))
    detail = "; ".join(
        f"{'/'.join(map(str, e.absolute_path)) or '(top)'}: {e.message}" for e in errors[:3]
    )
    report.check(not errors, f"{what} validates against {key}" + (f" ({detail})" if errors else ""))


def hash_matches(release, address, expected_name, stated, what, report):
    name = urllib.parse.unquote(address.rsplit("/", 1)[-1])
    path = os.path.join(release, name)
    if name != expected_name or not os.path.isfile(path):
        report.check(False, f"{what} names {name!r}, not {expected_name!r} of the release")
        return
    report.check(stated.lower() == sha256(path), f"{what}: the hash is that of {name}")


def check(args):
    release = args.dir
    version = args.version
    names = artefact_names(version)
    report = Report()
    schemas = None
    if os.path.isdir(args.schemas):
        schemas = load_schemas(args.schemas)
    else:
        report.note(f"skipped the schema check: no schemas in {args.schemas}")

    # winget: four files, one of each type, all of the same package and version.
    folder = os.path.join(release, "winget")
    expected = {
        "Korvane.Vellora.yaml": ("version", None),
        "Korvane.Vellora.installer.yaml": ("installer", None),
        "Korvane.Vellora.locale.en-US.yaml": ("defaultLocale", "en-US"),
        "Korvane.Vellora.locale.ja-JP.yaml": ("locale", "ja-JP"),
    }
    present = sorted(os.listdir(folder)) if os.path.isdir(folder) else []
    report.check(
        present == sorted(expected), f"winget/ holds the four manifests (has: {' '.join(present)})"
    )
    documents = {}
    for file, (manifest_type, locale) in expected.items():
        path = os.path.join(folder, file)
        if not os.path.isfile(path):
            continue
        with open(path, encoding="utf-8") as f:
            text = f.read()
        document = yaml.load(text, Loader=WingetLoader)
        documents[manifest_type] = document
        header = f"# yaml-language-server: $schema={SCHEMA_URL.format(manifest_type)}"
        report.check(
            header in text.splitlines()
            and document.get("ManifestType") == manifest_type
            and document.get("ManifestVersion") == MANIFEST_VERSION
            and document.get("PackageIdentifier") == IDENTIFIER
            and document.get("PackageVersion") == version
            and document.get("PackageLocale", locale) == locale,
            f"{file}: {manifest_type} manifest {MANIFEST_VERSION} of {IDENTIFIER} {version}"
            + (f" in {locale}" if locale else ""),
        )
        validate(
            schemas,
            f"winget-{MANIFEST_VERSION}/manifest.{manifest_type}.{MANIFEST_VERSION}.json",
            document,
            file,
            report,
        )
    if "version" in documents:
        report.check(
            documents["version"].get("DefaultLocale") == "en-US",
            "the default locale is en-US, which has its manifest",
        )
    installers = documents.get("installer", {}).get("Installers", [])
    by_type = {i.get("InstallerType"): i for i in installers}
    report.check(
        sorted(by_type) == ["nullsoft", "zip"] and len(installers) == 2,
        "the installer manifest has the per-user installer (nullsoft) and the zip",
    )
    for kind, installer_type in (("setup", "nullsoft"), ("zip", "zip")):
        installer = by_type.get(installer_type)
        if installer is None:
            continue
        stated = installer.get("InstallerSha256", "")
        report.check(
            stated == stated.upper(), f"{installer_type}: InstallerSha256 is upper-case hex"
        )
        hash_matches(
            release, installer.get("InstallerUrl", ""), names[kind], stated, installer_type, report
        )

    # Scoop.
    path = os.path.join(release, "scoop", "vellora.json")
    if not os.path.isfile(path):
        report.check(False, "scoop/vellora.json is there")
    else:
        with open(path, encoding="utf-8") as f:
            scoop = json.load(f)
        report.check(scoop.get("version") == version, f"scoop/vellora.json: version {version}")
        validate(schemas, "scoop/schema.json", scoop, "scoop/vellora.json", report)
        arch = scoop.get("architecture", {}).get("64bit", {})
        hash_matches(release, arch.get("url", ""), names["zip"], arch.get("hash", ""), "scoop", report)
        template = scoop.get("autoupdate", {}).get("architecture", {}).get("64bit", {}).get("url")
        report.check(
            template is not None and template.replace("$version", version) == arch.get("url"),
            "scoop: the autoupdate address gives this release's address for its version",
        )
    return 1 if report.failed else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    commands = parser.add_subparsers(dest="command", required=True)
    w = commands.add_parser("write")
    w.add_argument("dir")
    w.add_argument("--version", required=True)
    w.add_argument("--epoch", type=int, required=True)
    w.add_argument("--download-url", required=True)
    w.add_argument("--home", required=True)
    w.add_argument("--home-ja", required=True)
    c = commands.add_parser("check")
    c.add_argument("dir")
    c.add_argument("--version", required=True)
    c.add_argument("--schemas", required=True)
    args = parser.parse_args()
    if args.command == "write":
        write(args)
        return 0
    return check(args)


if __name__ == "__main__":
    sys.exit(main())
