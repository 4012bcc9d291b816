#include "Platform/services/CalendarFolderWatcher.h"

#include <QFile>
#include <cerrno>
#include <sys/inotify.h>
#include <unistd.h>

namespace {

constexpr uint32_t listChanges = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
constexpr uint32_t contentChanges = IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB;
constexpr uint32_t folderGone = IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_UNMOUNT;

} // namespace

CalendarFolderWatcher::CalendarFolderWatcher()
    : m_descriptor(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
{
}

CalendarFolderWatcher::~CalendarFolderWatcher()
{
    if (m_descriptor >= 0)
        ::close(m_descriptor);
}

bool CalendarFolderWatcher::watch(const QString& folder)
{
    if (m_watched.contains(folder))
        return true;
    if (m_descriptor < 0)
        return false;
    const int watch = ::inotify_add_watch(m_descriptor, QFile::encodeName(folder).constData(),
        listChanges | contentChanges | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR);
    if (watch < 0)
        return false;
    m_folders.insert(watch, folder);
    m_watched.insert(folder, watch);
    return true;
}

void CalendarFolderWatcher::clear()
{
    for (auto watch = m_folders.cbegin(); watch != m_folders.cend(); ++watch)
        ::inotify_rm_watch(m_descriptor, watch.key());
    m_folders.clear();
    m_watched.clear();
}

CalendarFolderWatcher::Changes CalendarFolderWatcher::takeChanges()
{
    Changes changes;
    if (m_descriptor < 0)
        return changes;
    alignas(inotify_event) char buffer[16384];
    for (;;) {
        const ssize_t length = ::read(m_descriptor, buffer, sizeof buffer);
        if (length < 0 && errno == EINTR)
            continue;
        if (length <= 0)
            break;
        for (ssize_t at = 0; at < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += ssize_t(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW) {
                // Some news was lost: every folder is looked at whole.
                for (const QString& folder : std::as_const(m_folders))
                    changes.folders.insert(folder);
                continue;
            }
            const QString folder = m_folders.value(event->wd);
            if (folder.isEmpty())
                continue;
            if (event->mask & folderGone) {
                changes.folders.insert(folder);
                m_folders.remove(event->wd);
                m_watched.remove(folder);
            } else if ((event->mask & listChanges) || event->len == 0) {
                // Files came or went, or the folder itself changed (its permissions, say).
                changes.folders.insert(folder);
            } else {
                changes.files[folder].insert(QFile::decodeName(event->name));
            }
        }
    }
    return changes;
}
