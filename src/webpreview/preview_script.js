// Runs in a world of its own, before the page's first byte: the page's scripts never see these
// names. It takes each element's source mark out of the page as it is parsed (before any of the
// page's scripts can read it), keeps it here, outlines an element, and reports Ctrl+clicks.
(() => {
    const mark = 'data-tagloom-at';
    const token = '%TOKEN%';
    const positionOf = new WeakMap();
    const elementAt = new Map();
    const take = (node) => {
        if (node.nodeType !== Node.ELEMENT_NODE)
            return;
        for (const element of [node, ...node.querySelectorAll('[' + mark + ']')]) {
            const value = element.getAttribute(mark);
            if (value === null)
                continue;
            const at = Number(value);
            positionOf.set(element, at);
            elementAt.set(at, new WeakRef(element));
            element.removeAttribute(mark);
        }
    };
    new MutationObserver((records) => {
        for (const record of records)
            for (const node of record.addedNodes)
                take(node);
    }).observe(document, {childList: true, subtree: true});

    let box = null;
    let outlined = -1;
    const place = () => {
        const element = outlined >= 0 ? elementAt.get(outlined)?.deref() : null;
        if (!element || !element.isConnected) {
            box?.remove();
            return false;
        }
        if (!box) {
            box = document.createElement('div');
            box.style.cssText = 'position:absolute;pointer-events:none;z-index:2147483647;box-sizing:border-box;' +
                'border:2px solid #3d8ee9;background:rgba(61,142,233,0.12);margin:0;padding:0';
        }
        const r = element.getBoundingClientRect();
        box.style.left = (r.left + window.scrollX) + 'px';
        box.style.top = (r.top + window.scrollY) + 'px';
        box.style.width = r.width + 'px';
        box.style.height = r.height + 'px';
        if (!box.isConnected)
            document.documentElement.appendChild(box);
        return true;
    };
    window.tagloomOutline = (at) => {
        outlined = at;
        const element = at >= 0 ? elementAt.get(at)?.deref() : null;
        if (element && element.isConnected)
            element.scrollIntoView({block: 'nearest', inline: 'nearest'});
        return place() ? at : -1;
    };
    // For tests: the outlined position, when the outline covers its element.
    window.tagloomOutlined = () => {
        const element = outlined >= 0 ? elementAt.get(outlined)?.deref() : null;
        if (!element || !box || !box.isConnected)
            return -1;
        const a = element.getBoundingClientRect(), b = box.getBoundingClientRect();
        const near = (x, y) => Math.abs(x - y) < 1;
        return near(a.left, b.left) && near(a.top, b.top) && near(a.width, b.width) && near(a.height, b.height) ? outlined : -1;
    };
    // For tests: the middle of the element marked at a position, in the view's coordinates.
    window.tagloomCentre = (at) => {
        const element = elementAt.get(at)?.deref();
        if (!element)
            return null;
        const r = element.getBoundingClientRect();
        return [r.left + r.width / 2, r.top + r.height / 2];
    };
    // An edit inside one element: its content is replaced, and the marks after the edit move.
    window.tagloomPatch = (at, editEnd, delta, content) => {
        const element = elementAt.get(at)?.deref();
        if (!element || !element.isConnected)
            return false;
        const moved = [];
        for (const [position, ref] of elementAt) {
            const other = ref.deref();
            if (!other || (other !== element && element.contains(other))) {
                elementAt.delete(position);
            } else if (position >= editEnd) {
                elementAt.delete(position);
                moved.push([position + delta, ref, other]);
            }
        }
        for (const [position, ref, other] of moved) {
            elementAt.set(position, ref);
            positionOf.set(other, position);
        }
        element.innerHTML = content;
        take(element);
        if (outlined >= editEnd)
            outlined += delta;
        place();
        return true;
    };
    window.addEventListener('resize', place);
    window.addEventListener('click', (event) => {
        if (!event.ctrlKey && !event.metaKey)
            return;
        for (let element = event.target; element; element = element.parentElement) {
            const at = positionOf.get(element);
            if (at !== undefined) {
                event.preventDefault();
                event.stopImmediatePropagation();
                console.debug(token + at);
                return;
            }
        }
    }, true);
})();
