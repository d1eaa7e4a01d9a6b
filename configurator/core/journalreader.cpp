#include "journal.h"

#include <QFile>
#include <QFileInfo>

namespace journal {

namespace {

// One record from `pos`: cells split at ";" outside quotes, a quoted cell running over line ends
// and "" standing for a quote. `pos` ends past the record's line end. False when the record is not
// the writer's CSV: a quote inside an unquoted cell, text after a closing quote, or a quote left
// open at the end of the file.
bool record(const QString &text, int &pos, QStringList &cells)
{
    cells.clear();
    QString cell;
    bool sound = true;
    bool quoted = false;    // inside a quoted cell
    bool wasQuoted = false; // the current cell was quoted and is closed
    const int n = text.size();
    for (; pos < n; ++pos) {
        const QChar c = text.at(pos);
        if (quoted) {
            if (c != QLatin1Char('"'))
                cell += c;
            else if (pos + 1 < n && text.at(pos + 1) == QLatin1Char('"'))
                cell += c, ++pos;
            else
                quoted = false, wasQuoted = true;
        } else if (c == QLatin1Char(';')) {
            cells << cell;
            cell.clear();
            wasQuoted = false;
        } else if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            if (c == QLatin1Char('\r') && pos + 1 < n && text.at(pos + 1) == QLatin1Char('\n'))
                ++pos;
            ++pos;
            break;
        } else if (c == QLatin1Char('"') && cell.isEmpty() && !wasQuoted) {
            quoted = true;
        } else {
            if (c == QLatin1Char('"') || wasQuoted)
                sound = false;
            cell += c;
        }
    }
    cells << cell;
    return sound && !quoted;
}

// Past the physical line starting at `pos`, its line end included.
int nextLine(const QString &text, int pos)
{
    const int lf = text.indexOf(QLatin1Char('\n'), pos);
    const int cr = text.indexOf(QLatin1Char('\r'), pos);
    if (lf < 0 && cr < 0)
        return text.size();
    if (cr >= 0 && (lf < 0 || cr < lf))
        return cr + 1 < text.size() && text.at(cr + 1) == QLatin1Char('\n') ? cr + 2 : cr + 1;
    return lf + 1;
}

QString withoutLineEnd(const QString &text, int from, int to)
{
    QString s = text.mid(from, to - from);
    while (s.endsWith(QLatin1Char('\n')) || s.endsWith(QLatin1Char('\r')))
        s.chop(1);
    return s;
}

} // namespace

QList<Line> parse(const QByteArray &bytes)
{
    QString text = QString::fromUtf8(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    QList<Line> lines;
    bool first = true;
    for (int pos = 0; pos < text.size();) {
        const int start = pos;
        Line line;
        line.parsed = record(text, pos, line.cells);
        if (!line.parsed) {
            // A quote left open would swallow every line after it: the broken line is one
            // physical line, and reading goes on from the next.
            pos = nextLine(text, start);
            line.cells = withoutLineEnd(text, start, pos).split(QLatin1Char(';'));
        }
        line.raw = withoutLineEnd(text, start, pos);
        if (line.raw.trimmed().isEmpty())
            continue;
        // The header: the program's titles or the first journals' seven.
        if (first && line.parsed && line.cells.value(0) == columns().constFirst()) {
            first = false;
            continue;
        }
        first = false;
        line.parsed = line.parsed && line.cells.size() >= 7;
        lines << line;
    }
    return lines;
}

QList<Line> read(const QString &path, QString *error)
{
    if (error)
        error->clear();
    if (!QFileInfo::exists(path))
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return {};
    }
    return parse(file.readAll());
}

} // namespace journal
