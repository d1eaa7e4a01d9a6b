#include "exchangemodel.h"

#include "csv.h"
#include "protocol.h"

#include <QColor>
#include <QFont>
#include <QTextDocument>

namespace {

QString printable(const QByteArray &bytes)
{
    QString s(bytes.size(), QLatin1Char('.'));
    for (int i = 0; i < bytes.size(); ++i) {
        const char c = bytes.at(i);
        if (c >= 0x20 && c < 0x7F)
            s[i] = QLatin1Char(c);
    }
    return s;
}

// "… (+N байт)" after the kept start of a longer block.
QString cut(const ExchangeModel::Entry &e)
{
    return e.size > e.bytes.size() ? QStringLiteral("… (+%1 байт)").arg(e.size - e.bytes.size()) : QString();
}

} // namespace

ExchangeModel::ExchangeModel(QObject *parent)
    : QAbstractTableModel(parent)
{
    m_clock.start();
}

int ExchangeModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_shown;
}

int ExchangeModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString ExchangeModel::text(int row, int column) const
{
    const Entry &e = entry(row);
    switch (column) {
    case Time:
        return QString::number(e.ms);
    case Direction:
        return e.kind == Kind::Request ? QStringLiteral("Запрос")
             : e.kind == Kind::Reply ? QStringLiteral("Ответ") : QStringLiteral("Решение");
    case Attempt:
        return e.kind == Kind::Request ? QString(QLatin1Char(e.attempt)) : QString();
    case Hex:
        return QString::fromLatin1(e.bytes.toHex(' ').toUpper()) + cut(e);
    case Text:
        return printable(e.bytes) + cut(e);
    case Meaning:
        return e.meaning;
    default:
        return QString();
    }
}

QStringList ExchangeModel::texts(int row) const
{
    QStringList t;
    for (int c = 0; c < ColumnCount; ++c)
        t << text(row, c);
    return t;
}

QVariant ExchangeModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_shown)
        return QVariant();
    const Entry &e = entry(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return text(index.row(), index.column());
    case Qt::ToolTipRole:   // a long frame or meaning in full, as text even when it looks like markup
        return index.column() >= Hex ? Qt::convertFromPlainText(text(index.row(), index.column())) : QVariant();
    case Qt::TextAlignmentRole:
        return index.column() == Time ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
    case Qt::BackgroundRole:
        // The program's own lines stand apart from what went over the line.
        return e.kind == Kind::Decision ? QVariant(QColor(255, 244, 200)) : QVariant();
    case Qt::FontRole:
        if (e.kind == Kind::Decision) {
            QFont f;
            f.setItalic(true);
            return f;
        }
        return QVariant();
    default:
        return QVariant();
    }
}

QVariant ExchangeModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case Time: return QStringLiteral("Время, мс");
    case Direction: return QStringLiteral("Направление");
    case Attempt: return QStringLiteral("Попытка");
    case Hex: return QStringLiteral("Байты");
    case Text: return QStringLiteral("Текст");
    case Meaning: return QStringLiteral("Значение");
    default: return QVariant();
    }
}

void ExchangeModel::restartClock()
{
    m_clock.restart();
    m_lastRequest.clear();
}

void ExchangeModel::addBlock(char attempt, const QByteArray &bytes)
{
    Entry e;
    e.bytes = bytes.left(kMaxRowBytes);
    e.size = bytes.size();
    if (attempt) {
        e.kind = Kind::Request;
        e.attempt = attempt;
        e.meaning = m_lastRequest = proto::requestMeaning(bytes);
    } else {
        e.kind = Kind::Reply;
        e.meaning = m_lastRequest.isEmpty() ? QStringLiteral("Без запроса")
                                            : QStringLiteral("Ответ на «%1»").arg(m_lastRequest);
    }
    append(std::move(e));
}

void ExchangeModel::addDecision(const QString &text)
{
    Entry e;
    e.kind = Kind::Decision;
    e.meaning = text;
    append(std::move(e));
}

void ExchangeModel::append(Entry e)
{
    e.ms = m_clock.elapsed();
    m_rows.push_back(std::move(e));
    if (m_rows.size() > std::size_t(kMaxRows)) {
        // Only a pause that has held back the whole limit can reach the shown rows.
        if (m_shown > 0) {
            beginRemoveRows(QModelIndex(), 0, 0);
            m_rows.pop_front();
            --m_shown;
            endRemoveRows();
        } else {
            m_rows.pop_front();
        }
    }
    if (!m_paused) {
        beginInsertRows(QModelIndex(), m_shown, m_shown);
        m_shown = int(m_rows.size());
        endInsertRows();
    }
}

void ExchangeModel::setPaused(bool paused)
{
    m_paused = paused;
    if (paused || m_shown == heldRows())
        return;
    beginInsertRows(QModelIndex(), m_shown, heldRows() - 1);
    m_shown = heldRows();
    endInsertRows();
}

void ExchangeModel::clear()
{
    beginResetModel();
    m_rows.clear();
    m_shown = 0;
    endResetModel();
}

QString ExchangeModel::copyText(const QList<int> &rows) const
{
    QString text;
    for (int r : rows)
        text += texts(r).join(QLatin1Char('\t')) + QLatin1Char('\n');
    return text;
}

QString ExchangeModel::csvText() const
{
    QStringList header;
    for (int c = 0; c < ColumnCount; ++c)
        header << headerData(c, Qt::Horizontal).toString();
    QString text = csv::line(header);
    for (int r = 0; r < heldRows(); ++r)
        text += csv::line(texts(r));
    return text;
}
