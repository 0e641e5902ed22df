#!/bin/sh
# Usage: check_exports.sh <objdump> <dll> <name>...
# Fails unless every name is exported exactly, undecorated.
objdump="$1"; dll="$2"; shift 2
table=$("$objdump" -p "$dll") || exit 1
status=0
for name in "$@"; do
  if printf '%s\n' "$table" | grep -Eq "^[[:space:]]*\[[[:space:]]*[0-9]+\][[:space:]]+(\+base\[[[:space:]]*[0-9]+\][[:space:]]+[0-9a-fA-F]+[[:space:]]+)?$name\$"; then
    echo "exported: $name"
  else
    echo "NOT exported undecorated: $name"; status=1
  fi
done
printf '%s\n' "$table" | grep -E '@[0-9]+$|\b_Create|\b_Release' && { echo "decorated export names found"; status=1; }
exit $status
