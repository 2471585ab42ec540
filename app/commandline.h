// zqvideo's command line: --help and --version answer on standard output
// without opening a window.
#ifndef ZQVIDEO_COMMANDLINE_H
#define ZQVIDEO_COMMANDLINE_H

// Prints the answer and exits with 0 when the command line asks for help or
// the version; returns otherwise, leaving every other argument (Qt's own,
// such as -platform or -style) to QApplication.
void answerTextRequests(int argc, char *argv[]);

#endif
