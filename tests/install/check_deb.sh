#!/bin/sh
# Packs the build with CPack into a scratch folder and reads the .deb's control fields and file
# list back with dpkg-deb.
#   check_deb.sh BUILD_DIR
set -eu
for tool in cpack dpkg-deb; do
  command -v $tool >/dev/null || { echo "SKIP: $tool is not installed, the .deb is not checked"; exit 77; }
done
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
cpack -G DEB --config "$1/CPackConfig.cmake" -B "$out" >/dev/null
set -- "$out"/talver-*.deb
[ -f "$1" ] || { echo "FAIL: no talver-*.deb made"; exit 1; }

status=0
fail() { echo "FAIL: $*"; status=1; }
[ "$(dpkg-deb -f "$1" Package)" = talver ] || fail "Package is '$(dpkg-deb -f "$1" Package)'"
[ "$(dpkg-deb -f "$1" Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture"
depends=", $(dpkg-deb -f "$1" Depends),"
for p in libqt5core5a libqt5gui5 libqt5widgets5 libqt5serialport5 libqwt-qt5-6 qttranslations5-l10n; do
  case "$depends" in
    *", $p,"* | *", $p "*) ;;
    *) fail "Depends lacks $p: $depends" ;;
  esac
done
files=$(dpkg-deb -c "$1")
for f in /usr/bin/configurator /usr/bin/poll-responder /usr/share/applications/ru.talver.configurator.desktop \
         /usr/share/man/ru/man1/configurator.1; do
  echo "$files" | grep -q " \.$f\$" || fail "$f not in the package"
done
echo "$files" | grep -q 'controller-sim' && fail "the simulator is packaged"
exit $status
