// How descriptions from the shared editor data read in Tagloom.

// The program calls the HTML standard "the standard": links into the standard's documents keep
// their words and lose their address, and the other names for it read "standard".
export const plain = (t) => t
    .replace(/\[([^\]]*)\]\(([^)]*spec[^)]*)\)/gi, '$1')
    .replace(/\bspecifications\b/gi, 'standards')
    .replace(/\b(specification|spec)\b/gi, 'standard')
    .replace(/\bspecs\b/gi, 'standards');
export const text = (d) => plain(typeof d === 'string' ? d : d?.value ?? '');
export const reference = (item) => item.references?.[0]?.url ?? '';
