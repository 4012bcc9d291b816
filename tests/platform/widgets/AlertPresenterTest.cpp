#include "Platform/widgets/MessageBoxAlertPresenter.h"
#include "Platform/widgets/ScriptedAlertPresenter.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDeadlineTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>

namespace {

AlertPresenter::Alert deleteAlert()
{
    AlertPresenter::Alert alert;
    alert.messageText = "Are you sure you want to delete the Project \"Garden\"?";
    alert.informativeText = "This Project will be deleted immediately.";
    alert.buttonTitles = {"Delete", "Cancel"};
    alert.style = AlertPresenter::Style::Critical;
    alert.defaultButton = 1;
    alert.destructiveButton = 0;
    return alert;
}

// Runs `answer` on the message box once it is up, then returns what the presenter answered.
int runAndAnswer(const AlertPresenter::Alert& alert, std::function<void(QMessageBox*)> answer)
{
    QMessageBox* seen = nullptr;
    QTimer::singleShot(0, [&] {
        seen = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (seen)
            answer(seen);
    });
    const int result = MessageBoxAlertPresenter().runModal(alert, nullptr);
    EXPECT_NE(seen, nullptr);
    return result;
}

void press(QWidget* widget, int key)
{
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

bool waitFor(const std::function<bool()>& condition)
{
    const QDeadlineTimer deadline(3000);
    while (!condition() && !deadline.hasExpired())
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    return condition();
}

QAbstractButton* buttonTitled(QMessageBox* box, const QString& title)
{
    for (QAbstractButton* button : box->buttons()) {
        if (button->text() == title)
            return button;
    }
    return nullptr;
}

} // namespace

TEST(MessageBoxAlertPresenter, ShowsTheTextsAndAnswersTheIndexOfTheClickedButton)
{
    for (const QString& title : {QStringLiteral("Delete"), QStringLiteral("Cancel")}) {
        const int answer = runAndAnswer(deleteAlert(), [&](QMessageBox* box) {
            EXPECT_EQ(box->text(), deleteAlert().messageText);
            EXPECT_EQ(box->informativeText(), deleteAlert().informativeText);
            EXPECT_EQ(box->icon(), QMessageBox::Critical);
            EXPECT_EQ(box->buttonRole(buttonTitled(box, "Delete")), QMessageBox::DestructiveRole);
            // Both texts can be selected, to copy an address or an error.
            for (const QString& text : {deleteAlert().messageText, deleteAlert().informativeText}) {
                const QList<QLabel*> labels = box->findChildren<QLabel*>();
                const auto label = std::find_if(
                    labels.cbegin(), labels.cend(), [&](const QLabel* each) { return each->text() == text; });
                ASSERT_NE(label, labels.cend());
                EXPECT_TRUE((*label)->textInteractionFlags() & Qt::TextSelectableByMouse);
            }
            buttonTitled(box, title)->click();
        });
        EXPECT_EQ(answer, deleteAlert().buttonTitles.indexOf(title));
    }
}

TEST(MessageBoxAlertPresenter, ReturnChoosesTheDefaultButtonAndEscapeTheLast)
{
    AlertPresenter::Alert quit;
    quit.messageText = "Could not save changes while quitting. Quit anyway?";
    quit.buttonTitles = {"Quit anyway", "Cancel"};
    EXPECT_EQ(runAndAnswer(quit, [](QMessageBox* box) { press(box, Qt::Key_Return); }), 0);
    EXPECT_EQ(runAndAnswer(quit, [](QMessageBox* box) { press(box, Qt::Key_Escape); }), 1);
    // Return on an alert whose default is Cancel must not delete.
    EXPECT_EQ(runAndAnswer(deleteAlert(), [](QMessageBox* box) { press(box, Qt::Key_Return); }), 1);
    EXPECT_EQ(runAndAnswer(deleteAlert(), [](QMessageBox* box) { box->close(); }), 1);
}

TEST(MessageBoxAlertPresenter, AlertWithoutButtonsCanStillBeDismissed)
{
    AlertPresenter::Alert bare;
    bare.messageText = "Nothing to choose";
    EXPECT_EQ(runAndAnswer(bare,
                  [](QMessageBox* box) {
                      ASSERT_EQ(box->buttons().size(), 1);
                      EXPECT_EQ(box->buttons().first()->text(), "OK");
                      press(box, Qt::Key_Escape);
                  }),
        0);
}

// Keys typed right after the box closes reach the window's shortcuts: Ctrl+Z after a deletion
// confirmed in a box undoes it. Only a display has window activation and a real keyboard: this
// runs once more under xvfb-run with QT_QPA_PLATFORM=xcb, typing through xdotool.
TEST(MessageBoxAlertPresenter, TheWindowBehindTheClosedBoxTakesTheKeysAgain)
{
    const QString xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
    if (QGuiApplication::platformName() == QLatin1String("offscreen") || xdotool.isEmpty())
        GTEST_SKIP() << "needs a display and xdotool: run under xvfb-run with QT_QPA_PLATFORM=xcb";
    QWidget window;
    auto* list = new QWidget(&window);
    list->setFocusPolicy(Qt::StrongFocus);
    int undone = 0;
    auto* undo = new QAction(&window);
    undo->setShortcut(QKeySequence::Undo);
    window.addAction(undo);
    QObject::connect(undo, &QAction::triggered, [&] { ++undone; });
    window.resize(400, 300);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(waitFor([&] { return QApplication::activeWindow() == &window; }));
    list->setFocus();

    QTimer::singleShot(0, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            QTimer::singleShot(200, box, [box] { buttonTitled(box, "Delete")->click(); });
    });
    ASSERT_EQ(MessageBoxAlertPresenter().runModal(deleteAlert(), &window), 0);
    QProcess::execute(xdotool, {QStringLiteral("key"), QStringLiteral("ctrl+z")});
    EXPECT_TRUE(waitFor([&] { return undone == 1; }));
    EXPECT_EQ(QApplication::focusWidget(), list);
}

TEST(ScriptedAlertPresenter, AnswersInQueueOrderRecordsAlertsAndCancelsWhenUnscripted)
{
    ScriptedAlertPresenter alerts;
    alerts.enqueueAnswer(0);
    alerts.enqueueAnswer(1);

    EXPECT_EQ(alerts.runModal(deleteAlert(), nullptr), 0);
    EXPECT_EQ(alerts.runModal(deleteAlert(), nullptr), 1);
    AlertPresenter::Alert rename;
    rename.buttonTitles = {"Rename", "Cancel"};
    EXPECT_EQ(alerts.runModal(rename, nullptr), 1);

    ASSERT_EQ(alerts.alerts().size(), 3);
    EXPECT_EQ(alerts.alerts().at(0).messageText, deleteAlert().messageText);
    EXPECT_EQ(alerts.alerts().at(2).buttonTitles, rename.buttonTitles);
    EXPECT_EQ(alerts.pendingAnswers(), 0);
}
