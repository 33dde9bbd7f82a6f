#pragma once

#include "tag_check.h"

#include <QByteArray>
#include <QSet>
#include <QString>
#include <vector>

class QDeadlineTimer;

/// What the editor and the checker program (tagloom-checker) say to each other over a socket
/// (on Windows, the program's standard input and output):
/// a request (a page, its accessibility level, the problem keys to leave out) and its answer
/// (the problems). Each message is its length, then its bytes, in this machine's own byte order:
/// it never leaves the machine.
namespace checker_wire {

/// The checker program's end of the socket.
inline constexpr int kCheckerSocket = 3;

struct Request {
    QString text;
    int accessibility = 0;
    QSet<QString> ignoredKeys;
};

QByteArray encodeRequest(const Request& request);
bool decodeRequest(const QByteArray& bytes, Request* request);
QByteArray encodeProblems(const std::vector<TagProblem>& problems);
bool decodeProblems(const QByteArray& bytes, std::vector<TagProblem>* problems);

#ifdef Q_OS_UNIX
/// Writes one message; false when the other end has gone.
bool writeMessage(int fd, const QByteArray& bytes);
/// Reads one message by @p deadline; false on the other end's close, an error or the deadline
/// (then *timedOut is set).
bool readMessage(int fd, const QDeadlineTimer& deadline, QByteArray* bytes, bool* timedOut);
/// The checker program's work: answers requests on @p fd until the other end closes it.
/// Returns the program's exit status.
int serve(int fd);
#endif

#ifdef Q_OS_WIN
/// The same over the pipes to the checker's standard input and output (the editor's end);
/// @p process is the checker's handle, whose end ends a wait.
bool writeMessage(void* pipe, const QByteArray& bytes);
bool readMessage(void* pipe, void* process, const QDeadlineTimer& deadline, QByteArray* bytes, bool* timedOut);
/// The checker program's work over its standard input and output.
int serveStandardStreams();
#endif

} // namespace checker_wire
