#include "interface/CategoryResults.h"

#include <QTextEdit>
#include <QVBoxLayout>

#include "interface/Main.h"

TCategoryResultsFrm::TCategoryResultsFrm(TMainFrm& owner) : QDialog(&owner) {
    setObjectName("CategoryResultsFrm");
    setWindowTitle("Category results");
    ResultsMemo = new QTextEdit(this);
    ResultsMemo->setObjectName("ResultsMemo");
    ResultsMemo->setReadOnly(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(ResultsMemo);
}
