#!/bin/sh
# Every option of a program's --help is in both its manual pages' options (and no other) and in the README.
#   check_options.sh SOURCE_DIR PROGRAM...
src=$1; shift; status=0
for program in "$@"; do
  name=$(basename "$program")
  help=$("$program" --help | sed -n 's/^  \(-[^ ].*\)/\1/p' | sed 's/   .*//' | grep -o -- '--[a-z-]*' | sort -u)
  for page in "$src/data/man/$name.1" "$src/data/man/$name.ru.1"; do
    listed=$(sed -n '/^\.SH \(OPTIONS\|ПАРАМЕТРЫ\)/,/^\.SH/p' "$page" | grep -E '^\.BI? \\-\\-' | sed 's/\\//g' | grep -o -- '--[a-z-]*' | sort -u)
    [ -n "$help" ] && [ "$help" = "$listed" ] || { echo "FAIL: $page lists" $listed "but --help" $help; status=1; }
  done
  for option in $help; do grep -q -- "$option\b" "$src/README.md" || { echo "FAIL: README.md lacks $name $option"; status=1; }; done
done
exit $status
