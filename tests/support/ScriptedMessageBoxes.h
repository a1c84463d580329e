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
    // Records the name offered and answers with the next path the test gave (none: cancelled).
    QString saveFileName(const QString& caption, const QString& suggestedName, const QString& filter) override;

    void answerNext(bool yes) { m_answers.push_back(yes); }
    void chooseFile(const QString& path) { m_files.push_back(path); }
    // The names the save dialogs offered, oldest first.
    const QStringList& offeredFiles() const { return m_offeredFiles; }
    QStringList texts() const;
    const QList<kelm::Message>& messages() const { return m_messages; }
    void clear() { m_messages.clear(); }

private:
    QList<kelm::Message> m_messages;
    std::deque<bool> m_answers;
    std::deque<QString> m_files;
    QStringList m_offeredFiles;
};
