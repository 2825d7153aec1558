#!/usr/bin/env bash
# Fetches Debian's source package of Dear ImGui, the version libimgui-dev has, into
# build/third-party/imgui-VERSION: the Windows build compiles it with its imgui_impl_win32 and
# imgui_impl_dx11 backends. Uses apt with a deb-src list of its own in the build tree, so the
# system's apt configuration is not touched; the tarballs are checked against the .dsc by
# sha256sum and dpkg-source. A no-op when the folder is there. The windows preset's first
# configuration runs it (cmake/StrelvikDependencies.cmake); nothing else needs the source.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
version=1.86+ds-1
upstream=${version%%+*}
dest=$root/build/third-party/imgui-$upstream
[[ -f $dest/imgui.h && -f $dest/backends/imgui_impl_win32.cpp ]] && exit 0

work=$root/build/third-party/apt
rm -rf "$work"
mkdir -p "$work/sources.list.d" "$work/lists/partial" "$work/archives/partial"
echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian bookworm main" \
  >"$work/sources.list.d/imgui-source.list"
apt_options=(-o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$work/sources.list.d"
  -o "Dir::State::Lists=$work/lists" -o "Dir::Cache::Archives=$work/archives" -o APT::Sandbox::User=root)
apt-get "${apt_options[@]}" -qq update
(cd "$work" && apt-get "${apt_options[@]}" -qq --download-only source "imgui=$version")
# apt has checked the files against the signed index; the tarballs are checked against the .dsc
# here as well (and again by dpkg-source, which unpacks them).
(cd "$work" && sed -n '/^Checksums-Sha256:/,/^[^ ]/p' "imgui_$version.dsc" | awk 'NF == 3 {print $1 "  " $3}' |
  sha256sum --quiet -c -)
rm -rf "$dest"
(cd "$work" && dpkg-source -x "imgui_$version.dsc" "$dest" >/dev/null 2>&1)
[[ -f $dest/backends/imgui_impl_win32.cpp && -f $dest/backends/imgui_impl_dx11.cpp ]]
rm -rf "$work"
echo "Dear ImGui $upstream source in $dest" >&2
