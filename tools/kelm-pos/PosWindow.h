#pragma once

#include <kelm/Class1.h>

#include <QMainWindow>

// A small cash-register host: it opens the membership screens the way a till program does,
// through one Class1 object.
class PosWindow : public QMainWindow
{
    Q_OBJECT

public:
    PosWindow();

private:
    void call(bool (kelm::Class1::*method)(bool));

    kelm::Class1 m_membership;
};
