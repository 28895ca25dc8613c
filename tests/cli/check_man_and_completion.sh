#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The manual page and the bash completion, checked against the program itself:
#   - every subcommand's --help, option by option, is in sheetfind-cli(1);
#   - completion offers the subcommands, their options and the scales.
#   check_man_and_completion.sh CLI MANPAGE COMPLETION
set -euo pipefail
cli=$1
page=$2
completion=$3
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# roff writes a hyphen as \-.
text=$(sed 's/\\-/-/g; s/\\e/\\/g' "$page")
commands=$("$cli" --help | sed -n 's/^  \([a-z][a-z-]*\)  .*/\1/p')
[ -n "$commands" ] || fail "no subcommand found in --help"
for command in $commands; do
    grep -q "^\.SS $command\$" <<<"$text" || fail "the page has no section for $command"
    for option in $("$cli" "$command" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
        grep -q -- "$option" <<<"$text" || fail "the page lacks $option of $command"
    done
    # The first line of the subcommand's help, as the page shows it.
    first=$("$cli" "$command" --help | head -n 1)
    grep -qF -- "$first" <<<"$text" || fail "the page lacks \"$first\""
done

# Completion, as bash runs it at a prompt; the program is found on PATH.
export PATH="$(dirname "$cli"):$PATH"
complete_words() { # WORD... : what Tab offers for the last word
    bash -c '
        source /usr/share/bash-completion/bash_completion
        source "$0"
        COMP_WORDS=("$@")
        COMP_CWORD=$(($# - 1))
        COMP_LINE="$*"
        COMP_POINT=${#COMP_LINE}
        _sheetfind_cli
        printf "%s\n" "${COMPREPLY[@]}"
    ' "$completion" "$@"
}
offered=$(complete_words sheetfind-cli "")
for command in $commands; do
    grep -qx "$command" <<<"$offered" || fail "completion does not offer $command"
done
grep -qx -- "--scale" <<<"$(complete_words sheetfind-cli locate --sc)" || fail "no --scale for locate"
[ "$(complete_words sheetfind-cli cover -s "" | tr '\n' ' ')" = "1m 250k 50k " ] ||
    fail "the scales are not offered after -s"
grep -qx -- "geojson" <<<"$(complete_words sheetfind-cli locate --format "")" ||
    fail "no geojson after --format"
grep -qx "neighbours" <<<"$(complete_words sheetfind-cli nei)" || fail "no neighbours for nei"

if [ "$failures" -gt 0 ]; then
    echo "$failures failed" >&2
    exit 1
fi
echo "manual page and completion: $(wc -w <<<"$commands") subcommands checked"
