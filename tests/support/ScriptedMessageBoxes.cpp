#include "ScriptedMessageBoxes.h"

bool ScriptedMessageBoxes::show(const kelm::Message& message)
{
    m_messages.append(message);
    if (message.buttons != kelm::Message::Buttons::YesNo)
        return true;
    if (m_answers.empty())
        return true;
    const bool yes = m_answers.front();
    m_answers.pop_front();
    return yes;
}

QString ScriptedMessageBoxes::saveFileName(const QString&, const QString& suggestedName, const QString&)
{
    m_offeredFiles.append(suggestedName);
    if (m_files.empty())
        return {};
    const QString path = m_files.front();
    m_files.pop_front();
    return path;
}

QStringList ScriptedMessageBoxes::texts() const
{
    QStringList result;
    for (const kelm::Message& message : m_messages)
        result.append(message.text);
    return result;
}
