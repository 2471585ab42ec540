// zqvideo's page journal ($XDG_STATE_HOME/zqvideo/pages-HASH.json, the
// page list kept between runs) on arbitrary bytes, read back as the window
// reads it at start (PageJournal::read).  The save directory is
// /tmp/zqfuzz-journal/pages, beside two page files, a.jpg and b.tif, and a
// folder c, so that a journal (the seeds name them) can hold pages that are
// there, gone or no file.  Every page the journal gives back must be a
// usable file under exactly the path that was checked.  (The others are
// reported gone by their names; one whose bytes hold a NUL is reported
// with an empty name, as QFile::decodeName stops there.)
#include "trap_unless.h"
#include "pagejournal.h"

#include <QCoreApplication>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace
{

const char kFolder[] = "/tmp/zqfuzz-journal";
const QByteArray kSaveDir = QByteArray(kFolder) + "/pages";
std::string journal;

void touch(const char *name)
{
    FILE *f = fopen((std::string(kFolder) + "/" + name).c_str(), "wb");
    trapUnless(f && fputs("page", f) >= 0 && fclose(f) == 0);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    setenv("XDG_STATE_HOME", kFolder, 1);
    for (const char *folder : {"", "/zqvideo", "/pages", "/c"}) {
        const std::string path = std::string(kFolder) + folder;
        trapUnless(mkdir(path.c_str(), 0700) == 0 || errno == EEXIST);
    }
    touch("a.jpg");
    touch("b.tif");
    journal = PageJournal::fileFor(kSaveDir).toStdString();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    trapUnless(writeFile(journal, data, size));
    QStringList gone;
    const PageJournal::State state = PageJournal::read(kSaveDir, gone);
    for (const PageJournal::Page &page : state.pages)
        trapUnless(!page.path.isEmpty() && !page.path.contains('\0') && pageFileUsable(page.path));
    return 0;
}
