#include "PelorinsKit/notes/AttributedString.h"

#include "PelorinsKit/notes/AttributeKey.h"

#include <algorithm>

namespace {

bool isLineTerminator(QChar c)
{
    const char16_t u = c.unicode();
    return u == u'\n' || u == u'\r' || u == 0x0085 || u == 0x2028 || u == 0x2029;
}

} // namespace

AttributedString::AttributedString(const QString& text, const QVariantMap& attributes)
    : m_text(text)
{
    if (!m_text.isEmpty())
        m_runs.append(Run{length(), attributes});
}

AttributedString AttributedString::withAttachment(const TextAttachment& attachment)
{
    return AttributedString(QString(attachmentCharacter),
                            QVariantMap{{AttributeKey::attachment, QVariant::fromValue(attachment)}});
}

QList<AttributedString::Line> AttributedString::lines(const QString& text)
{
    QList<Line> result;
    const int size = int(text.size());
    int start = 0;
    while (start < size) {
        int end = start;
        while (end < size && !isLineTerminator(text.at(end)))
            ++end;
        int next = end;
        if (next < size) {
            const bool crlf = text.at(next) == u'\r' && next + 1 < size && text.at(next + 1) == u'\n';
            next += crlf ? 2 : 1;
        }
        result.append(Line{{start, end - start}, {start, next - start}});
        start = next;
    }
    return result;
}

QVariantMap AttributedString::attributes(int index, TextRange* effectiveRange) const
{
    if (index < 0 || index >= length()) {
        if (effectiveRange)
            *effectiveRange = TextRange{std::clamp(index, 0, length()), 0};
        return {};
    }
    int start = 0;
    for (const Run& run : m_runs) {
        if (index < start + run.length) {
            if (effectiveRange)
                *effectiveRange = TextRange{start, run.length};
            return run.attributes;
        }
        start += run.length;
    }
    return {};
}

QVariant AttributedString::attribute(const QString& key, int index, TextRange* effectiveRange) const
{
    if (index < 0 || index >= length()) {
        if (effectiveRange)
            *effectiveRange = TextRange{std::clamp(index, 0, length()), 0};
        return {};
    }
    qsizetype found = 0;
    int foundStart = 0;
    for (int start = 0; found < m_runs.size(); start += m_runs.at(found).length, ++found) {
        if (index < start + m_runs.at(found).length) {
            foundStart = start;
            break;
        }
    }
    const QVariant value = m_runs.at(found).attributes.value(key);
    if (effectiveRange) {
        int start = foundStart;
        int end = foundStart + m_runs.at(found).length;
        for (qsizetype i = found - 1; i >= 0 && m_runs.at(i).attributes.value(key) == value; --i)
            start -= m_runs.at(i).length;
        for (qsizetype i = found + 1; i < m_runs.size() && m_runs.at(i).attributes.value(key) == value; ++i)
            end += m_runs.at(i).length;
        *effectiveRange = TextRange{start, end - start};
    }
    return value;
}

void AttributedString::enumerateAttributes(TextRange range, const RunVisitor& visit) const
{
    const TextRange clip = clipped(range);
    int start = 0;
    for (const Run& run : m_runs) {
        const int end = start + run.length;
        const int from = std::max(start, clip.location);
        const int to = std::min(end, clip.end());
        if (from < to)
            visit(run.attributes, TextRange{from, to - from});
        if (end >= clip.end())
            break;
        start = end;
    }
}

void AttributedString::enumerateAttribute(const QString& key, TextRange range, const AttributeVisitor& visit) const
{
    QVariant current;
    TextRange currentRange{-1, 0};
    enumerateAttributes(range, [&](const QVariantMap& attributes, TextRange runRange) {
        QVariant value = attributes.value(key);
        if (currentRange.location >= 0 && value == current) {
            currentRange.length += runRange.length;
            return;
        }
        if (currentRange.location >= 0)
            visit(current, currentRange);
        current = std::move(value);
        currentRange = runRange;
    });
    if (currentRange.location >= 0)
        visit(current, currentRange);
}

