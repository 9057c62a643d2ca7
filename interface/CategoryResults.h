#pragma once
// The category results window: the connections of one bin of a distribution chart.

#include <QDialog>

class QTextEdit;
class TMainFrm;

class TCategoryResultsFrm : public QDialog {
public:
    explicit TCategoryResultsFrm(TMainFrm& owner);

    QTextEdit* ResultsMemo = nullptr;
};
