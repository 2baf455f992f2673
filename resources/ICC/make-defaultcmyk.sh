#!/usr/bin/env bash
# Regenerates DEFAULTCMYK.icc, the built-in CMYK press profile, from the coated-offset
# characterisation data FOGRA39L.ti3 that Debian's icc-profiles-free ships under the zlib licence.
# Run by hand (the build never runs it); needs the Debian packages argyll and icc-profiles-free.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp /usr/share/color/icc/FOGRA39L.ti3 "$work/"
cd "$work"
colprof -v -qm -D "Quillane coated offset CMYK (FOGRA39L)" \
  -C "Made from FOGRA39L.ti3 of icc-profiles-free (zlib licence)" -O DEFAULTCMYK.icc FOGRA39L
cp DEFAULTCMYK.icc "$here/DEFAULTCMYK.icc"
sha256sum "$here/DEFAULTCMYK.icc"
