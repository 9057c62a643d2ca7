#pragma once
// The category results window: the connections of one bin of a distribution chart. Its opener
// sets the caption and fills ResultsMemo; the window is as wide as a report line and as tall as
// the operator likes.

#include <QDialog>

class QTextEdit;
class TMainFrm;

class TCategoryResultsFrm : public QDialog {
public:
    explicit TCategoryResultsFrm(TMainFrm& owner);

    QTextEdit* ResultsMemo = nullptr;
};
