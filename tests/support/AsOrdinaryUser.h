#pragma once

#include <QDirIterator>
#include <QFile>
#include <QString>
#include <sys/types.h>
#include <unistd.h>

// File permissions do not bind the superuser, so a test of what a user may not write runs as
// "nobody" while this lives. Only the effective ids change, so the test's process is what it was
// afterwards. `folder` (when given) and what it holds are handed to nobody first.
class AsOrdinaryUser
{
public:
    explicit AsOrdinaryUser(const QString& folder = {})
    {
        if (geteuid() != 0)
            return;
        if (!folder.isEmpty()) {
            handOver(folder);
            QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                QDirIterator::Subdirectories);
            while (it.hasNext())
                handOver(it.next());
        }
        m_switched = setegid(nobody) == 0 && seteuid(nobody) == 0;
    }
    ~AsOrdinaryUser()
    {
        if (m_switched && seteuid(0) == 0)
            setegid(0);
    }
    AsOrdinaryUser(const AsOrdinaryUser&) = delete;
    AsOrdinaryUser& operator=(const AsOrdinaryUser&) = delete;

    // Whether permissions now bind the test.
    bool holds() const { return geteuid() != 0; }

private:
    static constexpr uid_t nobody = 65534;
    static void handOver(const QString& path)
    {
        [[maybe_unused]] const int result = lchown(QFile::encodeName(path).constData(), nobody, nobody);
    }

    bool m_switched = false;
};
