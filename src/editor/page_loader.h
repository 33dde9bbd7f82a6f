#pragma once

#include "base/line_end.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

/// The part of a big page still to go into the edit area: its text, where the rest starts, and
/// its lines' own ends. The rest is cut into pieces at line ends, each sized by what the last one
/// cost, and a timer asks for the next step of the load whenever the window is idle. The edit
/// area puts each piece in; this part only knows where the pieces are.
class PageLoader : public QObject {
    Q_OBJECT
public:
    /// A load step goes on with pieces until it has taken this long: a key or a paint never
    /// waits much longer for the event loop. A piece is sized to take about a third of that, by
    /// what the last one cost: lines of a few characters cost a block each, long lines little.
    static constexpr int kStepMs = 25;
    static constexpr qsizetype kSmallestPiece = 16 * 1024;
    static constexpr qsizetype kLargestPiece = 1024 * 1024;

    /// @p step runs one step of the load (while the window is idle).
    explicit PageLoader(std::function<void()> step, QObject* parent = nullptr);
    ~PageLoader() override { promise(0); }

    /// The rest of @p text, from @p from (a line end), is to load; the first step comes soon.
    void start(QString text, qsizetype from, LineEndExceptions lineEnds);
    /// Drops what is left.
    void stop();
    bool isLoading() const { return !text_.isNull(); }
    /// Characters still to load.
    qsizetype remaining() const { return text_.size() - from_; }
    bool atEnd() const { return from_ >= text_.size(); }

    /// The next piece: up to the first line end after the piece size, or the rest.
    QStringView nextPiece() const;
    /// The piece went in and took @p nanoseconds: the next starts after it, sized by that cost.
    void pieceDone(qsizetype length, qint64 nanoseconds);
    /// Asks for the next step while the window is idle.
    void stepSoon() { timer_.start(0); }
    /// The load is over: the lines' own ends, and the text let go.
    LineEndExceptions finish();

private:
    QTimer timer_;
    QString text_;
    qsizetype from_ = 0;
    qsizetype pieceSize_ = 256 * 1024;
    LineEndExceptions lineEnds_;
    /// What the rest will take once in, promised so that opens meanwhile count it as taken.
    qint64 promised_ = 0;
    void promise(qint64 bytes);
};
