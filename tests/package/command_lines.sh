#!/usr/bin/env bash
# Each program's command line as its user meets it. Every option its --help
# names has an entry in its manual page's OPTIONS, and every entry there is
# an option --help names. A refusal is one line on stderr (before the usage),
# the argument's bytes quoted, with exit code 2.
#   command_lines.sh ORVO ORVO_RENDER MANUAL_DIR (the configured orvo.6, orvo-render.1)
set -euo pipefail
orvo=${1:?usage: command_lines.sh ORVO ORVO_RENDER MANUAL_DIR} render=${2:?} manuals=${3:?}

# shellcheck source-path=SCRIPTDIR source=../support/harness.sh
. "$(dirname "$(realpath "$0")")/../support/harness.sh"
harness_begin "command lines"
cd "$work"
group "every option of --help in the manual pages and no other"

# The options a text names, sorted, one a line.
options_in() { grep -oE -- '--[a-z][a-z-]*' | sort -u; }
# The options a manual page's OPTIONS section has entries for: the heads of
# its .TP paragraphs.
entries_in() {
  sed -n '/^\.SH OPTIONS/,/^\.SH /{/^\.TP/{n;p}}' "$1" | sed 's/\\-/-/g' | options_in
}

for program in "$orvo:orvo.6" "$render:orvo-render.1"; do
  binary=${program%%:*} page=$manuals/${program##*:}
  help=$("$binary" --help | options_in)
  entries=$(entries_in "$page")
  [ -n "$entries" ] || fail "${page##*/}: no option entries found"
  missing=$(comm -23 <(echo "$help") <(echo "$entries"))
  extra=$(comm -13 <(echo "$help") <(echo "$entries"))
  [ -z "$missing" ] || fail "${page##*/} has no entry for:" "${missing//$'\n'/ }"
  [ -z "$extra" ] || fail "${page##*/} has entries --help doesn't name:" "${extra//$'\n'/ }"
done

group "refusals one line, quoted"
# A refusal quotes the argument so that it stays one line: a newline, DEL and
# a byte above 0x7f each become \xNN.
code=0
said=$("$orvo" $'--bad\nsecond\x7f\xff' 2>&1 >/dev/null) || code=$?
first=${said%%$'\n'*}
[ "$code" = 2 ] || fail "orvo: exit code $code for an unknown argument"
[ "$first" = 'orvo: unknown argument "--bad\x0asecond\x7f\xff"' ] || fail "orvo's refusal: $first"
code=0
said=$("$render" --video x.mp4 --for-upload --crf 0 2>&1) || code=$?
[ "$code" = 2 ] || fail "orvo-render --for-upload --crf 0: exit code $code"
# (then the usage, as for every bad argument)
[[ ${said%%$'\n'*} == "orvo-render: "*--master* ]] || fail "orvo-render --for-upload --crf 0 said: $said"
if [ -e x.mp4 ] || [ -e x.mp4.part ]; then fail "orvo-render --for-upload --crf 0 left a file"; fi

finish
