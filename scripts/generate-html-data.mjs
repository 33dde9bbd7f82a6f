// Reads the npm packages named in generate-html-data.sh (their node_modules folder is the
// argument) and prints the compact data that completion loads.
import { readFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { pathToFileURL } from 'node:url';
import { text, reference } from './data-text.mjs';

const modules = process.argv[2];
const require = createRequire(import.meta.url);
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
