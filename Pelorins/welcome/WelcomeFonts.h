#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

// The fonts the welcome pages ask for by name, from the fonts installed here: "Helvetica" is
// Liberation Sans, "Helvetica-Bold" Liberation Sans Bold and "AppleColorEmoji" Noto Color Emoji;
// the system font is the desktop's. Sizes are in pixels. A font that is not installed is
// reported on the console and stands in as the default sans, so the pages always build.
class WelcomeFonts
{
public:
    // Over the fonts installed on this machine.
    WelcomeFonts();
    // Over the given family names, for tests.
    explicit WelcomeFonts(const QStringList& installedFamilies);

    // "Helvetica", "Helvetica-Bold" or "AppleColorEmoji".
    QFont named(const QString& name, double size) const;
    QFont systemFont(double size, QFont::Weight weight) const;

private:
    QStringList m_families;
};
