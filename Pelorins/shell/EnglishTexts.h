#pragma once

#include <QTranslator>
#include <optional>

// The program's interface texts in English, one for every key the program looks up with
// `local`: most keys are their own English text, a few are names ("LLTags" reads "Tags"). It is
// installed as the application's translator; a translation installed after it takes precedence.
class EnglishTexts : public QTranslator
{
    Q_OBJECT
public:
    using QTranslator::QTranslator;

    // The English text of `key`; nothing when the table has none.
    static std::optional<QString> text(const QString& key);

    QString translate(
        const char* context, const char* sourceText, const char* disambiguation = nullptr, int n = -1) const override;
    bool isEmpty() const override { return false; }
};
