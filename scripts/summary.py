#!/usr/bin/env python3
"""What of the product a Wine prefix holds, in a few readable lines.

    summary.py PREFIX EXPORT.reg... [--save STATE.json]
        prints what is registered and keeps it in STATE.json
    summary.py PREFIX EXPORT.reg... --since STATE.json
        prints what of the kept state is gone now, and what is left

The exports are the hives HKLM and HKU as "reg export" writes them (UTF-16).
"""
import argparse
import json
import os
import re
import sys

CLSIDS = {
    "{D3A57C10-4B21-11D2-8F3A-0C5E2B7A91F4}": "32-bit",
    "{D3A57C10-6A21-11D2-8F3A-0C5E2B7A91F4}": "64-bit",
}
UNINSTALL = r"Microsoft\Windows\CurrentVersion\Uninstall\Pelodra archiver"
APP_PATHS = r"Microsoft\Windows\CurrentVersion\App Paths\Pelodra.exe"
VIEWS = {"Software\\": "", "Software\\Wow6432Node\\": " (32-bit view)"}


def read_export(path, keys):
    """Adds the keys of an export: lower-cased path -> (path, {value name -> text})."""
    with open(path, "rb") as f:
        text = f.read().decode("utf-16", errors="replace")
    values, entry = None, ""
    for line in text.splitlines():
        entry += line
        if entry.endswith("\\") and not entry.startswith("["):
            entry = entry[:-1].lstrip()
            continue
        line, entry = entry, ""
        if line.startswith("[") and line.endswith("]"):
            name = line[1:-1]
            values = {}
            keys[name.lower()] = (name, values)
        elif values is not None:
            m = re.match(r'^(@|"((?:[^"\\]|\\.)*)")="((?:[^"\\]|\\.)*)"$', line)
            if m:
                unescape = lambda s: re.sub(r"\\(.)", r"\1", s)
                values["" if m.group(1) == "@" else unescape(m.group(2))] = unescape(m.group(3))


def current_user_root(keys):
    for lower, (name, _) in keys.items():
        if re.fullmatch(r"hkey_users\\s-1-5-21-[0-9-]+", lower):
            return name
    return "HKEY_USERS\\.Default"


def value(keys, path, name=""):
    key = keys.get(path.lower())
    return None if key is None else key[1].get(name)


def state_of(prefix, keys):
    machine = "HKEY_LOCAL_MACHINE\\"
    user = current_user_root(keys) + "\\"
    classes = [user + "Software\\Classes\\", machine + "Software\\Classes\\"]
    state = {}

    owners = {}
    for lower, (name, values) in keys.items():
        for root in classes:
            if lower.startswith(root.lower()) and "\\" not in name[len(root):]:
                ext = name[len(root):]
                owner = values.get("")
                if ext.startswith(".") and owner and owner.startswith("Pelodra"):
                    owners.setdefault(ext.lower(), owner)
    by_class = {}
    for ext, owner in sorted(owners.items()):
        by_class.setdefault(owner, []).append(ext)
    state["File associations"] = [f"{owner}: {' '.join(exts)}" for owner, exts in by_class.items()]

    items = []
    for clsid, kind in CLSIDS.items():
        for view, label in VIEWS.items():
            server = value(keys, f"{machine}{view}Classes\\CLSID\\{clsid}\\InProcServer32")
            if server is not None:
                items.append(f"{kind} server{label}: {server}")
    handlers = set()
    for lower, (name, _) in keys.items():
        m = re.search(r"\\classes\\([^\\]+)\\shellex\\(\w+)Handlers\\Pelodra(32)?$", name, re.I)
        if m:
            handlers.add(f"{m.group(2)} handler of {m.group(1)}")
    items += sorted(handlers)
    state["Shell extension"] = items

    items = []
    for view, label in VIEWS.items():
        registered = value(keys, f"{machine}{view}RegisteredApplications", "Pelodra")
        if registered is not None:
            items.append(f"RegisteredApplications{label}: {registered}")
    state["Default programs"] = items

    items = []
    for view, label in VIEWS.items():
        name = value(keys, f"{machine}{view}{UNINSTALL}", "DisplayName")
        if name is not None:
            items.append(f"Uninstall entry{label}: {name}, "
                         f"{value(keys, machine + view + UNINSTALL, 'UninstallString')}")
        target = value(keys, f"{machine}{view}{APP_PATHS}")
        if target is not None:
            items.append(f"App Paths{label}: Pelodra.exe -> {target}")
    state["Programs and Features"] = items

    settings = sum(1 for lower in keys
                   if lower == (user + "Software\\Pelodra").lower()
                   or lower.startswith((user + "Software\\Pelodra\\").lower()))
    state["Settings"] = [f"HKCU\\Software\\Pelodra: {settings} keys"] if settings else []

    drive = os.path.join(prefix, "drive_c")
    shortcuts = []
    for top in ("users", "ProgramData"):
        for folder, dirs, files in os.walk(os.path.join(drive, top)):
            for f in files:
                path = os.path.join(folder, f)
                if f.lower().endswith(".lnk") and "pelodra" in path.lower():
                    shortcuts.append("C:\\" + os.path.relpath(path, drive).replace("/", "\\"))
    state["Shortcuts"] = sorted(shortcuts)

    items = []
    for programs in ("Program Files (x86)", "Program Files"):
        folder = os.path.join(drive, programs, "Pelodra")
        if os.path.isdir(folder):
            count = sum(len(files) for _, _, files in os.walk(folder))
            items.append(f"C:\\{programs}\\Pelodra: {count} files")
    state["Installation folder"] = items
    return state


def show(title, state):
    print(title)
    for category, items in state.items():
        if not items:
            continue
        print(f"  {category}")
        for item in items:
            print(f"    {item}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("prefix")
    parser.add_argument("exports", nargs="+")
    parser.add_argument("--save")
    parser.add_argument("--since")
    args = parser.parse_args()
    keys = {}
    for export in args.exports:
        read_export(export, keys)
    state = state_of(args.prefix, keys)
    if args.since and os.path.exists(args.since):
        with open(args.since) as f:
            before = json.load(f)
        removed = {c: [i for i in items if i not in state.get(c, [])] for c, items in before.items()}
        show("Removed:", removed)
        left = {c: items for c, items in state.items() if items}
        if left:
            show("Still present:", left)
        else:
            print("Nothing of the product is left.")
    else:
        if any(state.values()):
            show("Registered:", state)
        else:
            print("Nothing of the product is registered.")
    if args.save:
        with open(args.save, "w") as f:
            json.dump(state, f, indent=1)
    return 0


if __name__ == "__main__":
    sys.exit(main())
