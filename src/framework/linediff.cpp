#include "linediff.h"

#include <QList>
#include <QStringView>

#include <algorithm>

namespace {

constexpr qsizetype shownLength = 80;

QList<QStringView> linesOf(const QString &text)
{
    QList<QStringView> lines;
    for (const QStringView line : QStringView(text).tokenize(u'\n'))
        lines.append(line);
    return lines;
}

QStringList firstOf(const QList<QStringView> &lines, qsizetype from, qsizetype count, int kept)
{
    QStringList shown;
    for (qsizetype i = from; i < from + std::min<qsizetype>(count, kept); ++i) {
        const QStringView line = lines.at(i);
        shown.append(line.size() > shownLength ? line.first(shownLength).toString() + u'…' : line.toString());
    }
    return shown;
}

} // namespace

LineDiff LineDiff::between(const QString &ours, const QString &theirs, int kept)
{
    const QList<QStringView> a = linesOf(ours);
    const QList<QStringView> b = linesOf(theirs);
    const qsizetype shorter = std::min(a.size(), b.size());
    qsizetype start = 0;
    while (start < shorter && a.at(start) == b.at(start))
        ++start;
    if (start == a.size() && start == b.size())
        return {};
    qsizetype end = 0;
    while (end < shorter - start && a.at(a.size() - 1 - end) == b.at(b.size() - 1 - end))
        ++end;
    LineDiff diff;
    diff.firstLine = start + 1;
    diff.oursCount = a.size() - start - end;
    diff.theirsCount = b.size() - start - end;
    diff.ours = firstOf(a, start, diff.oursCount, kept);
    diff.theirs = firstOf(b, start, diff.theirsCount, kept);
    return diff;
}
