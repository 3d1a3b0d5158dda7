#!/usr/bin/env bash
# Fails when code, tests, scripts or file names refer to the requirements
# document instead of saying what the code guarantees: words built on "spec"
# (spec, specs, specifier, specification, FormatSpec) and "Part" followed by a
# number. "specified", "unspecified", "special" and POSIX's timespec are fine.
set -euo pipefail
cd "$(dirname "$0")/.."

pattern='(?<!time)(?<![A-Z_])(spec|Spec)(s|ifications?|ifiers?)?(?![a-z])|[Ss]pecification|[Ss]pecifier|\bParts? [0-9]|\b[Tt]he Part\b|ThePart\b'
status=0
if git grep -n -I -P "$pattern" -- . ':!*.json' ':!scripts/check-wording.sh'; then
  status=1
fi
if git ls-files | grep -P "$pattern"; then
  status=1
fi
if [ "$status" -ne 0 ]; then
  echo "wording check: the lines above name the requirements document; say what the code does instead"
fi
exit "$status"
