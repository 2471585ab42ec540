#include "savedir.h"

#include "config.h"

#include <QCoreApplication>
#include <QMessageBox>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <ctime>

namespace
{

void showDirErrorBox()
{
    QMessageBox::information(
        nullptr, QCoreApplication::translate("MainWindow", "错误"),
        QCoreApplication::translate("MainWindow", "保存目录无法访问，请重新设定"), QMessageBox::Ok,
        QMessageBox::NoButton);
}

char timestr[200];

} // namespace

void (*showDirError)() = showDirErrorBox;

// A directory the user may list and make files in: a file or a FIFO of
// that name would pass the access check and fail every capture after.
bool dirUsable(const char *path)
{
    const char *dir = path ? path : g_Config.save_dir;
    struct stat status;
    return stat(dir, &status) == 0 && S_ISDIR(status.st_mode) &&
           access(dir, R_OK | W_OK | X_OK) != -1;
}

bool checkDir(const char *path)
{
    if (dirUsable(path))
        return true;
    showDirError();
    return false;
}

bool dirFitsPaths(const char *dir)
{
    // The slash, the longest name and the terminating NUL must fit too.
    return strlen(dir) + 1 + kFileNameMax < kPathMax;
}

bool formatTimeStamp(const timeval &tv, char *out, size_t size)
{
    const time_t seconds = tv.tv_sec;
    tm local;
    if (!localtime_r(&seconds, &local))
        return false;
    snprintf(out, size, "%04d%02d%02d%02d%02d%02d%03ld", local.tm_year + 1900, local.tm_mon + 1,
             local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, long(tv.tv_usec / 1000));
    return true;
}

const char *_get_file_time_str()
{
    timeval tv;
    gettimeofday(&tv, nullptr);
    formatTimeStamp(tv, timestr, sizeof(timestr) - 1);
    return timestr;
}

bool joinPath(char *out, const char *dir, const char *name)
{
    const int n = snprintf(out, kPathMax, "%s/%s", dir, name);
    if (n >= 0 && size_t(n) < kPathMax)
        return true;
    out[0] = '\0';
    return false;
}
