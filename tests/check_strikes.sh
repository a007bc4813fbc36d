#!/usr/bin/env bash
# Checks the font splitter: each strike of Wine's MS Sans Serif becomes a
# font of its own, labelled by character height (11, 13, 16 pixels), that
# fontconfig reads as one size; a font cut short is refused.
#   check_strikes.sh SPLITSTRIKES
set -euo pipefail
split=$1
font=/usr/share/wine/fonts/ms_sans_serif.ttf
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$split" "$font" "$work/strike"
sizes=$(for k in 0 1 2; do fc-scan --format '%{family}/%{pixelsize}/%{scalable}\n' "$work/strike-$k.ttf"; done)
expected=$'MS Sans Serif/11/False\nMS Sans Serif/13/False\nMS Sans Serif/16/False'
[ "$sizes" = "$expected" ] || { echo "strikes read as:"; echo "$sizes"; exit 1; }
[ ! -e "$work/strike-3.ttf" ] || { echo "a fourth strike was written"; exit 1; }

head -c 30000 "$font" >"$work/cut.ttf"
if "$split" "$work/cut.ttf" "$work/cut" 2>"$work/err"; then
  echo "a font cut short was accepted"; exit 1
fi
grep -q "runs past the end\|cut short" "$work/err" || { cat "$work/err"; exit 1; }
[ -z "$(ls "$work"/cut-*.ttf 2>/dev/null)" ] || { echo "files written for a cut font"; exit 1; }
echo "strikes: ok"
