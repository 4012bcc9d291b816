#include "ConsoleLog.h"

#include <QMutex>
#include <cstdio>

namespace {
// Lines may come from the migration thread; the innermost capture receives them.
QMutex captureMutex;
ConsoleLog::Capture* activeCapture = nullptr;
}

void ConsoleLog::write(const QString& line)
{
    QMutexLocker locker(&captureMutex);
    if (activeCapture) {
        activeCapture->m_lines.append(line);
        return;
    }
    const QByteArray bytes = line.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

ConsoleLog::Capture::Capture()
{
    QMutexLocker locker(&captureMutex);
    m_previous = activeCapture;
    activeCapture = this;
}

ConsoleLog::Capture::~Capture()
{
    QMutexLocker locker(&captureMutex);
    activeCapture = m_previous;
}
