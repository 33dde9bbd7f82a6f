#include "page_loader.h"

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
    timer_.start(0);
}

void PageLoader::stop() {
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
    pieceSize_ = std::clamp<qsizetype>(qsizetype(double(length) * (kStepMs * 1e6 / 3) / double(std::max<qint64>(nanoseconds, 1))),
                                       kSmallestPiece, kLargestPiece);
}

LineEndExceptions PageLoader::finish() {
    timer_.stop();
    text_ = QString();
    return std::exchange(lineEnds_, {});
}
