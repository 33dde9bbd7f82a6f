// Reads the npm packages named in generate-html-data.sh (their node_modules folder is the
// argument) and prints the compact CSS data that completion in style sheets loads.
import { readFileSync } from 'node:fs';
import { pathToFileURL } from 'node:url';
import { text, reference } from './data-text.mjs';

const modules = process.argv[2];
const web = JSON.parse(readFileSync(`${modules}/@vscode/web-custom-data/data/browsers.css-data.json`, 'utf8'));
const { default: colourNames } = await import(pathToFileURL(`${modules}/color-name/index.js`));

// What no author should still write is not offered: obsolete and non-standard names, and the
// names one browser's prefix keeps apart.
const vendor = /^[@:]*-(moz|ms|o|webkit)-/;
const seen = new Set();
const current = (item) => item.status !== 'obsolete' && item.status !== 'nonstandard' && !vendor.test(item.name);
const once = (kind) => (item) => !seen.has(kind + item.name) && seen.add(kind + item.name);
const entry = (item) => {
    const out = { n: item.name };
    if (item.description) out.d = text(item.description);
    if (reference(item)) out.r = reference(item);
    return out;
};
const properties = web.properties.filter(current).filter(once('p')).map((p) => {
    const out = entry(p);
    const values = (p.values || []).filter(current).map((v) => v.name);
    if (values.length) out.v = values;
    // Properties that take a colour get the named colours and the colour functions too.
    if ((p.restrictions || []).includes('color')) out.c = true;
    return out;
});
const data = {
    source: '@vscode/web-custom-data 0.6.3 (MIT), color-name 2.1.1 (MIT)',
    properties,
    atRules: web.atDirectives.filter(current).filter(once('@')).map(entry),
    pseudoClasses: web.pseudoClasses.filter(current).filter(once(':')).map(entry),
    pseudoElements: web.pseudoElements.filter(current).filter(once('::')).map(entry),
    colours: Object.keys(colourNames).sort(),
    colourFunctions: ['rgb()', 'hsl()', 'hwb()', 'lab()', 'lch()', 'oklab()', 'oklch()', 'color()', 'color-mix()'],
    // Values every property takes.
    wideValues: ['inherit', 'initial', 'revert', 'revert-layer', 'unset', 'var()'],
};
process.stdout.write(JSON.stringify(data, null, 0) + '\n');
