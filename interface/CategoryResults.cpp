#include "interface/CategoryResults.h"

#include <QTextEdit>
#include <QVBoxLayout>

#include "interface/Fonts.h"
#include "interface/Main.h"

TCategoryResultsFrm::TCategoryResultsFrm(TMainFrm& owner) : QDialog(&owner) {
    setObjectName("CategoryResultsFrm");
    setWindowTitle("Category results");
    setFont(fonts::DesignFont(fonts::Face::MsSansSerif, 11));
    resize(404, 356);
    setFixedWidth(404);

    ResultsMemo = new QTextEdit(this);
    ResultsMemo->setObjectName("ResultsMemo");
    // Read-only: Enter, like every other key, changes nothing in the list.
    ResultsMemo->setReadOnly(true);
    ResultsMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    ResultsMemo->setFont(fonts::DesignFont(fonts::Face::Tahoma, 11));
    ResultsMemo->setTabStopDistance(ReportTabStop);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(ResultsMemo);
}
