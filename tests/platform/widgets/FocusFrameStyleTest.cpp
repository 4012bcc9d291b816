#include "Platform/widgets/FocusFrameStyle.h"
#include "support/ContrastRatio.h"

#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QPushButton>
#include <QToolButton>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace {

QPalette darkPalette()
{
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(40, 40, 44));
    palette.setColor(QPalette::Button, QColor(52, 52, 56));
    palette.setColor(QPalette::Base, QColor(30, 30, 32));
    palette.setColor(QPalette::WindowText, Qt::white);
    palette.setColor(QPalette::ButtonText, Qt::white);
    palette.setColor(QPalette::Highlight, QColor(42, 130, 218));
    return palette;
}

} // namespace

TEST(FocusFrameStyle, AButtonReachedByTheKeyboardIsFramedOnLightAndDarkWindows)
{
    FocusFrameStyle style;
    for (const bool dark : {false, true}) {
        const struct
        {
            const char* what;
            std::function<QAbstractButton*(QWidget*)> make;
        } buttons[] = {
            {"tool button",
                [](QWidget* parent) {
                    auto* button = new QToolButton(parent);
                    button->setAutoRaise(true);
                    button->resize(40, 32);
                    return button;
                }},
            {"push button", [](QWidget* parent) { return new QPushButton(QStringLiteral("Print"), parent); }},
            {"check box", [](QWidget* parent) { return new QCheckBox(QStringLiteral("#urgent"), parent); }},
        };
        for (const auto& kind : buttons) {
            SCOPED_TRACE(std::string(kind.what) + (dark ? " on dark" : " on light"));
            QWidget window;
            window.setStyle(&style);
            if (dark)
                window.setPalette(darkPalette());
            QAbstractButton* button = kind.make(&window);
            button->setStyle(&style);
            button->adjustSize();
            new QPushButton(QStringLiteral("Other"), &window);
            window.show();
            QApplication::setActiveWindow(&window);
            const QColor background = window.palette().color(QPalette::Window);
            QImage unfocused(button->size(), QImage::Format_RGB32);
            unfocused.fill(background);
            button->render(&unfocused);
            // Where Tab takes the focus.
            button->setFocus(Qt::TabFocusReason);
            window.setAttribute(Qt::WA_KeyboardFocusChange);
            QImage focused(button->size(), QImage::Format_RGB32);
            focused.fill(background);
            button->render(&focused);
            double best = 1;
            for (int y = 0; y < focused.height(); ++y)
                for (int x = 0; x < focused.width(); ++x)
                    best = std::max(best, contrastRatio(focused.pixel(x, y), unfocused.pixel(x, y)));
            EXPECT_GE(best, 3.0);
        }
    }
}