AttributedString AttributedString::attributedSubstring(TextRange range) const
{
    const TextRange clip = clipped(range);
    AttributedString result;
    result.m_text = m_text.mid(clip.location, clip.length);
    enumerateAttributes(clip, [&](const QVariantMap& attributes, TextRange runRange) {
        result.m_runs.append(Run{runRange.length, attributes});
    });
    return result;
}

void AttributedString::setAttributes(const QVariantMap& attributes, TextRange range)
{
    editAttributes(range, [&](QVariantMap& runAttributes) { runAttributes = attributes; });
}

void AttributedString::setAttributes(const QList<std::pair<TextRange, QVariantMap>>& ranges)
{
    QList<Run> runs;
    runs.reserve(m_runs.size() + 2 * ranges.size());
    const auto add = [&runs](int length, const QVariantMap& attributes) { appendRun(runs, length, attributes); };
    // The run at `position`, which starts at `runStart`.
    qsizetype run = 0;
    int runStart = 0;
    int position = 0;
    const auto copyTo = [&](int end) {
        while (position < end) {
            const int runEnd = runStart + m_runs.at(run).length;
            const int to = std::min(runEnd, end);
            add(to - position, m_runs.at(run).attributes);
            position = to;
            if (to == runEnd) {
                runStart = runEnd;
                ++run;
            }
        }
    };
    for (const auto& [range, attributes] : ranges) {
        const TextRange clip = clipped(range);
        if (clip.length == 0 || clip.location < position)
            continue;
        copyTo(clip.location);
        add(clip.length, attributes);
        while (runStart + m_runs.at(run).length <= clip.end() && run + 1 < m_runs.size()) {
            runStart += m_runs.at(run).length;
            ++run;
        }
        position = clip.end();
    }
    copyTo(length());
    m_runs = std::move(runs);
}

void AttributedString::addAttribute(const QString& key, const QVariant& value, TextRange range)
{
    if (!value.isValid()) {
        removeAttribute(key, range);
        return;
    }
    editAttributes(range, [&](QVariantMap& runAttributes) { runAttributes.insert(key, value); });
}

void AttributedString::addAttributes(const QVariantMap& attributes, TextRange range)
{
    editAttributes(range, [&](QVariantMap& runAttributes) {
        for (auto it = attributes.cbegin(); it != attributes.cend(); ++it) {
            if (it.value().isValid())
                runAttributes.insert(it.key(), it.value());
            else
                runAttributes.remove(it.key());
        }
    });
}

void AttributedString::removeAttribute(const QString& key, TextRange range)
{
    editAttributes(range, [&](QVariantMap& runAttributes) { runAttributes.remove(key); });
}

void AttributedString::remove(const QStringList& attributes, TextRange range)
{
    for (const QString& key : attributes)
        removeAttribute(key, range);
}

void AttributedString::replaceCharacters(TextRange range, const QString& text)
{
    const TextRange clip = clipped(range);
    QVariantMap inherited;
    if (clip.length > 0)
        inherited = attributes(clip.location);
    else if (clip.location > 0)
        inherited = attributes(clip.location - 1);
    else
        inherited = attributes(clip.location);
    replaceCharacters(clip, AttributedString(text, inherited));
}

