// The checker program: runs HTML Tidy on the pages the editor or tagloom-check sends it over the
// socket it is given as file 3 (on Windows, its standard input and output), until that closes.
// Started by them, never by a user.
#include "checking/checker_wire.h"

#include <QtGlobal>
#include <cstdio>
#include <cstdlib>

#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/prctl.h>
#endif
#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fputs("tagloom-checker is started by Tagloom and tagloom-check, not on its own.\n", stderr);
        return 2;
    }
#ifdef Q_OS_LINUX
    // Never outlives the thread that started it; and if that thread is gone already, ends now.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != std::atoll(argv[1]))
        ::_exit(0);
#endif
#ifdef Q_OS_WIN
    // The editor's job object ends this process with the editor; the pages come on standard input.
    (void)argv;
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    return checker_wire::serveStandardStreams();
#else
    // _exit: nothing of the program is left to tidy away, and the parent waits for the end.
    ::_exit(checker_wire::serve(checker_wire::kCheckerSocket));
#endif
}
