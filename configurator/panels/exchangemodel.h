#pragma once

#include <QAbstractTableModel>
#include <QByteArray>
#include <QElapsedTimer>
#include <QString>

#include <deque>

// The exchange as rows: one per block of the exchange log (a request, or one batch of bytes
// read from the port), and one per decision the sequencer takes about a reply. Only the last
// kMaxRows rows are kept. A paused model keeps collecting rows but shows none of them until
// it is resumed, so the view holds still while the technician reads it.
class ExchangeModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { Time, Direction, Attempt, Hex, Text, Meaning, ColumnCount };
    enum class Kind { Request, Reply, Decision };
    struct Entry
    {
        qint64 ms = 0;      // since the port was opened
        Kind kind = Kind::Decision;
        char attempt = 0;   // a request's attempt digit as the log writes it
        QByteArray bytes;   // as they went over the line, the first kMaxRowBytes of them
        int size = 0;       // the whole block's length
        QString meaning;
    };
    static constexpr int kMaxRows = 10000;
    // A device that talks without end sends batches of any length: a row keeps their start.
    static constexpr int kMaxRowBytes = 64;

    explicit ExchangeModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Times count from here: the port has just been opened.
    void restartClock();
    // A block of the exchange log: attempt is the request's digit, 0 for a received batch.
    void addBlock(char attempt, const QByteArray &bytes);
    void addDecision(const QString &text);

    void setPaused(bool paused);
    void clear();

    // Every row kept, the shown ones first and then those a pause holds back.
    int heldRows() const { return int(m_rows.size()); }
    const Entry &entry(int row) const { return m_rows[std::size_t(row)]; }
    QString text(int row, int column) const;
    QStringList texts(int row) const;
    // Tab-separated lines of the given rows, for the clipboard.
    QString copyText(const QList<int> &rows) const;
    // Header and every row kept.
    QString csvText() const;

private:
    void append(Entry e);

    std::deque<Entry> m_rows;
    int m_shown = 0;
    bool m_paused = false;
    QElapsedTimer m_clock;
    QString m_lastRequest;   // the meaning of the last request, for the batches that follow it
};
