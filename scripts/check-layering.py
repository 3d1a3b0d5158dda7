#!/usr/bin/env python3
"""Checks the include structure of the framework, the plug-in and the host.

The layers, lowest first. A file of a layer may include the public headers of
its own layer and of the layers below it, never of one above:

  abi            the plain C records of the boundary with the core
  diagnostics    formatting, logging, assertion reports, tracing, the allocator
  binding        the generic value, its arena, the type registry, conversions
  codecs         JSON, MessagePack and YAML readers and the JSON writer
  api            routes, dispatch, argument binding, the API description
  plugin         the entry, the module base, outbound requests, events
  match_history  the match-history plug-in itself
  host           the reference host (host/), which stands on all of them

Besides the order:
  - a header under <layer>/internal/ belongs to that layer alone: no other
    layer includes it, whether from a public header or a source file;
  - a public header of the framework (abi to plugin, outside internal/)
    includes no internal header at all, not even of its own layer: the
    installed headers leave internal/ out, and each must compile alone;
  - RapidJSON and libyaml are the codecs' own business: only the codecs'
    sources and internal headers include them, so that no public header of
    the framework hands them on.

Tests, benchmarks and fuzz targets look inside the layers on purpose and are
not checked. Exits 1 and lists every violation not in ALLOWED below.
"""

import pathlib
import re
import sys

LAYERS = ["abi", "diagnostics", "binding", "codecs", "api", "plugin", "match_history", "host"]
RANK = {name: rank for rank, name in enumerate(LAYERS)}
# The layers installed as the framework's public headers.
INSTALLED = {"abi", "diagnostics", "binding", "codecs", "api", "plugin"}

# The layers whose own headers may include the third-party parsers, and where.
THIRD_PARTY = re.compile(r"^(rapidjson/|yaml\.h$)")
THIRD_PARTY_LAYER = "codecs"

# Violations that are known and waiting for their file to be rewritten, one
# line each: (the including file, the included header). Remove a line as soon
# as its file no longer needs it; a line that matches nothing is listed as a
# reminder (it does not fail the check, so that branches on either side of a
# rewrite pass alike).
ALLOWED: set[tuple[str, str]] = set()

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def layer_of(path: pathlib.Path) -> str | None:
    parts = path.parts
    if parts[0] == "src" and len(parts) > 2 and parts[1] in RANK:
        return parts[1]
    if parts[0] == "host":
        return "host"
    return None


def sources(root: pathlib.Path):
    for folder in ("src", "host"):
        for path in sorted((root / folder).rglob("*")):
            if path.suffix in (".h", ".cpp", ".c"):
                yield path.relative_to(root)


def violations_of(path: pathlib.Path, text: str):
    own = layer_of(path)
    if own is None:
        return
    own_internal = "internal" in path.parts
    for number, line in enumerate(text.splitlines(), 1):
        match = INCLUDE.match(line)
        if match is None:
            continue
        bracket, included = match.groups()
        where = f"{path}:{number}"
        if THIRD_PARTY.match(included):
            public_header = path.suffix == ".h" and not own_internal
            if own != THIRD_PARTY_LAYER or public_header:
                yield where, included, "third-party parser outside the codecs' sources"
            continue
        if bracket != '"':
            continue
        target = included.split("/")[0]
        if target not in RANK:
            continue
        if RANK[target] > RANK[own]:
            yield where, included, f"{own} includes the higher layer {target}"
        elif own in INSTALLED and path.suffix == ".h" and not own_internal and (
            "/internal/" in included
        ):
            yield where, included, "a public header includes an internal one"
        elif target != own and "/internal/" in included:
            yield where, included, f"{own} includes the internals of {target}"


def main() -> int:
    root = pathlib.Path(__file__).resolve().parent.parent
    found = []
    used = set()
    for path in sources(root):
        text = (root / path).read_text(encoding="utf-8", errors="replace")
        for where, included, reason in violations_of(path, text):
            key = (str(path), included)
            if key in ALLOWED:
                used.add(key)
                continue
            found.append(f"{where}: {reason}: {included}")
    for stale in sorted(ALLOWED - used):
        print(f"note: {stale[0]} does not include {stale[1]}: its ALLOWED line can go")
    for line in found:
        print(line)
    if found:
        print(f"layering: {len(found)} violation(s); layers, lowest first: {' < '.join(LAYERS)}")
        return 1
    print(f"layering: ok ({' < '.join(LAYERS)})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
