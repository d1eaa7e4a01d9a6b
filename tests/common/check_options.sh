#!/bin/sh
# Every option a program's --help lists is described in both of its manual pages and in the
# README, and the pages describe no option the program lacks.
#   check_options.sh SOURCE_DIR PROGRAM...
set -u
src=$1; shift
status=0
for program in "$@"; do
  name=$(basename "$program")
  # The left column of the help: "  -h, --help, -?   Показать ...".
  help=$("$program" --help | sed -n 's/^  \(-[^ ]\)/\1/p' | sed 's/   .*//' | grep -o -- '--[a-z-]*' | sort -u)
  [ -n "$help" ] || { echo "FAIL: $name --help lists no option"; status=1; }
  for page in "$src/data/man/$name.1" "$src/data/man/$name.ru.1"; do
    # The options section: every .B/.BI entry that names a long option.
    listed=$(sed -n '/^\.SH \(OPTIONS\|ПАРАМЕТРЫ\)/,/^\.SH/p' "$page" | grep -E '^\.BI? \\-\\-' \
             | sed 's/\\//g' | grep -o -- '--[a-z-]*' | sort -u)
    [ "$help" = "$listed" ] || { echo "FAIL: $page lists" $listed "but --help" $help; status=1; }
  done
  for option in $help; do
    grep -q -- "$option\b" "$src/README.md" || { echo "FAIL: README.md does not mention $name $option"; status=1; }
  done
done
exit $status
