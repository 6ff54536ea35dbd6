#!/usr/bin/env bash
# Builds a small site with make and with ninja from the dependency files the
# program writes: the Makefile and build.ninja of examples/site as shipped,
# then pages whose names hold blanks, '#', '$', ':' and Japanese.
# Usage: site_test.sh PROGRAM SOURCE_DIR
set -euo pipefail
program=$1
source=$2
work=$(mktemp -d)
trap '[ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# The program in a folder of its own, with its default rule file and rules folder.
mkdir -p "$work/bin/qdx"
cp "$program" "$work/bin/norvelle"
printf 'TabStop=3\n' >"$work/bin/norvelle.ini"
export NORVELLE="$work/bin/norvelle"

stamp() { for f in "$@"; do stat -c '%n %.9Y' "$f"; done; }
# The pages (of the list given) whose time changed since `stamp` wrote $1.
changed() {
  local before=$1; shift
  { diff <(cat "$before") <(stamp "$@") || true; } | sed -n 's/^> \(.*\) [0-9.]*$/\1/p' | sort | tr '\n' ' '
}
expect() {  # expect WHAT TOOL BEFORE-FILE "PAGES..." then the page list
  local what=$1 tool=$2 before=$3 want=$4; shift 4
  (cd "$site" && run_tool "$tool") >"$work/log" 2>&1 || fail "$tool ($what): $(cat "$work/log")"
  local got; got=$(changed "$before" "$@")
  [ "$got" = "$want" ] || fail "$tool, $what: reconverted '$got', expected '$want'"
}
run_tool() {
  if [ "$1" = make ]; then make -s NORVELLE="$NORVELLE"; else ninja -v >/dev/null; fi
}
later() { sleep 0.02; touch "$@"; }  # a time surely after the pages'

for tool in make ninja; do
  site=$work/$tool
  cp -r "$source/examples/site" "$site"
  [ "$tool" = ninja ] && sed -i "s|^norvelle = norvelle|norvelle = $NORVELLE|" "$site/build.ninja"
  rm -f "$work/bin/qdx/extra.qdx"
  pages=("$site/index.htm" "$site/about.htm")
  (cd "$site" && run_tool "$tool") >"$work/log" 2>&1 || fail "$tool, first build: $(cat "$work/log")"
  stamp "${pages[@]}" >"$work/t"; expect "nothing changed" "$tool" "$work/t" "" "${pages[@]}"
  later "$site/inc/menu.txt"
  stamp "${pages[@]}" >"$work/t"; expect "include touched" "$tool" "$work/t" "$site/about.htm $site/index.htm " "${pages[@]}"
  later "$site/index.txt"
  stamp "${pages[@]}" >"$work/t"; expect "one source touched" "$tool" "$work/t" "$site/index.htm " "${pages[@]}"
  later "$work/bin/norvelle.ini"
  stamp "${pages[@]}" >"$work/t"; expect "default rules touched" "$tool" "$work/t" "$site/about.htm $site/index.htm " "${pages[@]}"
  # about.txt's |ini|extra is read from the site's qdx/ after the rules
  # folder beside the program: a file appearing there comes first.
  sleep 0.02; printf 'TabStop=2\n' >"$work/bin/qdx/extra.qdx"
  stamp "${pages[@]}" >"$work/t"; expect "rule file appeared" "$tool" "$work/t" "$site/about.htm " "${pages[@]}"
  stamp "${pages[@]}" >"$work/t"; expect "nothing changed again" "$tool" "$work/t" "" "${pages[@]}"
done

# Names that make and ninja write specially.
odd=$work/odd
mkdir -p "$odd/inc"
printf 'part\n' >"$odd/inc/part.txt"
names=('my page' 'h#sh' 'd$ll:r' '日本語')
for n in "${names[@]}"; do printf 'x\n|include=inc/part.txt|\n' >"$odd/$n.txt"; done
cat >"$odd/Makefile" <<'MK'
all: my\ page.htm h\#sh.htm d$$ll\:r.htm 日本語.htm
%.htm: %.txt
	$(NORVELLE) --batch -q --deps '$<'
-include my\ page.htm.d h\#sh.htm.d d$$ll:r.htm.d 日本語.htm.d
MK
{
  printf 'rule page\n  command = %s --batch -q --deps $in\n  depfile = $out.d\n  deps = gcc\n' "$NORVELLE"
  printf 'build my$ page.htm: page my$ page.txt\nbuild h#sh.htm: page h#sh.txt\n'
  printf 'build d$$ll$:r.htm: page d$$ll$:r.txt\nbuild 日本語.htm: page 日本語.txt\n'
} >"$odd/build.ninja"
pages=()
for n in "${names[@]}"; do pages+=("$odd/$n.htm"); done
all=$(printf '%s\n' "${pages[@]}" | sort | tr '\n' ' ')
for tool in make ninja; do
  site=$odd
  rm -f "$odd"/*.htm "$odd"/*.d
  (cd "$site" && run_tool "$tool") >"$work/log" 2>&1 || fail "$tool, odd names: $(cat "$work/log")"
  later "$odd/inc/part.txt"
  stamp "${pages[@]}" >"$work/t"; expect "odd names, include touched" "$tool" "$work/t" "$all" "${pages[@]}"
  stamp "${pages[@]}" >"$work/t"; expect "odd names, nothing changed" "$tool" "$work/t" "" "${pages[@]}"
done
echo "site builds: ok"
