#include "pagejournal.h"

#include "atomic_file.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QFileInfo>
#include <QListWidget>
#include <QTimer>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace
{

constexpr int kFormat = 1;
// A journal of many thousand pages stays far below this; a bigger file is
// not one of ours.
constexpr qint64 kLargestJournal = 64 << 20;

// Paths are bytes, JSON strings are text: the bytes are kept
// percent-encoded, slashes and plain ASCII letters readable.
QString encoded(const QByteArray &path)
{
    return QString::fromLatin1(path.toPercentEncoding("/"));
}

QByteArray decoded(const QJsonValue &value)
{
    return QByteArray::fromPercentEncoding(value.toString().toLatin1());
}

QString stateFolder()
{
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (!QDir::isAbsolutePath(base))
        base = QDir::homePath() + "/.local/state";
    return base + "/zqvideo";
}

QByteArray pathOf(const QListWidgetItem *item)
{
    return item->data(Qt::UserRole).toByteArray();
}

} // namespace

bool pageFileUsable(const QByteArray &path)
{
    // A NUL in the bytes would have the file before it checked in its place.
    struct stat status;
    return !path.contains('\0') && stat(path.constData(), &status) == 0 &&
           S_ISREG(status.st_mode) && access(path.constData(), R_OK) == 0;
}

// A change is written when the event loop next runs: a capture lists its
// page and then collects it, and deleting many pages removes them one by
// one, each one write.
PageJournal::PageJournal(QListWidget *list, QObject *parent)
    : QObject(parent), list_(list), pending_(new QTimer(this))
{
    pending_->setSingleShot(true);
    pending_->setInterval(0);
    connect(pending_, &QTimer::timeout, this, &PageJournal::write);
    // Before this process writes a journal: what a killed one left.
    zq::remove_stale_temporaries(QFile::encodeName(stateFolder()).toStdString());
    // Whoever changes the list, and however: its model says so.
    QAbstractItemModel *model = list->model();
    const auto later = [this] { pending_->start(); };
    connect(model, &QAbstractItemModel::rowsInserted, this, later);
    connect(model, &QAbstractItemModel::rowsRemoved, this, later);
    connect(model, &QAbstractItemModel::rowsMoved, this, later);
    connect(model, &QAbstractItemModel::dataChanged, this, later);
    connect(model, &QAbstractItemModel::modelReset, this, later);
}

QString PageJournal::fileFor(const QByteArray &saveDir)
{
    const QByteArray hash = QCryptographicHash::hash(saveDir, QCryptographicHash::Sha1).toHex();
    return stateFolder() + "/pages-" + QString::fromLatin1(hash) + ".json";
}

PageJournal::State PageJournal::read(const QByteArray &saveDir, QStringList &gone)
{
    State state;
    QFile file(fileFor(saveDir));
    if (saveDir.isEmpty() || !file.open(QIODevice::ReadOnly) || file.size() > kLargestJournal)
        return state;
    const QJsonObject journal = QJsonDocument::fromJson(file.readAll()).object();
    // Another directory whose name hashes alike is not this one.
    if (journal.value("format").toInt() != kFormat ||
        decoded(journal.value("directory")) != saveDir)
        return state;
    for (const QJsonValue &value : journal.value("pages").toArray()) {
        const QJsonObject page = value.toObject();
        const QByteArray path = decoded(page.value("path"));
        if (path.isEmpty())
            continue;
        if (pageFileUsable(path))
            state.pages.push_back({path, page.value("collected").toBool()});
        else
            gone << QFile::decodeName(path);
    }
    state.collecting = journal.value("collecting").toBool();
    return state;
}

QString PageJournal::goneReport(const QStringList &paths)
{
    QStringList names;
    for (const QString &path : paths)
        names << QFileInfo(path).fileName();
    return tr("%n 页的文件已不在磁盘上，已从列表中移除：%1", nullptr, int(paths.size()))
        .arg(names.join(tr("、")));
}

void PageJournal::start(const QByteArray &saveDir)
{
    saveDir_ = saveDir;
    written_.clear();
    write();
}

void PageJournal::stop()
{
    if (pending_->isActive())
        write();
    pending_->stop();
    saveDir_.clear();
}

void PageJournal::setCollection(bool collecting, const std::list<std::string> &pages)
{
    collecting_ = collecting;
    collected_.clear();
    for (const std::string &page : pages)
        collected_.insert(QByteArray::fromStdString(page));
    pending_->start();
}

// The collection follows the list's order (the PDF takes the pages in it),
// so a mark on each page says all there is of it.
QByteArray PageJournal::contents() const
{
    QJsonArray pages;
    for (int row = 0; row < list_->count(); ++row) {
        const QByteArray path = pathOf(list_->item(row));
        pages.append(
            QJsonObject{{"path", encoded(path)}, {"collected", collected_.contains(path)}});
    }
    const QJsonObject journal{{"format", kFormat},
                              {"directory", encoded(saveDir_)},
                              {"collecting", collecting_},
                              {"pages", pages}};
    return QJsonDocument(journal).toJson();
}

// A thumbnail arriving changes the model too: only a state that differs
// from the one written is written.
void PageJournal::write()
{
    if (saveDir_.isEmpty())
        return;
    const QByteArray text = contents();
    if (text == written_)
        return;
    const QString path = fileFor(saveDir_);
    QDir().mkpath(stateFolder());
    zq::AtomicFile file(QFile::encodeName(path).toStdString());
    std::FILE *stream = file.is_open() ? file.stream() : nullptr;
    if (stream &&
        std::fwrite(text.constData(), 1, size_t(text.size()), stream) == size_t(text.size()) &&
        file.commit()) {
        written_ = text;
        failing_ = false;
        return;
    }
    // Said once when it begins to fail, not on every change.
    if (!failing_)
        emit failed(tr("页面列表无法保存到 %1：%2")
                        .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    failing_ = true;
}