void AttributedString::replaceCharacters(TextRange range, const AttributedString& text)
{
    const TextRange clip = clipped(range);
    // The runs from the one before the range to the one after it give way to their new form, in
    // one move of the runs behind them: a keystroke near the top of a long text moves them once.
    // Text is built by appending to its end: its last run is found without walking every run.
    const bool appending = clip.location >= length() && !m_runs.isEmpty();
    qsizetype first = appending ? m_runs.size() - 1 : 0;
    int firstStart = appending ? length() - m_runs.last().length : 0;
    while (first < m_runs.size() && firstStart + m_runs.at(first).length <= clip.location) {
        firstStart += m_runs.at(first).length;
        ++first;
    }
    qsizetype last = first;
    int lastStart = firstStart;
    while (last < m_runs.size() && lastStart + m_runs.at(last).length < clip.end()) {
        lastStart += m_runs.at(last).length;
        ++last;
    }
    // [from, to) are the runs replaced: those the range touches and one neighbour on each side.
    const qsizetype from = std::max<qsizetype>(first - 1, 0);
    const qsizetype to = std::min(last + 2, m_runs.size());
    QList<Run> replacement;
    replacement.reserve(text.m_runs.size() + 4);
    const auto add = [&replacement](int length, const QVariantMap& attributes) {
        appendRun(replacement, length, attributes);
    };
    int start = from < first ? firstStart - m_runs.at(from).length : firstStart;
    for (qsizetype i = from; i < to; ++i) {
        const Run& run = m_runs.at(i);
        const int end = start + run.length;
        // The part of the run before the range, the new text where the range starts, and the part
        // after the range.
        add(std::min(end, clip.location) - start, run.attributes);
        if (start <= clip.location && clip.location < end + (i + 1 == to ? 1 : 0))
            for (const Run& inserted : text.m_runs)
                add(inserted.length, inserted.attributes);
        add(end - std::max(start, clip.end()), run.attributes);
        start = end;
    }
    if (from == to)
        for (const Run& inserted : text.m_runs)
            add(inserted.length, inserted.attributes);
    const qsizetype grown = replacement.size() - (to - from);
    if (grown > 0)
        m_runs.insert(from, grown, Run {});
    else if (grown < 0)
        m_runs.remove(from, -grown);
    std::move(replacement.begin(), replacement.end(), m_runs.begin() + from);
    m_text.replace(clip.location, clip.length, text.m_text);
}

void AttributedString::insert(const AttributedString& text, int index)
{
    replaceCharacters(TextRange{index, 0}, text);
}

void AttributedString::append(const AttributedString& text)
{
    replaceCharacters(TextRange{length(), 0}, text);
}

void AttributedString::append(QStringView text, const QVariantMap& attributes)
{
    if (text.isEmpty())
        return;
    m_text.append(text);
    appendRun(m_runs, int(text.size()), attributes);
}

void AttributedString::deleteCharacters(TextRange range)
{
    replaceCharacters(range, AttributedString());
}

void AttributedString::appendRun(QList<Run>& runs, int length, const QVariantMap& attributes)
{
    if (length <= 0)
        return;
    if (!runs.isEmpty() && runs.last().attributes == attributes)
        runs.last().length += length;
    else
        runs.append(Run {length, attributes});
}

TextRange AttributedString::clipped(TextRange range) const
{
    const int location = std::clamp(range.location, 0, length());
    const int end = std::clamp(range.location + std::max(range.length, 0), location, length());
    return TextRange{location, end - location};
}

qsizetype AttributedString::splitAt(int position)
{
    // Text is built by appending to its end: found without walking every run.
    if (position >= length())
        return m_runs.size();
    int start = 0;
    for (qsizetype i = 0; i < m_runs.size(); ++i) {
        if (position == start)
            return i;
        const int end = start + m_runs.at(i).length;
        if (position < end) {
            Run tail{end - position, m_runs.at(i).attributes};
            m_runs[i].length = position - start;
            m_runs.insert(i + 1, std::move(tail));
            return i + 1;
        }
        start = end;
    }
    return m_runs.size();
}

void AttributedString::mergeEqualNeighbours(qsizetype from, qsizetype to)
{
    for (qsizetype i = std::min(to, m_runs.size() - 1); i >= std::max<qsizetype>(from, 1); --i) {
        if (m_runs.at(i - 1).attributes == m_runs.at(i).attributes) {
            m_runs[i - 1].length += m_runs.at(i).length;
            m_runs.removeAt(i);
        }
    }
}

void AttributedString::editAttributes(TextRange range, const std::function<void(QVariantMap&)>& edit)
{
    const TextRange clip = clipped(range);
    if (clip.length == 0)
        return;
    const qsizetype first = splitAt(clip.location);
    const qsizetype last = splitAt(clip.end());
    for (qsizetype i = first; i < last; ++i)
        edit(m_runs[i].attributes);
    mergeEqualNeighbours(first, last);
}
