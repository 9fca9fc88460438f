#!/usr/bin/env bash
# Builds the Debian package from a built tree and checks it as a user meets
# it: the desktop entries, the AppStream data and the file type are valid,
# the binaries carry no RPATH, and the unpacked program runs as a user who
# may not write its folder, keeping its settings under $XDG_CONFIG_HOME.
#   tools/package-check.sh [BUILD_DIR]      (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build}" && pwd)
fail() { echo "package-check: $*" >&2; exit 1; }

# Readable by everyone: the program runs from here as another user.
scratch=$(mktemp -d /tmp/qm482-package.XXXXXX)
chmod 755 "$scratch"
pid=
cleanup() {
  [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null
  chmod -R u+w "$scratch" 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT

(cd "$build" && cpack -G DEB -B "$scratch/cpack" >"$scratch/cpack.log" 2>&1) ||
  { cat "$scratch/cpack.log"; fail "cpack -G DEB failed"; }
debs=("$scratch"/cpack/qm482_*.deb)
[ -f "${debs[0]}" ] || fail "cpack made no qm482_*.deb"
deb=${debs[0]}
echo "package-check: built $(basename "$deb")"

depends=$(dpkg-deb -f "$deb" Depends)
case $depends in
  *libqt6widgets6*) ;;
  *) fail "Depends lacks the Qt libraries the program links: '$depends'" ;;
esac

root=$scratch/root
dpkg-deb -x "$deb" "$root"
usr=$root/usr

for program in qm482 qm482-chart qm482-dde qm482-sim qmg-dump; do
  [ -x "$usr/bin/$program" ] || fail "usr/bin/$program is missing"
  if readelf -d "$usr/bin/$program" | grep -E -q '\((RPATH|RUNPATH)\)'; then
    fail "usr/bin/$program carries an RPATH"
  fi
done

for file in \
  share/qm482/qm482.html \
  share/applications/org.qm482.QM482.desktop \
  share/applications/qm482-chart.desktop \
  share/metainfo/org.qm482.QM482.metainfo.xml \
  share/mime/packages/qm482-measurements.xml \
  share/icons/hicolor/scalable/apps/org.qm482.QM482.svg \
  share/icons/hicolor/48x48/apps/org.qm482.QM482.png \
  share/icons/hicolor/256x256/apps/org.qm482.QM482.png \
  share/dbus-1/interfaces/org.qm482.Dde1.xml \
  share/dbus-1/interfaces/org.qm482.Readings1.xml \
  share/doc/qm482/README.md \
  share/doc/qm482/copyright; do
  [ -f "$usr/$file" ] || fail "usr/$file is missing"
done
grep -q '^License: GPL-3.0-or-later$' "$usr/share/doc/qm482/copyright" ||
  fail "usr/share/doc/qm482/copyright names no licence"
grep -q '<project_license>GPL-3.0-or-later</project_license>' \
  "$usr/share/metainfo/org.qm482.QM482.metainfo.xml" || fail "the metainfo names no licence"

for entry in "$usr"/share/applications/*.desktop; do
  desktop-file-validate "$entry" || fail "$(basename "$entry") is not a valid desktop entry"
done
appstreamcli validate --no-net "$usr/share/metainfo/org.qm482.QM482.metainfo.xml" >"$scratch/as.log" 2>&1 ||
  { cat "$scratch/as.log"; fail "the AppStream data is not valid"; }
xmllint --noout "$usr"/share/mime/packages/*.xml "$usr"/share/dbus-1/interfaces/*.xml

# The file type, by name and by content: a record is stored negated.
mkdir -p "$scratch/mime/mime/packages"
cp "$usr"/share/mime/packages/*.xml "$scratch/mime/mime/packages/"
update-mime-database "$scratch/mime/mime" >"$scratch/mime.log" 2>&1 ||
  { cat "$scratch/mime.log"; fail "update-mime-database refused the file type"; }
# shellcheck disable=SC2016 # the record is literal text
printf '20091005123000$19,4660,3,21.5,1$@' | perl -pe 's/(.)/chr(-ord($1) & 255)/gse' \
  >"$scratch/recording"
printf x >"$scratch/named.qmg"
for sample in recording named.qmg; do
  type=$(XDG_DATA_DIRS="$scratch/mime:/usr/share" \
    gio info -a standard::content-type "$scratch/$sample" | sed -n 's/.*content-type: //p')
  [ "$type" = application/x-qm482-measurements ] || fail "$sample is seen as '$type'"
done

# The installed program, started as a user who may not write its folder.
# As root that is `nobody`; otherwise the folder is made read-only.
chmod a-w "$usr/bin"
home=$scratch/home
mkdir -m 700 "$home"
as_user=()
if [ "$(id -u)" -eq 0 ]; then
  chown nobody "$home"
  as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
fi
env -i PATH=/usr/bin:/bin HOME="$home" XDG_CONFIG_HOME="$home/config" \
  XDG_RUNTIME_DIR="$home" QT_QPA_PLATFORM=offscreen LANG=C.UTF-8 \
  "${as_user[@]}" "$usr/bin/qm482" >"$scratch/run.log" 2>&1 &
pid=$!
sleep 2
kill -0 "$pid" 2>/dev/null || { cat "$scratch/run.log"; fail "qm482 ended before SIGTERM"; }
kill -TERM "$pid"
status=0
wait "$pid" || status=$?
pid=
[ "$status" -eq 0 ] || { cat "$scratch/run.log"; fail "qm482 ended with status $status on SIGTERM"; }
[ -f "$home/config/qm482/qm480cfg.ini" ] ||
  { cat "$scratch/run.log"; fail "no settings file under \$XDG_CONFIG_HOME/qm482"; }
[ ! -e "$usr/bin/qm480cfg.ini" ] || fail "a settings file appeared in usr/bin"
echo "package-check: passed"
