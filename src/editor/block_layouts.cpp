#include "editor/block_layouts.h"

#include <QTextBlock>
#include <QTextLayout>
#include <QtGui/private/qtextdocument_p.h>

namespace {
const QTextBlockData* dataOf(const QTextBlock& block) {
    const QTextDocumentPrivate* document = QTextDocumentPrivate::get(block);
    return document && block.isValid() ? document->blockMap().fragment(block.fragmentIndex()) : nullptr;
}
} // namespace

namespace block_layouts {
bool has(const QTextBlock& block) {
    const QTextBlockData* data = dataOf(block);
    return data && data->layout;
}

void drop(const QTextBlock& block) {
    if (const QTextBlockData* data = dataOf(block)) {
        // What the document itself does when the line goes.
        delete data->layout;
        data->layout = nullptr;
    }
}
} // namespace block_layouts
