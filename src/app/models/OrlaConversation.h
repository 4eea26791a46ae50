#pragma once

#include <QList>
#include <QString>

namespace kestravin {

// The person's request and the assistant's follow-up questions with their
// answers, joined into the one justification sent to the assistant.
namespace OrlaConversation {

struct Turn {
    QString question;
    QString answer;
    bool operator==(const Turn&) const = default;
};

// The trimmed request, then each turn as "A Orla perguntou: <question>" and
// "Minha resposta: <trimmed answer>" on two lines, parts separated by an
// empty line. An empty request still takes its place in the join.
QString reason(const QString& request, const QList<Turn>& turns);

} // namespace OrlaConversation

} // namespace kestravin
