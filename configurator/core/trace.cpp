#include "trace.h"

Q_LOGGING_CATEGORY(lcTrace, "talver.trace", QtInfoMsg)

void enableTrace()
{
    QLoggingCategory::setFilterRules(QStringLiteral("talver.trace.debug=true"));
}
