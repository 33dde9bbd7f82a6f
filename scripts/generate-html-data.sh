#!/usr/bin/env bash
# Makes data/html-data.json and data/css-data.json, what completion offers, from the HTML and CSS
# data editors share (npm):
#   @vscode/web-custom-data      elements, attributes, their values, descriptions and reference links;
#                                CSS properties, their values, at-rules, pseudo-classes and -elements
#   color-name                   the named colours of CSS
#   character-entities(-legacy)  the character references of the HTML standard
#   html-validate                which attributes the standard calls obsolete on which elements
# Needs Node.js and the npm registry; the result is kept in the repository, so building does not.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
npm install --silent --no-save --no-audit --no-fund --prefix "$work" \
    @vscode/web-custom-data@0.6.3 character-entities@2.0.2 character-entities-legacy@3.0.0 html-validate@10.17.0 \
    color-name@2.1.1
node "$root/scripts/generate-html-data.mjs" "$work/node_modules" >"$root/data/html-data.json"
node "$root/scripts/generate-html-data.mjs" "$work/node_modules" css >"$root/data/css-data.json"
echo "wrote $root/data/html-data.json and $root/data/css-data.json"
