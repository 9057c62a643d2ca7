#pragma once
// The ISO 9001 monitor window: the box's channels shown live before a self-test.

#include <QDialog>

class TMainFrm;

class TMonitorFrm : public QDialog {
public:
    explicit TMonitorFrm(TMainFrm& owner);
};
