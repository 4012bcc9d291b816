#include "Pelorins/shell/StoreWaitProgress.h"

#include "PelorinsKit/model/LocalizedString.h"

#include <QCoreApplication>

StoreWaitProgress::StoreWaitProgress(Clock clock)
    : m_clock(std::move(clock))
{
    m_steady.start();
    if (!m_clock)
        m_clock = [this] { return m_steady.elapsed(); };
}

StoreWaitProgress::~StoreWaitProgress()
{
    delete m_dialog;
}

void StoreWaitProgress::report(qint64 done, qint64 total)
{
    if (done >= total) {
        m_started = -1;
        delete m_dialog;
        return;
    }
    const qint64 now = m_clock();
    if (m_started < 0)
        m_started = now;
    if (!m_dialog && now - m_started >= showAfterMilliseconds) {
        m_dialog = new QProgressDialog(local(QStringLiteral("Reading the rest of your boards…")), QString(), 0, 1000);
        m_dialog->setWindowTitle(QStringLiteral("Pelorins"));
        m_dialog->setWindowModality(Qt::ApplicationModal);
        m_dialog->setMinimumDuration(0);
        m_dialog->setAutoClose(false);
        m_dialog->setAutoReset(false);
        m_dialog->show();
    }
    if (!m_dialog)
        return;
    m_dialog->setValue(total > 0 ? int(std::min<qint64>(1000, done * 1000 / total)) : 0);
    // Painted now: the wait keeps this thread from its event loop.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}
