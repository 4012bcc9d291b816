#include "Platform/widgets/IdleTurns.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

// Clients that each use up the whole slice share the passes of the event loop: a pass runs one of
// them, so a timer of the same pass comes between every two, and each gets its turn in order.
TEST(IdleTurns, ClientsOfAWindowShareOneSlicePerPassInTurn)
{
    QWidget window;
    QWidget columns[3];
    for (QWidget& column : columns)
        column.setParent(&window);
    QString seen;
    int left[3] = {3, 3, 3};
    for (int c = 0; c < 3; ++c)
        IdleTurns::of(&columns[c]).want(&columns[c], [&, c](const QDeadlineTimer& deadline) {
            seen += QChar(u'a' + c);
            while (!deadline.hasExpired()) {
            }
            return --left[c] > 0;
        });
    EXPECT_EQ(&IdleTurns::of(&columns[0]), &IdleTurns::of(&window));

    QTimer pass;
    pass.setInterval(0);
    QObject::connect(&pass, &QTimer::timeout, [&] { seen += QLatin1Char('.'); });
    pass.start();
    QElapsedTimer clock;
    clock.start();
    while ((left[0] || left[1] || left[2]) && clock.elapsed() < 10000)
        QCoreApplication::processEvents();
    QString turns = seen;
    turns.remove(QLatin1Char('.'));
    EXPECT_EQ(turns, QStringLiteral("abcabcabc"));
    for (qsizetype i = 1; i < seen.size(); ++i)
        EXPECT_FALSE(seen.at(i) != u'.' && seen.at(i - 1) != u'.') << "two turns in one pass: " << seen.toStdString();
}
