#include "element_path.h"

#include "edit_area.h"

#include "colouring/tag_matching.h"

#include <QRegularExpression>
#include <QtConcurrent/QtConcurrentRun>

ElementPath::ElementPath(QWidget* parent) : QLabel(parent) {
    setObjectName(QStringLiteral("elementPath"));
    setTextFormat(Qt::RichText);
    setToolTip(tr("The elements around the caret; a click selects one"));
    rest_.setSingleShot(true);
    rest_.setInterval(kRestMs);
    connect(&rest_, &QTimer::timeout, this, &ElementPath::read);
    connect(&reading_, &QFutureWatcherBase::finished, this, [this] {
        parts_ = reading_.result();
        QStringList links;
        for (size_t i = 0; i < parts_.size(); ++i)
            links << QStringLiteral("<a href=\"%1\" style=\"text-decoration:none\">%2</a>").arg(i).arg(parts_[i].label.toHtmlEscaped());
        setText(links.join(QStringLiteral(" › ")));
        emit shown();
    });
    connect(this, &QLabel::linkActivated, this, [this](const QString& link) { choose(link.toInt()); });
}

ElementPath::~ElementPath() {
    reading_.waitForFinished();
}

void ElementPath::follow(EditArea* area) {
    for (const QMetaObject::Connection& c : std::as_const(watching_))
        disconnect(c);
    watching_.clear();
    area_ = area;
    clear();
    parts_.clear();
    if (!area)
        return;
    watching_ << connect(area, &QPlainTextEdit::cursorPositionChanged, &rest_, qOverload<>(&QTimer::start))
              << connect(area, &EditArea::languageChanged, &rest_, qOverload<>(&QTimer::start));
    rest_.start();
}

void ElementPath::read() {
    if (!area_ || !language::isMarkup(area_->language())) {
        clear();
        parts_.clear();
        return;
    }
    reading_.setFuture(QtConcurrent::run([text = area_->text(), caret = area_->selectionStart()] { return at(text, caret); }));
}

std::vector<ElementPath::Part> ElementPath::at(const QString& page, int position) {
    static const QRegularExpression id(QStringLiteral("\\sid\\s*=\\s*[\"']?([^\"'\\s>]+)"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression classes(QStringLiteral("\\sclass\\s*=\\s*[\"']?\\s*([^\"'\\s>]+)"),
                                            QRegularExpression::CaseInsensitiveOption);
    const TagMap map = TagMap::build(page);
    std::vector<Part> parts;
    for (const int index : map.elementsAt(position)) {
        const TagMap::Tag& tag = map.tags()[size_t(index)];
        const QString element = page.mid(tag.start, tag.end - tag.start);
        QString label = page.mid(tag.nameStart(), tag.nameLength()).toLower();
        if (const QRegularExpressionMatch m = id.match(element); m.hasMatch())
            label += u'#' + m.captured(1);
        if (const QRegularExpressionMatch m = classes.match(element); m.hasMatch())
            label += u'.' + m.captured(1);
        const int end = tag.status() == TagMap::Status::Matched ? map.tags()[size_t(tag.partner())].end
                        : tag.status() == TagMap::Status::Void  ? tag.end
                                                                : tag.endedAt();
        parts.push_back({label, tag.start, end});
    }
    return parts;
}

void ElementPath::choose(int index) {
    if (!area_ || index < 0 || index >= int(parts_.size()))
        return;
    area_->setCaretPosition(parts_[size_t(index)].start);
    area_->setSelectionLength(parts_[size_t(index)].end - parts_[size_t(index)].start);
    area_->setFocus(Qt::OtherFocusReason);
}
