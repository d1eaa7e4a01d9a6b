#!/bin/sh
# Installs the build into a scratch prefix and checks it as a desktop would see it: every file in
# place, each menu entry's command installed, the entries and AppStream data valid, the manual
# pages free of formatting warnings.
#   check_install.sh BUILD_DIR
set -eu
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$1" --prefix "$prefix" >/dev/null
cd "$prefix"

status=0
fail() { echo "FAIL: $*"; status=1; }
for app in configurator poll-responder; do
  id=ru.talver.$(echo $app | tr - _)
  for f in bin/$app share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
           share/icons/hicolor/scalable/apps/$id.svg share/icons/hicolor/48x48/apps/$id.png \
           share/man/man1/$app.1 share/man/ru/man1/$app.1; do
    [ -f "$f" ] || fail "$f not installed"
  done
  command=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' share/applications/$id.desktop)
  [ -x "bin/$command" ] || fail "$id.desktop starts '$command', which is not installed"
  grep -q '^Exec=.* --user-folder' share/applications/$id.desktop || fail "$id.desktop without --user-folder"
done
[ $status -eq 0 ] || exit 1

for tool in desktop-file-validate appstreamcli; do
  command -v $tool >/dev/null || { echo "SKIP: $tool is not installed (scripts/setup.sh installs it)"; exit 77; }
done
desktop-file-validate share/applications/*.desktop || fail "desktop-file-validate"
appstreamcli validate --no-net share/metainfo/*.xml || fail "appstreamcli validate"
if command -v man >/dev/null; then
  for page in share/man/man1/*.1 share/man/ru/man1/*.1; do
    warnings=$(LC_ALL=C.UTF-8 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "$page: $warnings"
  done
fi
exit $status
