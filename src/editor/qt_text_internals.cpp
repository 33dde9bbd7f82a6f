#include "qt_text_internals.h"

#include <QPlainTextEdit>
#include <QSyntaxHighlighter>
#include <QTextDocument>

namespace qt_text_internals {
namespace {
const char* const kContentsChange = SIGNAL(contentsChange(int, int, int));
const char* const kReformatBlocks = SLOT(_q_reformatBlocks(int, int, int));
} // namespace

bool routeRepaintRequests(QPlainTextEdit* edit, QObject* receiver) {
    // The layout's requests reach the widget through its text control, a child of the widget.
    for (QObject* control : edit->children())
        if (control->inherits("QWidgetTextControl") &&
            QObject::disconnect(control, SIGNAL(updateRequest(QRectF)), edit, SLOT(_q_repaintContents(QRectF)))) {
            QObject::connect(control, SIGNAL(updateRequest(QRectF)), receiver, SLOT(repaintContents(QRectF)));
            return true;
        }
    qWarning("Tagloom: Qt's text control was not found; edits repaint the whole view");
    return false;
}

void repaintAsQtWould(QPlainTextEdit* edit, const QRectF& rect) {
    QMetaObject::invokeMethod(edit, "_q_repaintContents", Qt::DirectConnection, Q_ARG(QRectF, rect));
}

HighlighterPause::HighlighterPause(QSyntaxHighlighter* highlighter)
    : highlighter_(highlighter),
      paused_(highlighter->document() &&
              QObject::disconnect(highlighter->document(), kContentsChange, highlighter, kReformatBlocks)) {}

HighlighterPause::~HighlighterPause() {
    if (paused_ && highlighter_->document())
        QObject::connect(highlighter_->document(), kContentsChange, highlighter_, kReformatBlocks);
}

} // namespace qt_text_internals
