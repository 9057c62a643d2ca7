#pragma once
// The relay range dialog: the first and last relay of a partial relays test.

#include <QDialog>

class TMainFrm;

class TPartialRelaysFrm : public QDialog {
public:
    explicit TPartialRelaysFrm(TMainFrm& owner);
};
