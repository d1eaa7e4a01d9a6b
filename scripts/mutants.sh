#!/usr/bin/env bash
# Mutation check: do the test suites notice plausible one-line faults in the program?
#
#   scripts/mutants.sh [--list] [--markdown] [ID-or-pattern ...]
#
# Each mutant in scripts/mutants.txt (see the head of that file for its format) names a source
# file, an exact piece of text in it and what to put instead. Every mutant is applied alone to a
# copy of this tree (build-mutants/src, built in build-mutants/build and reused between mutants,
# so only what a mutant touches is rebuilt), and the suites run against it: the quick suites
# first, one by one, stopping at the first failure; the end-to-end suites only when every quick
# suite passed. An end-to-end failure counts only when a second run of that suite fails too, so
# a timing hiccup under load is not taken for a catch. Then the file is put back.
#
# One line per mutant: caught by <suite>, missed, stale (its text is no longer in the file, or
# is there more than once) or build failed; a summary at the end. The results are also kept in
# build-mutants/results.tsv and as a Markdown table in build-mutants/results.md (--markdown
# prints that table).
#
#   --list       print the mutants (id, file, fault) and stop
#   --check      only tell for each mutant whether its text is found exactly once (or as asked)
#   --markdown   print the table of the last run and stop
#   ID ...       run only these mutants; shell patterns work ('proto-*')
#
# Environment: MUTANTS_LIST (the list, default scripts/mutants.txt), MUTANTS_DIR (the work
# folder, default build-mutants), MUTANTS_TIME_LIMIT (seconds of suite run per mutant, default
# 300), MUTANTS_SLOW (the end-to-end suites, default
# "tst_operations tst_faults").
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
list=${MUTANTS_LIST:-$root/scripts/mutants.txt}
work=${MUTANTS_DIR:-$root/build-mutants}
limit=${MUTANTS_TIME_LIMIT:-300}
read -r -a slow <<<"${MUTANTS_SLOW:-tst_operations tst_faults}"
src=$work/src
bld=$work/build

die() { echo "mutants: $*" >&2; exit 2; }

# ---- The list -------------------------------------------------------------------------------

ids=() files=() whats=() froms=() tos=() nths=()
parse_list() {
  [ -f "$list" ] || die "no list at $list"
  local line key value n=-1 lineno=0
  while IFS= read -r line || [ -n "$line" ]; do
    lineno=$((lineno + 1))
    case $line in '' | '#'*) continue ;; esac
    key=${line%%:*}
    value=${line#*:}
    value=${value# }
    [ "$key" = id ] || [ $n -ge 0 ] || die "$list:$lineno: a mutant begins with 'id:'"
    case $key in
      id) n=$((n + 1)); ids[n]=$value; files[n]=; whats[n]=; froms[n]=; tos[n]=$'\x01'; nths[n]=0 ;;
      file) files[n]=$value ;;
      what) whats[n]=$value ;;
      from) froms[n]=$value ;;
      to) tos[n]=$value ;;
      nth) nths[n]=$value ;;
      *) die "$list:$lineno: unknown key '$key'" ;;
    esac
  done <"$list"
  local i
  for i in "${!ids[@]}"; do
    [ -n "${files[i]}" ] && [ -n "${froms[i]}" ] && [ "${tos[i]}" != $'\x01' ] \
      || die "mutant ${ids[i]}: needs file, from and to"
  done
}

