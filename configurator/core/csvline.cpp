#include "csv.h"

// One line of a table: Qt Core only, so that the write journal can use it too.
namespace csv {

QString line(const QStringList &fields)
{
    QStringList out;
    out.reserve(fields.size());
    for (const QString &f : fields) {
        if (f.contains(QLatin1Char(';')) || f.contains(QLatin1Char('"')) || f.contains(QLatin1Char('\n'))
            || f.contains(QLatin1Char('\r')))
            out << QLatin1Char('"') + QString(f).replace(QLatin1String("\""), QLatin1String("\"\"")) + QLatin1Char('"');
        else
            out << f;
    }
    return out.join(QLatin1Char(';')) + QLatin1String("\r\n");
}

} // namespace csv
