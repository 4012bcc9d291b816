#include "PelorinsKit/model/LocalizedString.h"

#include <QCoreApplication>
#include <QTranslator>
#include <gtest/gtest.h>

namespace {

class GermanLocalizable : public QTranslator
{
public:
    QString translate(const char* context, const char* sourceText, const char*, int) const override
    {
        if (QByteArray(context) == "Localizable" && QByteArray(sourceText) == "Mark Done")
            return QStringLiteral("Erledigt");
        return QString();
    }
    bool isEmpty() const override { return false; }
};

TEST(LocalizedStringTest, Local_GivesTheTranslationOrElseTheKey)
{
    EXPECT_EQ(local("Mark Done"), "Mark Done");
    GermanLocalizable german;
    QCoreApplication::installTranslator(&german);
    EXPECT_EQ(local("Mark Done"), "Erledigt");
    EXPECT_EQ(local("Déjà vu"), "Déjà vu");
    QCoreApplication::removeTranslator(&german);
}

} // namespace
