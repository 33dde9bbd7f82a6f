// Reads the npm packages named in generate-html-data.sh (their node_modules folder is the
// argument) and prints the compact data that completion loads: HTML's, or with "css" CSS's.
import { readFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { pathToFileURL } from 'node:url';

const modules = process.argv[2];
const require = createRequire(import.meta.url);
// The program calls the HTML standard "the standard": links into the standard's documents keep
// their words and lose their address, and the other names for it read "standard".
const plain = (t) => t
    .replace(/\[([^\]]*)\]\(([^)]*spec[^)]*)\)/gi, '$1')
    .replace(/\bspecifications\b/gi, 'standards')
    .replace(/\b(specification|spec)\b/gi, 'standard')
    .replace(/\bspecs\b/gi, 'standards');
const text = (d) => plain(typeof d === 'string' ? d : d?.value ?? '');
const reference = (item) => item.references?.[0]?.url ?? '';

// With "css" after the folder: the CSS data that completion in style sheets loads instead.
if (process.argv[3] === 'css') {
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
    process.exit(0);
}
const web = JSON.parse(readFileSync(`${modules}/@vscode/web-custom-data/data/browsers.html-data.json`, 'utf8'));
const { characterEntities } = await import(pathToFileURL(`${modules}/character-entities/index.js`));
const { characterEntitiesLegacy } = await import(pathToFileURL(`${modules}/character-entities-legacy/index.js`));
const { html5 } = require(`${modules}/html-validate/dist/cjs/elements.js`);

// Elements and attributes the standard lists as obsolete are not offered.
const obsoleteElements = new Set(Object.entries(html5).filter(([, m]) => m.deprecated).map(([n]) => n));
for (const name of ['param', 'rb', 'rtc']) obsoleteElements.add(name); // listed by the standard, not by html-validate
const obsoleteAttributes = {};
for (const [name, meta] of Object.entries(html5))
    for (const [attribute, m] of Object.entries(meta.attributes || {}))
        if (m && m.deprecated) (obsoleteAttributes[name] ||= []).push(attribute);

// The attributes the standard says must be present (a short list of its own: the data above
// does not say it).
const required = {
    img: ['src', 'alt'], link: ['rel', 'href'], area: ['alt'], bdo: ['dir'], optgroup: ['label'],
    map: ['name'], track: ['src'], base: ['href'], embed: ['src'], object: ['data'],
};

// The link types of the standard, which the data above gives no value set for.
const linkTypes = ['alternate', 'author', 'bookmark', 'canonical', 'dns-prefetch', 'external', 'help', 'icon',
    'license', 'manifest', 'modulepreload', 'next', 'nofollow', 'noopener', 'noreferrer', 'opener', 'pingback',
    'preconnect', 'prefetch', 'preload', 'prev', 'privacy-policy', 'search', 'stylesheet', 'tag', 'terms-of-service'];

const attribute = (element) => (a) => {
    const out = { n: a.name };
    if (a.description) out.d = text(a.description);
    if (reference(a)) out.r = reference(a);
    if (a.valueSet) out.v = a.valueSet;
    else if (a.name === 'rel') out.v = 'rel';
    return out;
};
const obsoleteFor = (element) => new Set([...(obsoleteAttributes[element] || []), ...(obsoleteAttributes['*'] || [])]);

const elements = web.tags
    .filter((t) => !obsoleteElements.has(t.name))
    .map((t) => {
        const obsolete = obsoleteFor(t.name);
        const out = { n: t.name, d: text(t.description), r: reference(t) };
        if (t.void) out.void = true;
        if (required[t.name]) out.req = required[t.name];
        out.a = t.attributes.filter((a) => !obsolete.has(a.name)).map(attribute(t.name));
        return out;
    });
const globalObsolete = obsoleteFor('*');
const data = {
    source: '@vscode/web-custom-data 0.6.3 (MIT), character-entities 2.0.2 and character-entities-legacy 3.0.0 (MIT), html-validate 10.17.0 (MIT)',
    elements,
    globalAttributes: web.globalAttributes.filter((a) => !globalObsolete.has(a.name)).map(attribute('*')),
    valueSets: { ...Object.fromEntries(web.valueSets.map((s) => [s.name, s.values.map((v) => v.name)])), rel: linkTypes },
    obsoleteAttributes,
    // name;  → characters, and the legacy names that also work without the semicolon
    entities: characterEntities,
    legacyEntities: characterEntitiesLegacy,
};
process.stdout.write(JSON.stringify(data, null, 0) + '\n');
