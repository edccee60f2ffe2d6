#!/bin/sh
# The polkit rule is valid JavaScript and, evaluated against a stand-in of polkit's rule API,
# grants its actions to members of the group tarnix only, and nothing else to anyone.
set -eu
rule=$1
if ! command -v node >/dev/null 2>&1; then
    echo "SKIP: node is not installed, the rule's JavaScript cannot be checked here"
    exit 77
fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cp "$rule" "$tmp/rule.js"
node --check "$tmp/rule.js"

cat >"$tmp/harness.js" <<'JS'
const fs = require("fs");
const source = fs.readFileSync(process.argv[2], "utf8");
const rules = [];
const polkit = { Result: { YES: "yes", NO: "no" }, addRule: (f) => rules.push(f) };
new Function("polkit", source)(polkit);
const decide = (id, groups) => {
    const subject = { isInGroup: (g) => groups.includes(g), user: "someone" };
    for (const rule of rules) {
        const answer = rule({ id: id }, subject);
        if (answer !== undefined) return answer;
    }
    return undefined;
};
const granted = [...new Set(source.match(/(org\.freedesktop\.login1|io\.tarnix\.watchdog)\.[a-z-]+/g))];
const faults = [];
if (rules.length !== 1) faults.push(`${rules.length} rules added`);
for (const id of granted) {
    if (decide(id, ["users", "tarnix"]) !== "yes") faults.push(`${id} not granted to the group`);
    if (decide(id, ["users", "sudo"]) !== undefined) faults.push(`${id} decided for a non-member`);
}
if (!granted.includes("io.tarnix.watchdog.control")) faults.push("the service's buttons not granted");
for (const id of ["org.freedesktop.login1.manage", "org.freedesktop.login1.set-wall-message",
                  "org.freedesktop.systemd1.manage-units", "org.freedesktop.login1.power-off-extra"]) {
    if (decide(id, ["tarnix"]) !== undefined) faults.push(`${id} decided for the group`);
}
if (faults.length) { console.error(faults.join("\n")); process.exit(1); }
console.log(`${granted.length} actions granted to the group tarnix only`);
JS
node "$tmp/harness.js" "$rule"
