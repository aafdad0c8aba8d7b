#!/usr/bin/env bash
# Installs a build into a scratch folder, lists what it put in place and checks the desktop
# entry, the AppStream metainfo, the MIME type, the manual page and the shell completions.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/plain}
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null
(cd "$root" && find . -type f -o -type l | sort)
# Only the program goes into bin: the screenshot tool, tests and benchmarks stay in the build.
bins=$(ls "$root"/usr/bin)
[ "$bins" = quillon ] || { echo "check-install: bin holds more than quillon:" $bins >&2; exit 1; }
share=$root/usr/share
desktop-file-validate "$share"/applications/*.desktop
appstreamcli validate --no-net --explain "$share"/metainfo/*.metainfo.xml
# --no-net leaves addresses unchecked: one under a reserved name never answers.
if grep -En 'https?://[^/"<]*\.(invalid|example|test|localhost)([/"<:]|$)' "$share"/metainfo/*.xml; then
    echo "check-install: the metainfo names an address that cannot answer (above)" >&2
    exit 1
fi
xmllint --noout "$share"/mime/packages/*.xml
warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$share"/man/man1/quillon.1.gz 2>&1 >/dev/null)
[ -z "$warnings" ] || { echo "$warnings" >&2; exit 1; }
# The shells find completions of packages only at these places.
for completion in bash-completion/completions/quillon zsh/vendor-completions/_quillon \
    fish/vendor_completions.d/quillon.fish; do
    [ -s "$share/$completion" ] || { echo "check-install: no $completion" >&2; exit 1; }
done
bash -n "$share"/bash-completion/completions/quillon
"$root"/usr/bin/quillon --version
