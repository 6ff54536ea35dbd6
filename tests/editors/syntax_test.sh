#!/usr/bin/env bash
# The editor syntax files load and mark a page's parts: the KDE definition
# through KDE's own highlighter, the vim file in vim itself.
# Usage: syntax_test.sh SOURCE_DIR
set -euo pipefail
source=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
printf '|b,center=x|Welcome\nplain text\n|//|a note\n' >"$work/page.txt"

xmllint --noout "$source/data/editors/norvelle.xml" || fail "norvelle.xml is not well-formed"
mkdir -p "$work/share/org.kde.syntax-highlighting/syntax"
cp "$source/data/editors/norvelle.xml" "$work/share/org.kde.syntax-highlighting/syntax/"
html=$(XDG_DATA_DIRS="$work/share:/usr/share" QT_QPA_PLATFORM=offscreen \
  kate-syntax-highlighter -s Norvelle -f html "$work/page.txt" 2>&1) || fail "kate-syntax-highlighter: $html"
grep -q 'Definition (Norvelle)' <<<"$html" || fail "the KDE definition was not loaded: $html"
grep -q '>x</span>' <<<"$html" || fail "the KDE definition marks no value: $html"
grep -q '>|//|a note</span>' <<<"$html" || fail "the KDE definition marks no comment: $html"

at() { echo "synIDattr(synID($1,$2,1),'name')"; }
vim -Nu NONE -es -c 'syntax on' -c "e $work/page.txt" -c "source $source/data/editors/norvelle.vim" \
  -c "call writefile([$(at 1 1), $(at 1 2), $(at 1 11), $(at 2 1), $(at 3 4)], '$work/groups')" -c 'qa!' \
  || fail "vim could not source norvelle.vim"
groups=$(tr '\n' ' ' <"$work/groups")
[ "$groups" = "norvelleBar norvelleCommands norvelleValue  norvelleComment " ] || fail "vim groups: '$groups'"
echo "editor syntax files: ok"
