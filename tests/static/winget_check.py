#!/usr/bin/env python3
"""The three files of a winget manifest, read by a YAML parser and held to the format's rules.

  winget_check.py RULES DIR [--output FILE] [SCOPE.FIELD=VALUE ...]

RULES is tests/data/winget-1.10.0-rules.txt; DIR holds the three files and nothing else.
--output: InstallerSha256 must be FILE's. SCOPE.FIELD=VALUE: the field reads back as VALUE
(a text; empty: the field is absent); SCOPE is version, installer, defaultLocale, installers
(the first installer), switches (its InstallerSwitches) or apps (its first AppsAndFeaturesEntries).
Prints every failure and exits 1 when there is one."""
import hashlib
import os
import re
import sys

import yaml


def load(dir_):
    names = sorted(os.listdir(dir_))
    docs = {}
    for name in names:
        with open(os.path.join(dir_, name), encoding="utf-8") as f:
            doc = yaml.safe_load(f)
        docs[doc.get("ManifestType")] = (name, doc)
    return names, docs


def scopes(docs):
    installer = docs["installer"][1]
    first = (installer.get("Installers") or [{}])[0]
    return {
        "version": [docs["version"][1]],
        "installer": [installer],
        "defaultLocale": [docs["defaultLocale"][1]],
        "installers": installer.get("Installers") or [],
        "returnCodes": [c for i in installer.get("Installers") or [] for c in i.get("ExpectedReturnCodes") or []],
        "switches": [first.get("InstallerSwitches") or {}],
        "apps": [(first.get("AppsAndFeaturesEntries") or [{}])[0]],
    }


def check(kind, args, value):
    if kind == "text":
        return isinstance(value, str) and int(args[0]) <= len(value) <= int(args[1])
    if kind == "pattern":
        return isinstance(value, str) and re.search(args[0], value) is not None
    if kind == "oneof":
        return isinstance(value, str) and value in args
    if kind == "integer":
        return isinstance(value, int) and not isinstance(value, bool)
    if kind == "list":
        return isinstance(value, list) and len(value) >= int(args[0])
    raise SystemExit("unknown rule kind " + kind)


def main(argv):
    rules, dir_, rest = argv[1], argv[2], argv[3:]
    failures = []
    names, docs = load(dir_)
    if sorted(docs) != ["defaultLocale", "installer", "version"] or len(names) != 3:
        print("the files are not one version, one installer and one defaultLocale manifest:", names)
        return 1
    ident = docs["version"][1].get("PackageIdentifier")
    locale = docs["defaultLocale"][1].get("PackageLocale")
    expected = sorted([f"{ident}.yaml", f"{ident}.installer.yaml", f"{ident}.locale.{locale}.yaml"])
    if names != expected:
        failures.append(f"file names {names}, not {expected}")
    for field in ("PackageIdentifier", "PackageVersion"):
        if len({repr(d[1].get(field)) for d in docs.values()}) != 1:
            failures.append(f"{field} differs between the files")
    if docs["version"][1].get("DefaultLocale") != locale:
        failures.append("DefaultLocale is not the locale file's PackageLocale")
    where = scopes(docs)
    with open(rules, encoding="utf-8") as f:
        for line in f:
            if not line.strip() or line.startswith("#"):
                continue
            scope, field, kind, *args = line.split()
            optional = kind.endswith("?")
            kind = kind.rstrip("?")
            for i, entry in enumerate(where[scope]):
                if field not in entry:
                    if not optional:
                        failures.append(f"{scope}[{i}]: no {field}")
                elif not check(kind, args, entry[field]):
                    failures.append(f"{scope}[{i}]: {field} {entry[field]!r} is not {kind} {' '.join(args)}")
    while rest:
        arg = rest.pop(0)
        if arg == "--output":
            with open(rest.pop(0), "rb") as f:
                arg = "installers.InstallerSha256=" + hashlib.sha256(f.read()).hexdigest().upper()
        key, value = arg.split("=", 1)
        scope, field = key.split(".", 1)
        got = where[scope][0].get(field) if where[scope] else None
        if (value == "" and got is not None) or (value != "" and got != value):
            failures.append(f"{key} reads back as {got!r}, not {value!r}")
    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
