// The oracle for the colours of code inside pages: Debian's css-tree and acorn read the same
// style sheets and scripts. Reads [{lang: "css"|"js", text}] as JSON on stdin and prints, for
// each, the runs [kind, start, end] of the kinds the editor colours (UTF-16 offsets), with
// adjacent pieces of one template literal joined, or {error} when the oracle cannot read it.
// With lang "js-tokens" or "css-tokens", the text's tokens instead.
const acorn = require('acorn');
const csstree = require('css-tree');

const contextual = new Set(['async', 'await', 'let', 'static', 'yield']);

function jsRuns(text) {
    const runs = [];
    const add = (kind, start, end) => {
        const last = runs[runs.length - 1];
        if (kind === 'js-template' && last && last[0] === kind && last[2] === start) last[2] = end;
        else if (end > start || kind === 'js-template') runs.push([kind, start, end]);
    };
    const comments = [];
    const options = { ecmaVersion: 'latest', allowHashBang: true, allowReturnOutsideFunction: true,
                      allowAwaitOutsideFunction: true, onComment: comments };
    let tokens;
    for (const sourceType of ['script', 'module']) {
        try {
            comments.length = 0;
            tokens = [...acorn.tokenizer(text, { ...options, sourceType })];
            break;
        } catch (e) {
            if (sourceType === 'module') return { error: String(e.message) };
        }
    }
    const braces = [];
    let previous = null;
    const all = tokens.map((t) => ({ t, start: t.start })).concat(comments.map((c) => ({ c, start: c.start })))
        .sort((a, b) => a.start - b.start);
    for (const { t, c } of all) {
        if (c) { add('js-comment', c.start, c.end); continue; }
        const label = t.type.label;
        if (label === '`') add('js-template', t.start, t.end);
        else if (label === 'template' || label === 'invalidTemplate') add('js-template', t.start, t.end);
        else if (label === '${') { add('js-template', t.start, t.end); braces.push(0); }
        else if (label === '{' && braces.length) braces[braces.length - 1]++;
        else if (label === '}' && braces.length && braces[braces.length - 1] === 0) { braces.pop(); add('js-template', t.start, t.end); }
        else if (label === '}' && braces.length) braces[braces.length - 1]--;
        else if (label === 'string') add('js-string', t.start, t.end);
        else if (label === 'num') add('js-number', t.start, t.end);
        else if (label === 'regexp') add('js-regex', t.start, t.end);
        else if (t.type.keyword && !(previous && previous.type.label === '.')) add('js-keyword', t.start, t.end);
        else if (label === 'name' && contextual.has(t.value) && !(previous && previous.type.label === '.')) add('js-keyword', t.start, t.end);
        previous = t;
    }
    return runs.filter((r) => r[2] > r[1]).sort((a, b) => a[1] - b[1]);
}

function cssRuns(text, declarations) {
    const runs = [];
    // Context-free tokens from the tokenizer: comments, strings, url( ), at-rules.
    const types = csstree.tokenTypes;
    csstree.tokenize(text, (type, start, end) => {
        if (type === types.Comment) runs.push(['css-comment', start, end]);
        else if (type === types.String || type === types.Url || type === types.BadString) runs.push(['css-string', start, end]);
        else if (type === types.AtKeyword) runs.push(['css-at-rule', start, end]);
    });
    // Numbers and colours in declarations and at-rule preludes, from the parsed tree (selectors
    // hold none of these node types).
    let ast;
    try {
        ast = csstree.parse(text, { positions: true, context: declarations ? 'declarationList' : 'stylesheet',
                                    parseValue: true, parseCustomProperty: false, onParseError: () => {} });
    } catch (e) {
        return { error: String(e.message) };
    }
    csstree.walk(ast, (v) => {
        if (!v.loc) return;
        if (v.type === 'Number' || v.type === 'Percentage' || v.type === 'Dimension') runs.push(['css-number', v.loc.start.offset, v.loc.end.offset]);
        else if (v.type === 'Hash') runs.push(['css-colour', v.loc.start.offset, v.loc.end.offset]);
    });
    return runs.sort((a, b) => a[1] - b[1]);
}

// The tokens as the parsers read them, whitespace left out: a text formatted by indent only must
// give the same list.
function jsTokens(text) {
    const comments = [];
    try {
        const tokens = [...acorn.tokenizer(text, { ecmaVersion: 'latest', allowHashBang: true, sourceType: 'module',
                                                    allowReturnOutsideFunction: true, onComment: comments })];
        return tokens.map((t) => t.type.label + ':' + text.slice(t.start, t.end))
            .concat(comments.map((c) => 'comment:' + c.value));
    } catch (e) {
        return { error: String(e.message) };
    }
}
function cssTokens(text) {
    const out = [];
    csstree.tokenize(text, (type, start, end) => {
        if (type !== csstree.tokenTypes.WhiteSpace) out.push(type + ':' + text.slice(start, end));
    });
    return out;
}
const readers = { 'js': jsRuns, 'css': (t) => cssRuns(t, false), 'css-declarations': (t) => cssRuns(t, true),
                  'js-tokens': jsTokens, 'css-tokens': cssTokens };

let input = '';
process.stdin.setEncoding('utf8');
process.stdin.on('data', (d) => (input += d));
process.stdin.on('end', () => {
    const out = JSON.parse(input).map((item) => readers[item.lang](item.text));
    process.stdout.write(JSON.stringify(out));
});
