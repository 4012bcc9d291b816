#include "Platform/widgets/MessageBoxAlertPresenter.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

namespace {

QMessageBox::Icon iconFor(AlertPresenter::Style style)
{
    switch (style) {
    case AlertPresenter::Style::Informational:
        return QMessageBox::Information;
    case AlertPresenter::Style::Critical:
        return QMessageBox::Critical;
    case AlertPresenter::Style::Warning:
        break;
    }
    return QMessageBox::Warning;
}

} // namespace

int MessageBoxAlertPresenter::runModal(const Alert& alert, QWidget* parent)
{
    QMessageBox box(parent);
    box.setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    box.setIcon(iconFor(alert.style));
    box.setText(alert.messageText);
    box.setInformativeText(alert.informativeText);
    // An address or an error message in an alert can be selected and copied. Names in alerts
    // (files, printers) are shown as they are, never read as markup.
    for (QLabel* label : box.findChildren<QLabel*>()) {
        label->setTextFormat(Qt::PlainText);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }

    const QStringList titles = alert.buttonTitles.isEmpty() ? QStringList {QStringLiteral("OK")} : alert.buttonTitles;
    const int escape = int(titles.size()) - 1;
    QList<QPushButton*> buttons;
    for (int i = 0; i < titles.size(); ++i) {
        QMessageBox::ButtonRole role = QMessageBox::AcceptRole;
        if (i == alert.destructiveButton)
            role = QMessageBox::DestructiveRole;
        else if (i == escape && titles.size() > 1)
            role = QMessageBox::RejectRole;
        buttons.append(box.addButton(titles.at(i), role));
    }
    if (alert.defaultButton >= 0 && alert.defaultButton < buttons.size())
        box.setDefaultButton(buttons.at(alert.defaultButton));
    box.setEscapeButton(buttons.at(escape));

    QPointer<QWidget> focused = QApplication::focusWidget();
    box.exec();
    // Without a window manager handing the focus back, the window under the closed box stays
    // inactive and its keys (Ctrl+Z right after a deletion) reach no shortcut.
    if (parent && parent->window()->isVisible()) {
        parent->window()->activateWindow();
        if (focused && focused->window() == parent->window())
            focused->setFocus(Qt::ActiveWindowFocusReason);
    }
    const int chosen = int(buttons.indexOf(qobject_cast<QPushButton*>(box.clickedButton())));
    return chosen >= 0 ? chosen : escape;
}
