#!/usr/bin/env bash
# Fails when code, tests, scripts or file names point at the requirements
# document instead of saying what the code guarantees: the short and long
# names of that document, their C-flavoured cousin for printf directives, and
# "Part" followed by a number. Longer words that merely hold the same letters,
# and POSIX's time structure, are fine. The pattern spells the words with a bracketed letter so that this
# file passes its own check.
set -euo pipefail
cd "$(dirname "$0")/.."

pattern='(?<!time)(?<![A-Z_])([s]pec|[S]pec)(s|ifications?|ifiers?)?(?![a-z])|[Ss]p[e]cification|[Ss]p[e]cifier|\bParts? [0-9]|\b[Tt]he Part\b|Th[e]Part\b'
status=0
if git grep -n -I -P "$pattern" -- . ':!*.json'; then
  status=1
fi
if git ls-files | grep -P "$pattern"; then
  status=1
fi
if [ "$status" -ne 0 ]; then
  echo "wording check: the lines above point at the requirements document; say what the code does instead"
fi
exit "$status"
