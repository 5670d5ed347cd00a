#!/usr/bin/env bash
# Builds the Debian package from this build tree, unpacks it and checks it as a user's machine would see it: the
# files where hosts and menus look, no lintian error, a valid desktop entry, and bundles and a renderer that work
# from where the package put them.
# usage: package_test.sh BUILD_DIR HOST_TEST_BINARY
set -euo pipefail
build_dir=$1
host_tests=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

(cd "$build_dir" && cpack -G DEB >/dev/null)
package="$build_dir/tazzle_1.0.2_amd64.deb"
[ -f "$package" ] || { echo "no package at $package"; exit 1; }

dpkg-deb -x "$package" "$scratch/root"
expected=(
    usr/bin/tazzle
    usr/bin/tazzle-render
    usr/lib/lv2/Tazzle.lv2/dsp.ttl
    usr/lib/lv2/Tazzle.lv2/libTazzle.so
    usr/lib/lv2/Tazzle.lv2/manifest.ttl
    usr/lib/lv2/Tazzle.lv2/ui.ttl
    usr/lib/vst3/Tazzle.vst3/Contents/x86_64-linux/Tazzle.so
    usr/share/applications/com.quarrowtools.Tazzle.desktop
    usr/share/doc/tazzle/OFL.txt
    usr/share/doc/tazzle/changelog.gz
    usr/share/doc/tazzle/copyright
    usr/share/icons/hicolor/512x512/apps/tazzle.png
    usr/share/man/man1/tazzle-render.1.gz
    usr/share/man/man1/tazzle.1.gz
)
actual=$(cd "$scratch/root" && find . -type f | sed 's|^\./||' | sort)
if [ "$actual" != "$(printf '%s\n' "${expected[@]}" | sort)" ]; then
    echo "the package holds:"; echo "$actual"
    echo "expected:"; printf '%s\n' "${expected[@]}"
    exit 1
fi

control=$(dpkg-deb -f "$package" Package Version Architecture Section Depends)
for field in "Package: tazzle" "Version: 1.0.2" "Architecture: amd64" "Section: sound" "Depends: .*libc6"; do
    grep -q "^$field" <<<"$control" || { echo "control lacks '$field':"; echo "$control"; exit 1; }
done

if ! findings=$(lintian --fail-on error "$package" 2>&1); then
    echo "lintian reports an error:"; echo "$findings"; exit 1
fi
desktop-file-validate "$scratch/root/usr/share/applications/com.quarrowtools.Tazzle.desktop"

# The unpacked bundles, loaded as a host loads them: identity, parameters, a block of audio.
TAZZLE_TEST_VST3_BUNDLE="$scratch/root/usr/lib/vst3/Tazzle.vst3" \
TAZZLE_TEST_LV2_BUNDLE="$scratch/root/usr/lib/lv2/Tazzle.lv2" \
    "$host_tests" --gtest_brief=1 \
        --gtest_filter='*HostedPlugin.ReportsItsIdentity/*:*HostedPlugin.ExposesTheParameterTable/*:*HostedPlugin.ProcessesAudioAndBypassesWithItsLatency/*' \
    | tee "$scratch/hosted.txt"
grep -q "6 tests from" "$scratch/hosted.txt" || { echo "the host test did not load both bundles three times"; exit 1; }

help=$("$scratch/root/usr/bin/tazzle-render" --help)
grep -q "^usage: tazzle-render" <<<"$help" || { echo "tazzle-render --help printed:"; echo "$help"; exit 1; }

# Every option the renderer lists is in its manual page.
manual=$(zcat "$scratch/root/usr/share/man/man1/tazzle-render.1.gz" | sed 's/\\-/-/g')
for option in $(grep -o -- '--[a-z-]*' <<<"$help" | sort -u); do
    grep -q -- "$option" <<<"$manual" || { echo "the manual page lacks $option"; exit 1; }
done
echo "package: $(du -h "$package" | cut -f1) $package"
