#!/bin/sh
# The polkit action of the service's buttons: valid against polkit's DTD where this machine has
# it (well-formed at least), one action under the id the service asks about and the rule grants,
# and its defaults: yes for the person at the computer, an administrator's password for others.
set -eu
policy=$1
source=$2
if ! command -v xmllint >/dev/null 2>&1; then
    echo "SKIP: xmllint is missing (package libxml2-utils), the policy cannot be checked"
    exit 77
fi
. "$(dirname "$0")/common.sh"

dtd=/usr/share/polkit-1/policyconfig-1.dtd
if [ -r "$dtd" ]; then
    xmllint --noout --dtdvalid "$dtd" "$policy" || fail "policy does not follow polkit's DTD"
else
    echo "$dtd is missing (package polkitd): the policy is only checked to be well-formed"
    xmllint --noout "$policy" || fail "policy is not well-formed XML"
fi
value() {
    xmllint --xpath "string($1)" "$policy"
}
[ "$(value 'count(/policyconfig/action)')" = 1 ] || fail "not exactly one action"
id=$(value '/policyconfig/action/@id')
grep -q "WatchdogControlAction = \"$id\";" "$source/common/program/WatchdogBusNames.h" ||
    fail "the service asks about another action than $id"
grep -q "^ *\"$id\",\$" "$source/packaging/60-tarnix.rules" || fail "the rule does not grant $id"
while read -r element expected; do
    [ "$(value "/policyconfig/action/defaults/$element")" = "$expected" ] ||
        fail "$element is $(value "/policyconfig/action/defaults/$element"), not $expected"
done <<CASES
allow_any auth_admin
allow_inactive auth_admin
allow_active yes
CASES
echo "policy: $id, yes for the person at the computer, auth_admin for others"
