#include "Pelorins/welcome/AnimatedWelcomeViewController.h"

#include "Pelorins/welcome/Page1View.h"
#include "PelorinsKit/model/LocalizedString.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The program's licence, carried in its resources.
QString licenceText()
{
    QFile file(QStringLiteral(":/licence/LICENSE"));
    if (!file.open(QIODevice::ReadOnly))
        return local(
            QStringLiteral("Pelorins is free software under the GNU General Public License, version 3 or later."));
    return QString::fromUtf8(file.readAll());
}

} // namespace

AnimatedWelcomeViewController::AnimatedWelcomeViewController(
    const WelcomeResources& resources, WelcomeDelegate& delegate, QWidget* parent)
    : QWidget(parent)
    , m_page1(new Page1View(resources, delegate, this))
{
    setFixedSize(Page1View::pageSize);
    connect(m_page1->eulaButton(), &QPushButton::clicked, this, &AnimatedWelcomeViewController::eulaButtonClicked);
}

void AnimatedWelcomeViewController::eulaButtonClicked()
{
    auto* dialog = new QDialog(this);
    dialog->setObjectName(QLatin1String(eulaDialogName));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setWindowTitle(local(QStringLiteral("License Agreement")));
    auto* text = new QPlainTextEdit(licenceText(), dialog);
    text->setReadOnly(true);
    text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    text->setMinimumSize(620, 420);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, dialog);
    connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(text);
    layout->addWidget(buttons);
    dialog->open();
}
