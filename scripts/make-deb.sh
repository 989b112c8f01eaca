#!/usr/bin/env bash
# Makes the Debian package linguaro_<version>-<revision>_<arch>.deb:
#   scripts/make-deb.sh [--no-build] [--output DIR]
# The package is made from the build folder ${BUILD_DIR:-build}, whose programs carry Debian's
# hardening flags (the top CMakeLists.txt sets them on every build); only what the package
# holds is built there first, and the programs are stripped as they are packed. --no-build
# packs that folder as it stands. The package lands in DIR (default: the build folder) and
# its path is printed; the build's messages go to standard error.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$top/build}
output=$build
do_build=1
while [ $# -gt 0 ]; do
  case $1 in
    --no-build) do_build=0 ;;
    --output) output=$2; shift ;;
    *) echo "usage: $0 [--no-build] [--output DIR]" >&2; exit 2 ;;
  esac
  shift
done
for tool in dpkg-deb dpkg-shlibdeps strip gzip; do
  command -v $tool >/dev/null || { echo "make-deb: $tool is missing (apt-get install dpkg-dev binutils)" >&2; exit 1; }
done

if [ $do_build = 1 ]; then
  # a folder configured already keeps its own build type; a new one is made as ./run.sh makes it
  if [ -f "$build/CMakeCache.txt" ]; then
    cmake --build "$build" --target linguaro_package_contents >&2
  else
    BUILD_DIR=$build "$top/scripts/build.sh" linguaro_package_contents >&2
  fi
fi
[ -x "$build/linguaro" ] && [ -f "$build/CMakeCache.txt" ] ||
  { echo "make-deb: the build folder $build is not built (run $0 without --no-build)" >&2; exit 1; }
# a Debug build has no optimiser and so no fortified calls: not what a package may hold
build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt")
case $build_type in
  Release|RelWithDebInfo|MinSizeRel) ;;
  *) echo "make-deb: $build is a '$build_type' build; the package is made from a Release or RelWithDebInfo build" >&2
     exit 1 ;;
esac

# 6.2 -> 6.2.0: the package's version has three parts whatever the project states
project_version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
IFS=. read -r major minor patch <<<"$project_version"
upstream="$major.${minor:-0}.${patch:-0}"
revision=1
version="$upstream-$revision"
arch=$(dpkg --print-architecture)
package=linguaro
deb="$output/${package}_${version}_${arch}.deb"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root
DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null
DESTDIR=$root cmake --install "$build" --prefix /usr --component system >/dev/null

# what a package holds is owned by root and readable by all; programs keep their run bit
find "$root" -type d -exec chmod 0755 {} +
find "$root" -type f -perm /111 -exec chmod 0755 {} +
find "$root" -type f ! -perm /111 -exec chmod 0644 {} +

elves=()
while IFS= read -r -d '' file; do
  if [ "$(head -c 4 "$file" | od -An -c | tr -d ' ')" = '177ELF' ]; then
    elves+=("$file")
  fi
done < <(find "$root" -type f -perm /111 -print0)
strip --remove-section=.comment --remove-section=.note --strip-unneeded "${elves[@]}"

doc=$root/usr/share/doc/$package
gzip -9n "$root"/usr/share/man/man*/*
gzip -9n "$doc/README.md" "$doc"/docs/*.md
cp "$top/packaging/debian/copyright" "$doc/copyright"
mkdir -p "$root/usr/share/lintian/overrides"
cp "$top/packaging/debian/lintian-overrides" "$root/usr/share/lintian/overrides/$package"
# the change log's date is the last commit's, so the same tree makes the same package
stamp=$(git -C "$top" log -1 --format=%ct 2>/dev/null || date +%s)
{
  echo "$package ($version) unstable; urgency=medium"
  echo
  echo "  * Debian package: the translator, its service as a system service, manual"
  echo "    pages, software-centre metadata and a load-balancer example."
  echo
  echo " -- Linguaro maintainers <maintainers@brenmark.com>  $(LC_ALL=C date -R -u -d "@$stamp")"
} >"$work/changelog.Debian"
gzip -9n -c "$work/changelog.Debian" >"$doc/changelog.Debian.gz"
chmod 0644 "$doc/copyright" "$doc/changelog.Debian.gz" "$root/usr/share/lintian/overrides/$package"
find "$root" -exec touch -h -d "@$stamp" {} +

# Run-time dependencies: the shared libraries the programs link (their packages as
# dpkg-shlibdeps finds them), the engine with every language pair the window lists,
# and the voice program; never what only the build needs.
mkdir -p "$work/shlibs/debian"
printf 'Source: %s\n\nPackage: %s\nArchitecture: any\n' $package $package >"$work/shlibs/debian/control"
shlibs=$(cd "$work/shlibs" && dpkg-shlibdeps -O "${elves[@]}" 2>"$work/shlibdeps.log" | sed -n 's/^shlibs:Depends=//p')
[ -n "$shlibs" ] || { echo "make-deb: dpkg-shlibdeps found no libraries:" >&2; cat "$work/shlibdeps.log" >&2; exit 1; }
pairs=$(grep -E '^apertium-[a-z]+-[a-z]+$' "$top/scripts/debian-packages.txt" | paste -sd, - | sed 's/,/, /g')
depends="$shlibs, apertium, $pairs, espeak-ng"

mkdir -p "$root/DEBIAN"
(cd "$root" && find . -path ./DEBIAN -prune -o -path ./etc -prune -o -type f -printf '%P\0' | sort -z | xargs -0 md5sum) \
  >"$root/DEBIAN/md5sums"
(cd "$root" && find etc -type f -printf '/%p\n' | sort) >"$root/DEBIAN/conffiles"
installed_size=$(du -sk --exclude=DEBIAN "$root" | cut -f1)
cat >"$root/DEBIAN/control" <<CONTROL
Package: $package
Version: $version
Architecture: $arch
Maintainer: Linguaro maintainers <maintainers@brenmark.com>
Installed-Size: $installed_size
Depends: $depends
Recommends: xdg-utils, libglib2.0-bin
Suggests: haproxy
Section: utils
Priority: optional
Homepage: https://www.brenmark.com/linguaro-translator.html
Description: offline translator for text and documents
 Linguaro Translator translates text typed, pasted or opened in its window
 between 54 languages, on the machine itself: its translation service uses
 the Apertium engine, going through pivot languages where no direct pair is
 installed, and nothing translated leaves the computer.
 .
 It opens plain text, rich text, Word, Excel, PowerPoint, PDF and web pages,
 saves the result as plain or rich text, prints it, and reads either pane
 aloud through an animated character. The same translations are available
 from the command line (linguaro --from en --to es) and over the session bus.
 .
 The translation service can also run as a system service (off by default)
 for a team, on several machines behind a load balancer; it reports its
 health and Prometheus metrics.
CONTROL

mkdir -p "$output"
dpkg-deb --root-owner-group -Zxz --build "$root" "$deb" >/dev/null
echo "$deb"
