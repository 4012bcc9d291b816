#include "Platform/services/CalendarFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QColor defaultCalendarColor(0x2f, 0x7d, 0xd1);
constexpr qint64 maximumNameFileSize = 1024;

struct DirectoryCloser
{
    void operator()(DIR* dir) const { ::closedir(dir); }
};

CalendarFolder::Stamp stampOf(const struct stat& status)
{
    return CalendarFolder::Stamp {status.st_dev, status.st_ino, qint64(status.st_size),
        qint64(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec,
        qint64(status.st_ctim.tv_sec) * 1000000000 + status.st_ctim.tv_nsec};
}

QString canonicalPath(const QString& path)
{
    std::unique_ptr<char, decltype(&::free)> resolved(
        ::realpath(QFile::encodeName(path).constData(), nullptr), &::free);
    return resolved ? QFile::decodeName(resolved.get()) : QString();
}

bool isEventFileName(const QString& name)
{
    return !name.startsWith(QLatin1Char('.')) && name.endsWith(QLatin1String(".ics"), Qt::CaseInsensitive);
}

// vdir colours are "#RRGGBB" or "#RRGGBBAA".
QColor colorFromVdir(const QString& text)
{
    if (text.size() == 9 && text.startsWith('#')) {
        const QColor rgb = QColor::fromString(text.left(7));
        bool ok = false;
        const int alpha = text.mid(7).toInt(&ok, 16);
        if (rgb.isValid() && ok)
            return QColor(rgb.red(), rgb.green(), rgb.blue(), alpha);
    }
    const QColor color = QColor::fromString(text);
    return color.isValid() ? color : defaultCalendarColor;
}

} // namespace

CalendarFolder::CalendarFolder(QString path)
    : m_path(std::move(path))
{
}

QString CalendarFolder::filePath(const QString& name) const
{
    return QDir(m_path).filePath(name);
}

void CalendarFolder::list(QList<Entry>* files, QStringList* refused) const
{
    const std::unique_ptr<DIR, DirectoryCloser> dir(::opendir(QFile::encodeName(m_path).constData()));
    QStringList names;
    while (dir) {
        const dirent* found = ::readdir(dir.get());
        if (!found)
            break;
        const QString name = QFile::decodeName(found->d_name);
        if (found->d_type != DT_DIR && isEventFileName(name))
            names.append(name);
    }
    std::sort(names.begin(), names.end());
    for (const QString& name : std::as_const(names)) {
        if (const std::optional<Entry> found = entry(name))
            files->append(*found);
        else
            refused->append(name);
    }
}

std::optional<CalendarFolder::Entry> CalendarFolder::entry(const QString& name) const
{
    const QByteArray path = QFile::encodeName(filePath(name));
    struct stat status;
    if (::lstat(path.constData(), &status) != 0)
        return std::nullopt;
    if (S_ISREG(status.st_mode))
        return Entry {name, stampOf(status), false};
    if (!S_ISLNK(status.st_mode))
        return std::nullopt;
    // A link counts only when it stays inside the folder and leads to a regular file.
    const QString folder = canonicalPath(m_path);
    const QString target = canonicalPath(filePath(name));
    if (folder.isEmpty() || !target.startsWith(folder + QLatin1Char('/')))
        return std::nullopt;
    if (::stat(QFile::encodeName(target).constData(), &status) != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
    return Entry {name, stampOf(status), true};
}

std::optional<QByteArray> CalendarFolder::read(const Entry& entry, qint64 limit) const
{
    // Opened without waiting, and checked again once open: the name may have been replaced by a
    // FIFO or a device since it was looked at.
    const int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | (entry.isLink ? 0 : O_NOFOLLOW);
    const int descriptor = ::open(QFile::encodeName(filePath(entry.name)).constData(), flags);
    if (descriptor < 0)
        return std::nullopt;
    struct stat status;
    const bool regular = ::fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode)
        && status.st_dev == entry.stamp.device && status.st_ino == entry.stamp.inode;
    QByteArray bytes;
    if (regular) {
        bytes.resize(qsizetype(std::min<qint64>(std::max<qint64>(status.st_size, 0), limit) + 1));
        qsizetype filled = 0;
        while (filled < bytes.size()) {
            const ssize_t got = ::read(descriptor, bytes.data() + filled, size_t(bytes.size() - filled));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                break;
            filled += got;
            // A file that grew since it was looked at is read up to one byte past the limit.
            if (filled == bytes.size() && filled <= limit)
                bytes.resize(qsizetype(std::min<qint64>(qint64(bytes.size()) * 2, limit + 1)));
        }
        bytes.truncate(filled);
    }
    ::close(descriptor);
    if (!regular || bytes.size() > limit)
        return std::nullopt;
    return bytes;
}

CalendarEvent::Calendar CalendarFolder::calendar() const
{
    const auto text = [this](const char* name) {
        const std::optional<Entry> found = entry(QString::fromLatin1(name));
        const std::optional<QByteArray> bytes = found ? read(*found, maximumNameFileSize) : std::nullopt;
        return bytes ? QString::fromUtf8(*bytes).trimmed() : QString();
    };
    CalendarEvent::Calendar calendar;
    calendar.title = text("displayname");
    if (calendar.title.isEmpty())
        calendar.title = QDir(m_path).dirName();
    calendar.color = colorFromVdir(text("color"));
    calendar.allowsContentModifications = QFileInfo(m_path).isWritable();
    return calendar;
}
