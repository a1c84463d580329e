#pragma once

#include "common/MessageBoxService.h"

#include <QList>

#include <deque>

// Records every message a screen shows and answers the questions as the test says (Yes unless
// told otherwise).
class ScriptedMessageBoxes : public kelm::MessageBoxService
{
public:
    bool show(const kelm::Message& message) override;

    void answerNext(bool yes) { m_answers.push_back(yes); }
    QStringList texts() const;
    const QList<kelm::Message>& messages() const { return m_messages; }
    void clear() { m_messages.clear(); }

private:
    QList<kelm::Message> m_messages;
    std::deque<bool> m_answers;
};
