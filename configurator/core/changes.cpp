#include "changes.h"

#include "fields.h"

#include <QStringList>

namespace proto {

namespace {

QString yesNo(bool on) { return on ? QStringLiteral("да") : QStringLiteral("нет"); }

} // namespace

QList<Change> changes(const DeviceConfig &reference, const DeviceConfig &now)
{
    QList<Change> out;
    for (const Field &f : fields()) {
        if (!f.belongsTo(reference))
            continue;
        if (f.kind == Field::Kind::Numbers) {
            // One per transmitter: the panel has a box for each.
            for (int n = f.min; n <= f.max; ++n) {
                const bool was = f.has(reference, n), is = f.has(now, n);
                if (was != is)
                    out.append({QStringLiteral("Опрашиваемый передатчик %1").arg(n), yesNo(was), yesNo(is), f.key, n});
            }
            continue;
        }
        const QList<Field::Part> before = f.parts(reference), after = f.parts(now);
        // The address table's parts are its rows 1..7, then the In1A mark.
        const bool table = f.kind == Field::Kind::Table;
        for (int i = 0; i < before.size() && i < after.size(); ++i) {
            if (before.at(i).text == after.at(i).text)
                continue;
            const bool in1a = table && i == AddressTable::kRows;
            out.append({before.at(i).name, before.at(i).text, after.at(i).text, in1a ? "in1a" : f.key,
                        table && !in1a ? i + 1 : -1});
        }
    }
    return out;
}

QString changeText(const Change &c)
{
    return QStringLiteral("%1: %2 → %3").arg(c.field, c.before, c.after);
}

QString changesText(const QList<Change> &list)
{
    QStringList out;
    for (const Change &c : list)
        out << changeText(c);
    return out.join(QStringLiteral("; "));
}

} // namespace proto
