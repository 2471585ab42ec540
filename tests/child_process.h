// Runs part of a test in a child process: for what must not touch the test
// process itself, such as a file size limit or giving up root.
#ifndef ZQ_TESTS_CHILD_PROCESS_H
#define ZQ_TESTS_CHILD_PROCESS_H

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>

namespace zq::test
{

// Runs body in a child process; its result is the child's exit status
// (body's result as exit passes it on: -1 comes back as 255), or
// 128 + the signal that ended the child.
inline int inChild(const std::function<int()> &body)
{
    std::fflush(nullptr); // so that nothing buffered is written twice
    const pid_t pid = fork();
    if (pid == 0)
        _exit(body() & 0xff);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// The exit status of a child that could not become nobody.
constexpr int kNotNobody = 100;

// Runs body in a child process as user and group nobody, for whom
// permission bits count as they do not for root.
inline int asNobody(const std::function<int()> &body)
{
    constexpr uid_t kNobody = 65534;
    return inChild([&] {
        if (setgid(kNobody) != 0 || setuid(kNobody) != 0)
            return kNotNobody;
        return body();
    });
}

} // namespace zq::test

#endif
