#!/usr/bin/env bash
# scripts/install-deps against a stand-in apt-get whose update fails a given
# number of times, with every package missing: each row gives the failures,
# the install's status without and with the point release as target, and
# what must come of it.
set -u
install_deps=$(cd "$(dirname "$0")/../../scripts" && pwd)/install-deps
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
cd "$work/bin"
printf '#!/bin/sh\nexit 1\n' >dpkg-query
printf '#!/bin/sh\necho i386\n' >dpkg
printf '#!/bin/sh\necho 0\n' >id
cat >apt-get <<'STAND_IN'
#!/bin/sh
echo "$*" >>"$APT_CALLS"
case $1 in
  update)
    count=$(grep -c '^update' "$APT_CALLS")
    [ "$count" -gt "$UPDATE_FAILURES" ] && exit 0
    echo "E: Failed to fetch http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress?"
    exit 100 ;;
  install) case $* in *" -t "*) exit "$TARGETED_STATUS" ;; *) exit "$INSTALL_STATUS" ;; esac ;;
esac
STAND_IN
chmod +x ./*

failed=0
#   failures  plain  targeted  status  updates  installs  last line
while read -r failures plain targeted status updates installs last; do
  export APT_CALLS=$work/calls UPDATE_FAILURES=$failures INSTALL_STATUS=$plain TARGETED_STATUS=$targeted
  : >"$APT_CALLS"
  output=$(PATH=$work/bin:$PATH KIVOTRA_APT_RETRY_PAUSE=0 "$install_deps" 2>&1)
  got="$? $(grep -c '^update' "$APT_CALLS") $(grep -c '^install' "$APT_CALLS")"
  line=$(tail -n 1 <<<"$output")
  if [ "$got" != "$status $updates $installs" ] || ! grep -qE "$last" <<<"$line"; then
    echo "update failing $failures times, installs $plain/$targeted: status, updates, installs $got (wanted $status $updates $installs); last line: $line"
    failed=1
  fi
done <<'ROWS'
0  0   0 0 1 1 .
2  0   0 0 3 1 .
5  100 0 0 5 2 installing again from
5  100 1 1 5 2 ^install-deps: the archive is mid-sync \(its index http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz did not match\).*run the same command again later
0  100 0 1 1 1 .
ROWS
exit $failed
