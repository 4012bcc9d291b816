#include "Pelorins/shell/EnglishTexts.h"
#include "PelorinsKit/model/LocalizedString.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

struct Lookup
{
    QString where;
    // Empty when the lookup's key is not a literal text.
    QString key;
};

// Every `local(…)` call in the program's and the framework's sources.
QList<Lookup> lookupsInTheSources()
{
    // "local(", then the key when it is a literal text.
    static const QRegularExpression call(
        QStringLiteral(R"re(\blocal\(\s*(?:QStringLiteral\("((?:[^"\\]|\\.)*)"\))?)re"));
    QList<Lookup> lookups;
    // The repository, above the tests.
    const QDir root(QDir::cleanPath(QStringLiteral(PELORINS_TESTS_DIR "/..")));
    // Platform reaches no texts of ours: its own local() members and variables are no lookups.
    for (const char* library : {"Pelorins", "PelorinsKit"}) {
        QDirIterator files(root.filePath(QLatin1String(library)), {QStringLiteral("*.cpp"), QStringLiteral("*.h")},
            QDir::Files, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QString path = files.next();
            if (QFileInfo(path).baseName() == QLatin1String("LocalizedString"))
                continue;
            QFile file(path);
            EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
            const QString text = QString::fromUtf8(file.readAll());
            for (auto match = call.globalMatch(text); match.hasNext();) {
                const QRegularExpressionMatch found = match.next();
                const int line = int(text.left(found.capturedStart()).count(QLatin1Char('\n'))) + 1;
                lookups.append(
                    {root.relativeFilePath(path) + QLatin1Char(':') + QString::number(line), found.captured(1)});
            }
        }
    }
    return lookups;
}

} // namespace

TEST(EnglishTexts, EveryKeyLookedUpInTheSourcesHasAnEnglishText)
{
    EnglishTexts texts;
    QCoreApplication::installTranslator(&texts);
    const QList<Lookup> lookups = lookupsInTheSources();
    ASSERT_GT(lookups.size(), 50);
    for (const Lookup& lookup : lookups) {
        SCOPED_TRACE(lookup.where.toStdString());
        // A key made at run time could not be checked here.
        if (lookup.key.isEmpty()) {
            ADD_FAILURE() << "the key is not a literal text";
            continue;
        }
        const std::optional<QString> english = EnglishTexts::text(lookup.key);
        if (!english) {
            ADD_FAILURE() << "no English text for \"" << lookup.key.toStdString() << '"';
            continue;
        }
        EXPECT_EQ(local(lookup.key).toStdString(), english->toStdString());
    }
    EXPECT_EQ(local(QStringLiteral("LLTags")).toStdString(), "Tags");
    EXPECT_EQ(local(QStringLiteral("LLChangeBackdrop")).toStdString(), "Change Background");
    EXPECT_EQ(local(QStringLiteral("LLHideSidebar")).toStdString(), "Hide Sidebar");
}
