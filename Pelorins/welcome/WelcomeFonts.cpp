#include "Pelorins/welcome/WelcomeFonts.h"

#include "Platform/core/ConsoleLog.h"

#include <QFontDatabase>

namespace {

struct Substitute
{
    const char* name;
    const char* family;
    QFont::Weight weight;
    // How a missing font is named in the warning.
    const char* reportedName;
};

const Substitute substitutes[] = {
    {"Helvetica", "Liberation Sans", QFont::Normal, "Helvetica"},
    {"Helvetica-Bold", "Liberation Sans", QFont::Bold, "Helvetica Bold"},
    {"AppleColorEmoji", "Noto Color Emoji", QFont::Normal, "Apple Color Emoji"},
};

QFont sized(QFont font, double size, QFont::Weight weight)
{
    font.setPixelSize(qRound(size));
    font.setWeight(weight);
    return font;
}

QFont defaultSans()
{
    QFont font(QFontDatabase::systemFont(QFontDatabase::GeneralFont).family());
    font.setStyleHint(QFont::SansSerif);
    return font;
}

} // namespace

WelcomeFonts::WelcomeFonts()
    : WelcomeFonts(QFontDatabase::families())
{
}

WelcomeFonts::WelcomeFonts(const QStringList& installedFamilies)
    : m_families(installedFamilies)
{
}

QFont WelcomeFonts::named(const QString& name, double size) const
{
    for (const Substitute& substitute : substitutes) {
        if (name != QLatin1String(substitute.name))
            continue;
        const QString family = QString::fromLatin1(substitute.family);
        if (m_families.contains(family, Qt::CaseInsensitive))
            return sized(QFont(family), size, substitute.weight);
        ConsoleLog::write(QStringLiteral("Warning: Unable to locate font named '")
            + QLatin1String(substitute.reportedName) + QLatin1Char('\''));
        return sized(defaultSans(), size, substitute.weight);
    }
    ConsoleLog::write(QStringLiteral("Warning: Unable to locate font named '") + name + QLatin1Char('\''));
    return sized(defaultSans(), size, QFont::Normal);
}

QFont WelcomeFonts::systemFont(double size, QFont::Weight weight) const
{
    // Every other text of the welcome is drawn in Helvetica's stand-in: its closing words are
    // too, not in the desktop's own sans, which would set the last page apart from the rest.
    const QString family = QString::fromLatin1(substitutes[0].family);
    if (m_families.contains(family, Qt::CaseInsensitive))
        return sized(QFont(family), size, weight);
    return sized(QFontDatabase::systemFont(QFontDatabase::GeneralFont), size, weight);
}