selected() {
  local id=$1 pattern
  [ ${#patterns[@]} -eq 0 ] && return 0
  for pattern in "${patterns[@]}"; do
    # shellcheck disable=SC2053  # the pattern is meant to match as a pattern
    [[ $id == $pattern ]] && return 0
  done
  return 1
}

# How often the exact text occurs in the file.
occurrences() {
  FROM=$2 perl -0777 -ne 'my $n = () = /\Q$ENV{FROM}\E/g; print $n' "$1"
}

# Replaces occurrence `nth` (1-based) of the exact text.
replace_nth() {
  FROM=$2 TO=$3 NTH=$4 perl -0777 -pi -e 'my $i = 0; s/\Q$ENV{FROM}\E/++$i == $ENV{NTH} ? $ENV{TO} : $&/ge' "$1"
}

# ---- The copy and its build -----------------------------------------------------------------

# Copies every file of the tree that git knows or would know (ignored ones left out) whose
# content differs from the copy's, so the build after it stays incremental.
sync_tree() {
  mkdir -p "$src"
  local f
  while IFS= read -r -d '' f; do
    [ -f "$root/$f" ] || continue
    if ! cmp -s "$root/$f" "$src/$f"; then
      mkdir -p "$src/$(dirname "$f")"
      cp "$root/$f" "$src/$f"
    fi
  done < <(git -C "$root" ls-files -co --exclude-standard -z)
}

build() {
  if [ ! -f "$bld/CMakeCache.txt" ]; then
    cmake -S "$src" -B "$bld" -DCMAKE_BUILD_TYPE=Release >"$work/configure.log" 2>&1 || return 1
  fi
  timeout 1800 cmake --build "$bld" -j2 >"$work/build.log" 2>&1
}

# ctest run in the build folder within the time left; prints nothing.
run_suites() {
  local left=$1
  shift
  (cd "$bld" && QT_QPA_PLATFORM=offscreen timeout -k 10 "$left" ctest -R "^($(IFS='|'; echo "$*"))\$" \
    -j2 >"$work/ctest.log" 2>&1)
}

# Suites that failed in the last ctest run (every one asked about when it ran out of time).
failed_suites() {
  local rc=$1
  shift
  if [ "$rc" -eq 124 ] || [ "$rc" -eq 137 ]; then
    echo "$*"
    return
  fi
  sed -n 's/^[0-9]*://p' "$bld/Testing/Temporary/LastTestsFailed.log" 2>/dev/null | tr '\n' ' '
}

is_slow() {
  local s
  for s in "${slow[@]}"; do [ "$s" = "$1" ] && return 0; done
  return 1
}

# Runs the suites against what is built now; sets `verdict` to "caught by X" or "missed ...".
judge() {
  local start=$SECONDS suite rc first second s
  for suite in "${quick[@]}"; do
    run_suites $((limit - (SECONDS - start))) "$suite"
    rc=$?
    if [ $rc -ne 0 ]; then
      verdict="caught by $suite"
      [ $rc -eq 124 ] && verdict="$verdict (time limit)"
      return
    fi
    [ $((SECONDS - start)) -ge "$limit" ] && { verdict="caught by the time limit"; return; }
  done
  [ ${#slow_present[@]} -eq 0 ] && { verdict=missed; return; }
  rm -f "$bld/Testing/Temporary/LastTestsFailed.log"
  run_suites $((limit - (SECONDS - start))) "${slow_present[@]}"
  rc=$?
  [ $rc -eq 0 ] && { verdict=missed; return; }
  read -r -a first <<<"$(failed_suites $rc "${slow_present[@]}")"
  [ ${#first[@]} -eq 0 ] && first=("${slow_present[@]}")
  # The second run gets a time limit of its own.
  rm -f "$bld/Testing/Temporary/LastTestsFailed.log"
  run_suites "$limit" "${first[@]}"
  rc=$?
  if [ $rc -eq 0 ]; then
    verdict="missed (${first[*]} failed once, not on the second run)"
    return
  fi
  read -r -a second <<<"$(failed_suites $rc "${first[@]}")"
  for s in "${first[@]}"; do
    if [[ " ${second[*]} " == *" $s "* ]]; then
      verdict="caught by $s"
      [ $rc -eq 124 ] && verdict="$verdict (time limit)"
      return
    fi
  done
  verdict="missed (${first[*]} failed once, not on the second run)"
}

# ---- Main -----------------------------------------------------------------------------------

mode=run
patterns=()
for arg in "$@"; do
  case $arg in
    --list) mode=list ;;
    --check) mode=check ;;
    --markdown) mode=markdown ;;
    -h | --help) sed -n '2,/^set -uo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    -*) die "unknown option $arg" ;;
    *) patterns+=("$arg") ;;
  esac
done

parse_list

if [ "$mode" = list ]; then
  for i in "${!ids[@]}"; do
    selected "${ids[i]}" && printf '%-24s %-32s %s\n' "${ids[i]}" "${files[i]}" "${whats[i]}"
  done
  exit 0
fi
if [ "$mode" = markdown ]; then
  [ -f "$work/results.md" ] || die "no results yet: run the check first"
  cat "$work/results.md"
  exit 0
fi

# Sets `verdict` to "stale (...)" when mutant $1's text is not where it should be, else empties it.
staleness() {
  local i=$1 count nth=${nths[$1]}
  verdict=
  if [ ! -f "$2/${files[i]}" ]; then
    verdict="stale (no file ${files[i]})"
    return
  fi
  count=$(occurrences "$2/${files[i]}" "${froms[i]}")
  if [ "$count" -eq 0 ]; then
    verdict="stale (text not found)"
  elif [ "$nth" -eq 0 ] && [ "$count" -gt 1 ]; then
    verdict="stale (text found $count times)"
  elif [ "$nth" -gt "$count" ]; then
    verdict="stale (text found $count times, wanted occurrence $nth)"
  fi
}

if [ "$mode" = check ]; then
  bad=0
  for i in "${!ids[@]}"; do
    selected "${ids[i]}" || continue
    staleness "$i" "$root"
    [ -n "$verdict" ] && bad=$((bad + 1))
    printf '%-24s %-32s %s\n' "${ids[i]}" "${files[i]}" "${verdict:-ok}"
  done
  [ "$bad" -eq 0 ]
  exit
fi

todo=()
for i in "${!ids[@]}"; do selected "${ids[i]}" && todo+=("$i"); done
[ ${#todo[@]} -gt 0 ] || die "no mutant matches ${patterns[*]}"

mkdir -p "$work"
echo "Copying the tree to $src and building it..."
sync_tree
build || die "the unchanged tree does not build: see $work/build.log"

mapfile -t suites < <(cd "$bld" && ctest -N | sed -n 's/^ *Test *#[0-9]*: //p')
quick=() slow_present=()
for s in "${suites[@]}"; do
  if is_slow "$s"; then slow_present+=("$s"); else quick+=("$s"); fi
done
echo "Quick suites: ${quick[*]}"
echo "End-to-end suites: ${slow_present[*]}"

echo "Running every suite on the unchanged tree..."
run_suites 900 "${suites[@]}" || die "the unchanged tree fails its suites: see $work/ctest.log"

backup=$work/original
current=
restore() {
  if [ -n "$current" ]; then
    cp "$backup" "$src/$current"
    current=
  fi
}
trap 'restore; exit 130' INT TERM
trap restore EXIT

printf 'id\tfile\tresult\tfault\n' >"$work/results.tsv"
caught=0 missed=0 stale=0 broken=0 n=0
for i in "${todo[@]}"; do
  n=$((n + 1))
  id=${ids[i]} file=${files[i]}
  t0=$SECONDS
  staleness "$i" "$src"
  if [ -z "$verdict" ]; then
    nth=${nths[i]}
    cp "$src/$file" "$backup"
    current=$file
    replace_nth "$src/$file" "${froms[i]}" "${tos[i]}" $((nth > 0 ? nth : 1))
    if build; then
      judge
    else
      verdict="build failed"
      cp "$work/build.log" "$work/build-$id.log"
    fi
    restore
  fi
  case $verdict in
    caught*) caught=$((caught + 1)) ;;
    missed*) missed=$((missed + 1)) ;;
    stale*) stale=$((stale + 1)) ;;
    *) broken=$((broken + 1)) ;;
  esac
  printf '[%2d/%d] %-24s %-34s %s (%d s)\n' "$n" "${#todo[@]}" "$id" "$file" "$verdict" $((SECONDS - t0))
  printf '%s\t%s\t%s\t%s\n' "$id" "$file" "$verdict" "${whats[i]}" >>"$work/results.tsv"
done

# Put the copy's build back in step with the tree.
build >/dev/null 2>&1 || true

summary="$n mutants: $caught caught, $missed missed, $stale stale, $broken build failed"
echo "$summary"
{
  echo "| Mutant | File | Fault | Result |"
  echo "|---|---|---|---|"
  tail -n +2 "$work/results.tsv" | while IFS=$'\t' read -r id file result what; do
    echo "| \`$id\` | \`$file\` | $what | $result |"
  done
  echo
  echo "$summary."
} >"$work/results.md"
[ "$broken" -eq 0 ] && [ "$stale" -eq 0 ]
