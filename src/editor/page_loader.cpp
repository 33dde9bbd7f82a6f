#include "page_loader.h"

#include "base/memory_promises.h"

#include <algorithm>

PageLoader::PageLoader(std::function<void()> step, QObject* parent) : QObject(parent) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, std::move(step));
}

void PageLoader::start(QString text, qsizetype from, LineEndExceptions lineEnds) {
    Q_ASSERT(from >= 0 && from <= text.size());
    text_ = std::move(text);
    from_ = from;
    lineEnds_ = std::move(lineEnds);
    const QStringView rest = QStringView(text_).mid(from_);
    promise(memory_promises::editorCost(rest.size(), rest.count(u'\n') + 1));
    timer_.start(0);
}

void PageLoader::promise(qint64 bytes) {
    memory_promises::add(bytes - promised_);
    promised_ = bytes;
}

void PageLoader::stop() {
    promise(0);
    text_ = QString();
    lineEnds_.clear();
    timer_.stop();
}

QStringView PageLoader::nextPiece() const {
    qsizetype end = from_ + pieceSize_;
    end = end >= text_.size() ? text_.size() : text_.indexOf(QStringLiteral("\r\n"), end);
    if (end < 0)
        end = text_.size();
    return QStringView(text_).mid(from_, end - from_);
}

void PageLoader::pieceDone(qsizetype length, qint64 nanoseconds) {
    from_ += length;
    Q_ASSERT(from_ <= text_.size());
    // What went in is taken now: the promise shrinks by its share.
    promise(text_.size() > 0 ? qint64(double(promised_) * double(text_.size() - from_) / double(text_.size() - from_ + length)) : 0);
    pieceSize_ = std::clamp<qsizetype>(qsizetype(double(length) * (kStepMs * 1e6 / 3) / double(std::max<qint64>(nanoseconds, 1))),
                                       kSmallestPiece, kLargestPiece);
}

LineEndExceptions PageLoader::finish() {
    timer_.stop();
    promise(0);
    text_ = QString();
    return std::exchange(lineEnds_, {});
}
