#pragma once

#include <QGroupBox>

class QListWidget;
class QLabel;

// The simulated card reader of the demo till: the blank and issued cards in the cards folder,
// which one lies on the reader, and buttons to make a new card, lay one down and take it away.
class ReaderPanel : public QGroupBox
{
    Q_OBJECT

public:
    explicit ReaderPanel(const QString& cardsFolder, QWidget* parent = nullptr);

private:
    void refresh();
    void newCard();
    void placeSelected();
    void removeCard();

    QString m_folder;
    QListWidget* m_cards;
    QLabel* m_status;
};
