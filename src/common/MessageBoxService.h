#pragma once

#include <QString>
#include <QStringList>

namespace kelm {

// The caption every message box of the system carries.
inline const QString AppCaption = QStringLiteral("Qelvo通用收银系统");

struct Message
{
    enum class Icon { None, Information };
    enum class Buttons { Ok, YesNo };

    QString text;
    QString caption;
    Icon icon = Icon::Information;
    Buttons buttons = Buttons::Ok;

    bool operator==(const Message&) const = default;
};

// Every message of every screen goes through one service: real message boxes in a till,
// a scripted one in tests.
class MessageBoxService
{
public:
    virtual ~MessageBoxService() = default;
    // Shows the message and waits; returns true for OK or Yes.
    virtual bool show(const Message& message) = 0;
    // Asks where to save a file, offering suggestedName; filter names the kind of file ("CSV 文件
    // (*.csv)"). The path chosen, or empty when the cashier cancels. A service that cannot ask (one
    // that shows nothing) answers that nothing was chosen.
    virtual QString saveFileName(const QString& caption, const QString& suggestedName, const QString& filter)
    {
        Q_UNUSED(caption);
        Q_UNUSED(suggestedName);
        Q_UNUSED(filter);
        return {};
    }

    // A result or a refusal: information icon, OK, the system's caption.
    void inform(const QString& text)
    {
        show({fitted(text), AppCaption, Message::Icon::Information, Message::Buttons::Ok});
    }
    // A question: Yes and No, no icon, the system's caption; true only for Yes.
    bool confirm(const QString& text)
    {
        return show({fitted(text), AppCaption, Message::Icon::None, Message::Buttons::YesNo});
    }
    // A bare note: OK only, neither icon nor caption of its own.
    void note(const QString& text) { show({fitted(text), QString(), Message::Icon::None, Message::Buttons::Ok}); }

    // The most characters a line of a message shows. Messages quote what a cashier typed or the
    // database holds; a longer line keeps its start and its end, so the message's own words stay
    // readable around a pasted page of text.
    static constexpr qsizetype LineWidth = 400;
    static QString fitted(const QString& text)
    {
        if (text.size() <= LineWidth)
            return text;
        QStringList lines = text.split(u'\n');
        for (QString& line : lines) {
            if (line.size() <= LineWidth)
                continue;
            qsizetype head = LineWidth / 2 - 1;
            qsizetype tail = head;
            if (line.at(head - 1).isHighSurrogate())
                --head; // a character is never cut in two
            if (line.at(line.size() - tail).isLowSurrogate())
                --tail;
            line = line.left(head) + QStringLiteral("……") + line.right(tail);
        }
        return lines.join(u'\n');
    }
};

} // namespace kelm
