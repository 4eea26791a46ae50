#include "app/models/OrlaConversation.h"

#include <QStringList>

using namespace Qt::StringLiterals;

namespace kestravin::OrlaConversation {

QString reason(const QString& request, const QList<Turn>& turns)
{
    QStringList parts { request.trimmed() };
    for (const Turn& turn : turns)
        parts.append(u"A Orla perguntou: "_s + turn.question + u"\nMinha resposta: "_s + turn.answer.trimmed());
    return parts.join(u"\n\n"_s);
}

} // namespace kestravin::OrlaConversation
